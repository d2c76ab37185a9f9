// dedura-cat's reader of the shifted log file form.
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "tools/dedura-cat/DeduraDecode.h"

namespace lumo::fuzz::trace_log {

int lumoFuzzOne(const std::uint8_t* data, std::size_t size) {
    // An exact copy, so a read one past the log is caught.
    const std::vector<char> log(data, data + size);
    const auto records = lumo::trace::decodeLog(std::string_view(log.data(), log.size()));
    // Every record comes out of at least one byte of the log, and no longer than the log.
    std::size_t total = 0;
    for (const auto& r : records) total += r.size();
    LUMO_FUZZ_CHECK(records.size() <= size && total <= size);
    return 0;
}

}  // namespace lumo::fuzz::trace_log

LUMO_FUZZ_TARGET(trace_log)
