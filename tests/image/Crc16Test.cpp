#include "sdk/image/Crc16.h"
#include "tests/support/BitwiseCrc16.h"

#include <gtest/gtest.h>
#include <boost/crc.hpp>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using lumo::image::Crc16Calculate;
using lumo::image::Crc16Update;

using lumo::test::bitwiseCrc16;

struct Vector {
    std::string text;
    std::uint16_t crc;
};

TEST(Crc16, KnownVectors) {
    const Vector vectors[] = {
        {"123456789", 0xAEE7},
        {"", 0xFFFF},
    };
    for (const auto& v : vectors) {
        EXPECT_EQ(Crc16Calculate(reinterpret_cast<const std::uint8_t*>(v.text.data()),
                                 static_cast<std::uint32_t>(v.text.size())),
                  v.crc)
            << '"' << v.text << '"';
    }
}

TEST(Crc16, NullDataIsNoBytes) {
    EXPECT_EQ(Crc16Calculate(nullptr, 0), 0xFFFF);
    EXPECT_EQ(Crc16Calculate(nullptr, 100), 0xFFFF);
}

// Every single byte value, after every register state class the fold has to handle, and
// random buffers: the folded step must equal the plain shift register and Boost's.
TEST(Crc16, MatchesBitwiseAndBoostReferences) {
    std::mt19937 rng(12345);
    std::vector<std::uint8_t> data(70000);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    for (int v = 0; v < 256; ++v) data[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(v);
    for (std::size_t len : {std::size_t{1}, std::size_t{2}, std::size_t{255}, std::size_t{256}, std::size_t{4097},
                            std::size_t{65536}, data.size()}) {
        boost::crc_optimal<16, 0x8005, 0xFFFF, 0, false, false> boostCrc;
        boostCrc.process_bytes(data.data(), len);
        const std::uint16_t ours = Crc16Calculate(data.data(), static_cast<std::uint32_t>(len));
        EXPECT_EQ(ours, bitwiseCrc16(data.data(), len)) << len;
        EXPECT_EQ(ours, boostCrc.checksum()) << len;
    }
}

TEST(Crc16, UpdateContinuesAcrossPieces) {
    const std::string text = "123456789";
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    std::uint16_t crc = Crc16Update(lumo::image::kCrc16Init, p, 4);
    crc = Crc16Update(crc, p + 4, 5);
    EXPECT_EQ(crc, 0xAEE7);
}

}  // namespace
