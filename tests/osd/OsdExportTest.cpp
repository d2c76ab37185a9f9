// The OSD exports: the index check, then one operation each (seen by its command code).
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "sdk/LumoSDK.h"
#include "tests/osd/EmuDeviceFixture.h"

namespace {

using lumo::test::EmuDevice;

struct ExportCase {
    const char* name;
    std::function<std::int32_t(std::uint8_t index, std::uint8_t* record)> call;
    std::uint8_t firstCode;  // byte 0 of the first block the camera receives
};

const ExportCase kExports[] = {
    {"OsdEnableSet", [](std::uint8_t i, std::uint8_t*) { return TAVIX_OsdEnableSet(1, i); }, 0x01},
    {"OsdEnableGet", [](std::uint8_t i, std::uint8_t* r) { return TAVIX_OsdEnableGet(r, i); }, 0x81},
    {"OsdReset", [](std::uint8_t i, std::uint8_t*) { return TAVIX_OsdReset(i); }, 0x02},
    {"OsdTimeSyncSet", [](std::uint8_t i, std::uint8_t* r) { return TAVIX_OsdTimeSyncSet(r, i); }, 0x04},
    {"OsdTimeSyncGet", [](std::uint8_t i, std::uint8_t* r) { return TAVIX_OsdTimeSyncGet(r, i); }, 0x84},
    {"OsdStringSet", [](std::uint8_t i, std::uint8_t* r) { return TAVIX_OsdStringSet(2, r, i); }, 0x08},
    {"OsdStringGet", [](std::uint8_t i, std::uint8_t* r) { return TAVIX_OsdStringGet(2, r, i); }, 0x88},
    {"OsdWindowSet", [](std::uint8_t i, std::uint8_t* r) { return TAVIX_OsdWindowSet(r, i); }, 0x10},
    {"OsdWindowGet", [](std::uint8_t i, std::uint8_t* r) { return TAVIX_OsdWindowGet(r, i); }, 0x90},
    {"OsdHdrWrtie", [](std::uint8_t i, std::uint8_t*) { return TAVIX_OsdHdrWrtie(i); }, 0x40},
    {"OsdColorSet", [](std::uint8_t i, std::uint8_t* r) { return TAVIX_OsdColorSet(r, i); }, 0x20},
    {"OsdColorGet", [](std::uint8_t i, std::uint8_t* r) { return TAVIX_OsdColorGet(r, i); }, 0xA0},
};

TEST(OsdExports, NoDeviceRegisteredFailsEveryExport) {
    std::array<std::uint8_t, 16> record{};
    for (const auto& e : kExports) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.call(0, record.data()), 0);
    }
}

TEST(OsdExports, ForwardToTheOperationOfTheIndexedDevice) {
    EmuDevice cam(EmuDevice::xuCamera());
    cam.dev.m_bH264Support = 0;  // the OSD exports do not ask for the encoder
    cam.registerAsIndex0();
    for (const auto& e : kExports) {
        SCOPED_TRACE(e.name);
        std::array<std::uint8_t, 16> record{};
        cam.camera().clearLog();
        EXPECT_EQ(e.call(1, record.data()), 0);  // index equal to the count
        EXPECT_EQ(e.call(255, record.data()), 0);
        EXPECT_TRUE(cam.camera().requests().empty());

        EXPECT_EQ(e.call(0, record.data()), 1);
        const auto log = cam.vendor(XU_CTRL_OSD);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log[0].data.at(0), e.firstCode);
    }
}

}  // namespace
