// The test build's side of the fuzz targets: every stored input of a target goes through the
// same function the fuzzer drives. A crash, a sanitizer report or a failed check ends the test
// program; a hang runs into the test's time limit.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/FuzzSupport.h"

namespace lumo::fuzz {

void replayInputs(const char* target, int (*one)(const std::uint8_t*, std::size_t)) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (const char* kind : {"regression", "corpus"}) {
        const fs::path dir = fs::path(LUMO_FUZZ_DIR) / kind / target;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(dir, ec))
            if (e.is_regular_file()) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << "no stored inputs for " << target;
    for (const auto& f : files) {
        SCOPED_TRACE(f.string());
        std::ifstream in(f, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(one(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
    }
}

}  // namespace lumo::fuzz
