#pragma once
// Shared pieces of the fuzz targets. Each target is a plain function
//     int lumo::fuzz::<target>::lumoFuzzOne(const std::uint8_t* data, std::size_t size)
// in fuzz/<target>.cpp, followed by LUMO_FUZZ_TARGET(<target>). Built for libFuzzer (clang,
// LUMO_FUZZ_LIBFUZZER defined) the macro is the fuzzer's entry point; in the ordinary test
// build it is a GoogleTest case that replays the target's corpus and regression inputs.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace lumo::fuzz {

// A broken promise of the code under test that no sanitizer sees: report and abort, so the
// fuzzer keeps the input and the replay test fails.
[[noreturn]] inline void violated(const char* what, const char* file, int line) {
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, file, line);
    std::abort();
}
#define LUMO_FUZZ_CHECK(cond) ((cond) ? void(0) : ::lumo::fuzz::violated(#cond, __FILE__, __LINE__))

// Takes the input apart front to back; past its end every read gives zeros.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_pos >= m_size; }
    std::size_t left() const { return m_size - m_pos; }
    std::uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::uint32_t le32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(byte()) << (8 * i);
        return v;
    }
    // Up to n bytes (fewer at the end of the input).
    std::string_view bytes(std::size_t n) {
        if (n > left()) n = left();
        std::string_view out(reinterpret_cast<const char*>(m_data) + m_pos, n);
        m_pos += n;
        return out;
    }
    std::string_view rest() { return bytes(left()); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// A private scratch folder below the system's temporary folder, removed at exit.
const std::string& scratchDir();
// Writes the bytes to scratchDir()/name (replacing it) and returns the full path.
std::string writeScratchFile(const std::string& name, std::string_view bytes);

// Replays every file of fuzz/regression/<target>/ and fuzz/corpus/<target>/ (test build).
void replayInputs(const char* target, int (*one)(const std::uint8_t*, std::size_t));

}  // namespace lumo::fuzz

#if defined(LUMO_FUZZ_LIBFUZZER)
#define LUMO_FUZZ_TARGET(name)                                                          \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
        return ::lumo::fuzz::name::lumoFuzzOne(data, size);                             \
    }
#else
#include <gtest/gtest.h>
#define LUMO_FUZZ_TARGET(name)                                               \
    TEST(FuzzReplay, name) {                                                 \
        ::lumo::fuzz::replayInputs(#name, &::lumo::fuzz::name::lumoFuzzOne); \
    }
#endif
