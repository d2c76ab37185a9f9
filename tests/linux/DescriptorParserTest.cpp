#include <gtest/gtest.h>

#include "FakeLinux.h"
#include "platform/linux/UvcDescriptorParser.h"

namespace lumo::os::linuxworld {
namespace {

using lumo::os::guids::kH264Xu;
using lumo::os::guids::kVendorXu;
using testing::cameraDescriptors;

TEST(UvcDescriptorParser, FindsUnitsOfTheVideoControlInterfaceInOrder) {
    const auto blob = cameraDescriptors({{4, kVendorXu}, {6, kH264Xu}});
    const auto units = parseVideoControlUnits(blob, 0);
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[0].kind, UvcUnitKind::Processing);
    EXPECT_EQ(units[0].unitId, 2);
    EXPECT_EQ(units[1].kind, UvcUnitKind::Extension);
    EXPECT_EQ(units[1].unitId, 4);
    EXPECT_EQ(units[1].guidExtensionCode, kVendorXu);  // raw byte order of the descriptor
    EXPECT_EQ(units[2].unitId, 6);
    EXPECT_EQ(units[2].guidExtensionCode, kH264Xu);
}

TEST(UvcDescriptorParser, OtherInterfaceNumberHasNoUnits) {
    const auto blob = cameraDescriptors({{4, kVendorXu}}, 2);
    EXPECT_TRUE(parseVideoControlUnits(blob, 0).empty());
    EXPECT_EQ(parseVideoControlUnits(blob, 2).size(), 2u);
}

TEST(UvcDescriptorParser, OnlyTheFirstConfigurationCounts) {
    auto blob = cameraDescriptors({{4, kVendorXu}});
    const auto second = cameraDescriptors({{9, kH264Xu}});
    blob.insert(blob.end(), second.begin() + 18, second.end());  // a second configuration
    const auto units = parseVideoControlUnits(blob, 0);
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[1].unitId, 4);
}

// Damaged blobs: each keeps the units before the damage and never reads past the end.
struct Damage {
    const char* name;
    void (*apply)(std::vector<std::uint8_t>&, std::size_t xu1, std::size_t xu2);
    std::size_t expectedUnits;
};

TEST(UvcDescriptorParser, DamagedBlobsStopOrSkipSafely) {
    const Damage cases[] = {
        {"truncated inside the second unit", [](auto& b, std::size_t, std::size_t x2) { b.resize(x2 + 10); }, 2},
        {"truncated inside a length byte pair", [](auto& b, std::size_t, std::size_t x2) { b.resize(x2 + 1); }, 2},
        {"zero length stops", [](auto& b, std::size_t, std::size_t x2) { b[x2] = 0; }, 2},
        {"length one stops", [](auto& b, std::size_t x1, std::size_t) { b[x1] = 1; }, 1},
        {"overlong length stops", [](auto& b, std::size_t x1, std::size_t) { b[x1] = 0xFF; }, 1},
        {"unit too short for its GUID is skipped",
         [](auto& b, std::size_t x1, std::size_t) {
             // shrink the first extension unit to 12 bytes, keep the walk in step
             b.erase(b.begin() + static_cast<long>(x1) + 12, b.begin() + static_cast<long>(x1) + 27);
             b[x1] = 12;
         },
         2},
        {"lying pin count is skipped", [](auto& b, std::size_t x1, std::size_t) { b[x1 + 21] = 200; }, 2},
        {"lying control size is skipped", [](auto& b, std::size_t x1, std::size_t) { b[x1 + 23] = 200; }, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto blob = cameraDescriptors({{4, kVendorXu}, {6, kH264Xu}});
        // locate the two extension units by their subtype
        std::vector<std::size_t> xus;
        for (std::size_t i = 0; i + 2 < blob.size(); i += blob[i]) {
            if (blob[i + 1] == 0x24 && blob[i + 2] == 0x06) xus.push_back(i);
        }
        ASSERT_EQ(xus.size(), 2u);
        c.apply(blob, xus[0], xus[1]);
        // a copy of exactly the damaged size, so a read past the end is caught
        std::vector<std::uint8_t> exact(blob.begin(), blob.end());
        const auto units = parseVideoControlUnits(exact, 0);
        EXPECT_EQ(units.size(), c.expectedUnits);
    }
}

TEST(UvcDescriptorParser, EmptyAndNullInputs) {
    EXPECT_TRUE(parseVideoControlUnits(nullptr, 100, 0).empty());
    EXPECT_TRUE(parseVideoControlUnits(std::vector<std::uint8_t>{}, 0).empty());
    EXPECT_TRUE(parseVideoControlUnits(std::vector<std::uint8_t>{9}, 0).empty());
}

}  // namespace
}  // namespace lumo::os::linuxworld
