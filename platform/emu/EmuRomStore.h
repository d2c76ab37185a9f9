#pragma once
// The non-volatile part of a camera: the ROM bytes and the flash status register, in
// memory or in a memory-mapped backing file, so separate program runs on one line file see
// the same ROM. File layout: the ROM bytes, then one byte of flash status.
#include <cstdint>
#include <string>
#include <vector>

namespace lumo::os::emu {

class EmuRomStore {
public:
    // In memory, filled from image (rest 0xFF).
    EmuRomStore(std::uint32_t size, const std::vector<std::uint8_t>& image, std::uint8_t status);
    // Backed by a file: opened when it exists with the right size, else created from image.
    // On failure the store falls back to memory and *error says why.
    EmuRomStore(const std::string& path, std::uint32_t size, const std::vector<std::uint8_t>& image,
                std::uint8_t status, std::string* error);
    ~EmuRomStore();
    EmuRomStore(const EmuRomStore&) = delete;
    EmuRomStore& operator=(const EmuRomStore&) = delete;

    std::uint32_t size() const { return m_size; }
    std::uint8_t* bytes() { return m_data; }
    const std::uint8_t* bytes() const { return m_data; }
    std::uint8_t status() const { return m_data[m_size]; }
    void setStatus(std::uint8_t s) { m_data[m_size] = s; }

private:
    void initMemory(const std::vector<std::uint8_t>& image, std::uint8_t status);
    std::uint32_t m_size;
    std::vector<std::uint8_t> m_memory;
    std::uint8_t* m_data = nullptr;
    void* m_map = nullptr;
    std::size_t m_mapLength = 0;
};

}  // namespace lumo::os::emu
