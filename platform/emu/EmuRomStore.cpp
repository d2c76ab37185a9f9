#include "platform/emu/EmuRomStore.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace lumo::os::emu {

EmuRomStore::EmuRomStore(std::uint32_t size, const std::vector<std::uint8_t>& image, std::uint8_t status)
    : m_size(size) {
    initMemory(image, status);
}

void EmuRomStore::initMemory(const std::vector<std::uint8_t>& image, std::uint8_t status) {
    m_memory.assign(std::size_t{m_size} + 1, 0xFF);
    std::copy_n(image.begin(), std::min<std::size_t>(image.size(), m_size), m_memory.begin());
    m_memory[m_size] = status;
    m_data = m_memory.data();
}

EmuRomStore::EmuRomStore(const std::string& path, std::uint32_t size, const std::vector<std::uint8_t>& image,
                         std::uint8_t status, std::string* error)
    : m_size(size) {
    const std::size_t length = std::size_t{size} + 1;
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    bool fresh = false;
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || static_cast<std::size_t>(st.st_size) != length)) {
        // another ROM kind or size than the file was made for: start afresh
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        fresh = true;
        if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(length)) != 0) {
            if (error) *error = path + ": cannot create the ROM file: " + std::strerror(errno);
            if (fd >= 0) ::close(fd);
            initMemory(image, status);
            return;
        }
    }
    void* map = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) {
        if (error) *error = path + ": cannot map the ROM file: " + std::strerror(errno);
        initMemory(image, status);
        return;
    }
    m_map = map;
    m_mapLength = length;
    m_data = static_cast<std::uint8_t*>(map);
    if (fresh) {
        std::memset(m_data, 0xFF, m_size);
        if (!image.empty()) std::memcpy(m_data, image.data(), std::min<std::size_t>(image.size(), m_size));
        m_data[m_size] = status;
    }
}

EmuRomStore::~EmuRomStore() {
    if (m_map) {
        ::msync(m_map, m_mapLength, MS_SYNC);
        ::munmap(m_map, m_mapLength);
    }
}

}  // namespace lumo::os::emu
