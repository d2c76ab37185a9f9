#include "fuzz/FuzzSupport.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace lumo::fuzz {
namespace {

class Scratch {
public:
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "lumo-fuzz-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (::mkdtemp(buf.data()) == nullptr) violated("cannot create a scratch folder", __FILE__, __LINE__);
        m_path = buf.data();
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace

const std::string& scratchDir() {
    static Scratch s;
    return s.path();
}

std::string writeScratchFile(const std::string& name, std::string_view bytes) {
    const std::string path = scratchDir() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) violated("cannot write a scratch file", __FILE__, __LINE__);
    return path;
}

}  // namespace lumo::fuzz
