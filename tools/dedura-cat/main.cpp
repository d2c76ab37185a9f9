// dedura-cat: prints trace log files (or standard input) as plain text, one record a line.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "tools/dedura-cat/DeduraDecode.h"

namespace {

void print(const std::string& data) {
    for (const auto& rec : lumo::trace::decodeLog(data)) std::cout << rec << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help")) {
        std::cout << "usage: dedura-cat [LOGFILE...]\n"
                     "Prints trace log files, or standard input, as plain text, one record a line.\n";
        return 0;
    }
    int rc = 0;
    if (argc < 2) {
        std::ostringstream s;
        s << std::cin.rdbuf();
        print(s.str());
    }
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::cerr << "dedura-cat: cannot open " << argv[i] << '\n';
            rc = 1;
            continue;
        }
        print(std::string(std::istreambuf_iterator<char>(in), {}));
    }
    return rc;
}
