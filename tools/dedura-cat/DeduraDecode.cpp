#include "tools/dedura-cat/DeduraDecode.h"

namespace lumo::trace {

std::vector<std::string> decodeLog(std::string_view d) {
    std::vector<std::string> records;
    std::size_t p = 0;
    while (p < d.size()) {
        std::string rec;
        // The first line is shifted up to its line feed: "<shifted>\r\n " ends a plain record,
        // a bare line feed starts the unshifted rest of a message.
        std::size_t i = p;
        bool ended = false;
        for (; i < d.size(); ++i) {
            const char c = d[i];
            if (c == '\r' && i + 1 < d.size() && d[i + 1] == '\n') {
                i += 2;
                ended = true;
                break;
            }
            if (c == '\n') {
                rec.push_back('\n');
                ++i;
                break;
            }
            rec.push_back(c == ' ' ? ' ' : static_cast<char>(static_cast<unsigned char>(c) - 0x40u));
        }
        if (!ended) {
            for (; i < d.size(); ++i) {
                if (d[i] == '\r' && i + 1 < d.size() && d[i + 1] == '\n') {
                    i += 2;
                    break;
                }
                rec.push_back(d[i]);
            }
        }
        if (i < d.size() && d[i] == ' ') ++i;  // the space that begins the next record's line
        records.push_back(std::move(rec));
        p = i;
    }
    return records;
}

}  // namespace lumo::trace
