#include "platform/VersionResource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace lumo::os {
namespace {

constexpr std::uint64_t kMaxBlock = 64 * 1024;    // a version block is a few hundred bytes
constexpr std::uint64_t kMaxNames = 1024 * 1024;  // the section-name table
constexpr std::uint64_t kMaxSections = 65535 * 4;
constexpr char kMagic[8] = {'L', 'U', 'M', 'O', 'V', 'E', 'R', '1'};

class File {
public:
    // Non-blocking: opening a FIFO for reading would otherwise wait for a writer. Only a
    // regular file gets a size, so nothing else is ever read.
    explicit File(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)) {
        struct stat st {};
        if (m_fd >= 0 && ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode))
            m_size = static_cast<std::uint64_t>(st.st_size);
    }
    ~File() {
        if (m_fd >= 0) ::close(m_fd);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Reads exactly len bytes at off, or fails when they are not all inside the file.
    bool read(std::uint64_t off, std::uint64_t len, void* out) const {
        if (m_fd < 0 || off > m_size || len > m_size - off) return false;
        auto* p = static_cast<std::uint8_t*>(out);
        while (len > 0) {
            const ssize_t n = ::pread(m_fd, p, len, static_cast<off_t>(off));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            p += n;
            off += static_cast<std::uint64_t>(n);
            len -= static_cast<std::uint64_t>(n);
        }
        return true;
    }

private:
    int m_fd;
    std::uint64_t m_size = 0;
};

struct Elf {
    bool is64 = false;
    bool little = true;
    std::uint64_t shoff = 0;
    std::uint64_t shentsize = 0;
    std::uint64_t shnum = 0;
    std::uint64_t shstrndx = 0;
};

struct Section {
    std::uint32_t name = 0;
    std::uint32_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t link = 0;
};

std::uint64_t get(const std::uint8_t* p, int bytes, bool little) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        const int shift = little ? 8 * i : 8 * (bytes - 1 - i);
        v |= static_cast<std::uint64_t>(p[i]) << shift;
    }
    return v;
}

std::optional<Section> section(const File& f, const Elf& e, std::uint64_t index) {
    std::uint8_t b[64] = {};
    const std::uint64_t need = e.is64 ? 64 : 40;
    if (index >= e.shnum) return std::nullopt;
    if (e.shentsize < need) return std::nullopt;
    if (index > (UINT64_MAX - e.shoff) / e.shentsize) return std::nullopt;
    if (!f.read(e.shoff + index * e.shentsize, need, b)) return std::nullopt;
    Section s;
    s.name = static_cast<std::uint32_t>(get(b, 4, e.little));
    s.type = static_cast<std::uint32_t>(get(b + 4, 4, e.little));
    if (e.is64) {
        s.offset = get(b + 24, 8, e.little);
        s.size = get(b + 32, 8, e.little);
        s.link = static_cast<std::uint32_t>(get(b + 40, 4, e.little));
    } else {
        s.offset = get(b + 16, 4, e.little);
        s.size = get(b + 20, 4, e.little);
        s.link = static_cast<std::uint32_t>(get(b + 24, 4, e.little));
    }
    return s;
}

std::optional<Elf> header(const File& f) {
    std::uint8_t h[64] = {};
    if (!f.read(0, 52, h)) return std::nullopt;
    if (h[0] != 0x7F || h[1] != 'E' || h[2] != 'L' || h[3] != 'F') return std::nullopt;
    if ((h[4] != 1 && h[4] != 2) || (h[5] != 1 && h[5] != 2)) return std::nullopt;
    Elf e;
    e.is64 = h[4] == 2;
    e.little = h[5] == 1;
    if (e.is64) {
        if (!f.read(0, 64, h)) return std::nullopt;
        e.shoff = get(h + 40, 8, e.little);
        e.shentsize = get(h + 58, 2, e.little);
        e.shnum = get(h + 60, 2, e.little);
        e.shstrndx = get(h + 62, 2, e.little);
    } else {
        e.shoff = get(h + 32, 4, e.little);
        e.shentsize = get(h + 46, 2, e.little);
        e.shnum = get(h + 48, 2, e.little);
        e.shstrndx = get(h + 50, 2, e.little);
    }
    if (e.shoff == 0) return std::nullopt;
    // Many sections: the real count and name-table index live in section 0.
    if (e.shnum == 0 || e.shstrndx == 0xFFFF) {
        Elf probe = e;
        probe.shnum = 1;
        const auto s0 = section(f, probe, 0);
        if (!s0) return std::nullopt;
        if (e.shnum == 0) e.shnum = s0->size;
        if (e.shstrndx == 0xFFFF) e.shstrndx = s0->link;
    }
    if (e.shnum == 0 || e.shnum > kMaxSections || e.shstrndx >= e.shnum) return std::nullopt;
    return e;
}

bool readBlock(const File& f, const Section& s, std::uint64_t limit, std::vector<char>& out) {
    if (s.type == 8 /* no bits in the file */ || s.size == 0 || s.size > limit) return false;
    out.resize(static_cast<std::size_t>(s.size));
    return f.read(s.offset, s.size, out.data());
}

// The value of query in a block; the block's texts must all end inside it.
bool findValue(const std::vector<char>& block, const std::string& query, std::string& value) {
    if (block.size() < sizeof kMagic || std::memcmp(block.data(), kMagic, sizeof kMagic) != 0) return false;
    std::size_t pos = sizeof kMagic;
    auto text = [&](std::string& out) {
        const void* end = std::memchr(block.data() + pos, '\0', block.size() - pos);
        if (end == nullptr) return false;
        const auto len = static_cast<std::size_t>(static_cast<const char*>(end) - (block.data() + pos));
        out.assign(block.data() + pos, len);
        pos += len + 1;
        return true;
    };
    std::string key, val;
    while (pos < block.size()) {
        if (!text(key) || key.empty()) return false;
        if (!text(val)) return false;
        if (key == query) {
            value = val;
            return true;
        }
    }
    return false;
}

}  // namespace

bool VerQueryFileValue(const std::string& path, const std::string& query, std::string& value) {
    const File f(path);
    const auto e = header(f);
    if (!e) return false;
    const auto names = section(f, *e, e->shstrndx);
    std::vector<char> nameTable;
    if (!names || !readBlock(f, *names, kMaxNames, nameTable)) return false;
    const std::size_t wantedLen = std::strlen(kVersionSection);
    for (std::uint64_t i = 1; i < e->shnum; ++i) {
        const auto s = section(f, *e, i);
        if (!s) return false;
        if (s->name >= nameTable.size() || nameTable.size() - s->name < wantedLen + 1) continue;
        if (std::memcmp(nameTable.data() + s->name, kVersionSection, wantedLen + 1) != 0) continue;
        std::vector<char> block;
        return readBlock(f, *s, kMaxBlock, block) && findValue(block, query, value);
    }
    return false;
}

}  // namespace lumo::os
