#pragma once
// Turns the trace log on for one test (a private directory with its TvDbgCfg.ini and per-user
// registry) and reads the records back as plain text.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/trace/DEduraInternal.h"
#include "tools/dedura-cat/DeduraDecode.h"

class TraceCapture {
public:
    TraceCapture() {
        namespace fs = std::filesystem;
        static int serial = 0;
        m_dir = fs::temp_directory_path() / ("lumo-uvc-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "cfg" / "lumo");
        ::setenv("XDG_CONFIG_HOME", (m_dir / "cfg").c_str(), 1);
        std::ofstream(m_dir / "TvDbgCfg.ini") << "[OUTPUT]\nFILE=1\n";
        lumo::trace::initializeIn(m_dir.string() + "/", L"TvDbgCfg.ini");
    }
    ~TraceCapture() {
        lumo::trace::reset();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::vector<std::string> records() const {
        std::ifstream in(lumo::trace::logFilePath(), std::ios::binary);
        const std::string data((std::istreambuf_iterator<char>(in)), {});
        return lumo::trace::decodeLog(data);
    }
    // True when some record ends with this message (records carry a source prefix).
    bool has(const std::string& message) const {
        const auto all = records();
        return std::any_of(all.begin(), all.end(), [&](const std::string& r) {
            return r.size() >= message.size() && r.compare(r.size() - message.size(), message.size(), message) == 0;
        });
    }

private:
    std::filesystem::path m_dir;
};
