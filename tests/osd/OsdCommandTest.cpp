// The OSD commands of CLumoDev against an emulated camera: block layouts from the request
// log, the read handshake, the string record's byte exchange, availability.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/osd/EmuDeviceFixture.h"

namespace {

using lumo::os::emu::DriverMode;
using lumo::test::Bytes;
using lumo::test::EmuDevice;

// An 18-byte block: the given head, zeros after.
Bytes block(std::initializer_list<std::uint8_t> head) {
    Bytes b(18, 0);
    std::size_t i = 0;
    for (auto v : head) b[i++] = v;
    return b;
}

const std::array<std::uint8_t, 8> kTime{0x20, 0x24, 0x05, 0x17, 0x0C, 0x22, 0x38, 0x01};
const std::array<std::uint8_t, 9> kWindow{1, 2, 3, 4, 5, 6, 7, 8, 9};
const std::array<std::uint8_t, 9> kColour{0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9};

// 0x1234 held least significant byte first, then text.
std::array<std::uint8_t, 16> stringRecord() {
    std::array<std::uint8_t, 16> r{0x34, 0x12};
    const std::string text = "CAM-01 LINE";
    std::copy(text.begin(), text.end(), r.begin() + 2);
    return r;
}

class OsdCommands : public ::testing::TestWithParam<DriverMode> {
protected:
    OsdCommands() : cam(EmuDevice::xuCamera(GetParam())) {}
    // The one OSD write the camera received.
    Bytes onlyWrite() {
        const auto log = cam.vendor(XU_CTRL_OSD);
        EXPECT_EQ(log.size(), 1u);
        if (log.empty()) return {};
        EXPECT_TRUE(log[0].set);
        return log[0].data;
    }
    EmuDevice cam;
};

TEST_P(OsdCommands, WritesBuildTheirBlock) {
    const auto str = stringRecord();
    Bytes strBlock = block({0x08, 0x03, 0x12, 0x34});
    std::copy(str.begin() + 2, str.end(), strBlock.begin() + 4);
    struct Case {
        const char* name;
        std::function<std::int32_t(CLumoDev&)> call;
        Bytes sent;
    };
    const Case cases[] = {
        {"enable 5", [](CLumoDev& d) { return d.XuOsdEnableSet(5); }, block({0x01, 0x01})},
        {"enable 0", [](CLumoDev& d) { return d.XuOsdEnableSet(0); }, block({0x01, 0x00})},
        {"enable -1", [](CLumoDev& d) { return d.XuOsdEnableSet(-1); }, block({0x01, 0x01})},
        {"reset", [](CLumoDev& d) { return d.XuOsdReset(); }, block({0x02})},
        {"hdr write", [](CLumoDev& d) { return d.XuOsdHdrWrite(); }, block({0x40})},
        {"time", [](CLumoDev& d) { return d.XuOsdTimeSyncSet(kTime.data()); },
         block({0x04, 0x20, 0x24, 0x05, 0x17, 0x0C, 0x22, 0x38, 0x01})},
        {"window", [](CLumoDev& d) { return d.XuOsdWindowSet(kWindow.data()); },
         block({0x10, 1, 2, 3, 4, 5, 6, 7, 8, 9})},
        {"colour", [](CLumoDev& d) { return d.XuOsdColorSet(kColour.data()); },
         block({0x20, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9})},
        {"string", [&](CLumoDev& d) { return d.XuOsdStringSet(3, str.data()); }, strBlock},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cam.camera().clearLog();
        EXPECT_EQ(c.call(cam.dev), 1);
        EXPECT_EQ(onlyWrite(), c.sent);
    }
}

TEST_P(OsdCommands, StringSetLeavesTheCallersRecordAsItWas) {
    const auto original = stringRecord();
    auto record = original;
    ASSERT_EQ(cam.dev.XuOsdStringSet(1, record.data()), 1);
    EXPECT_EQ(record, original);
    ASSERT_EQ(cam.dev.XuOsdStringSet(1, record.data()), 1);  // reused: same bytes on the wire
    const auto log = cam.vendor(XU_CTRL_OSD);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].data, log[1].data);
}

TEST_P(OsdCommands, StringGetRestoresTheCallersByteOrder) {
    const auto sent = stringRecord();
    ASSERT_EQ(cam.dev.XuOsdStringSet(7, sent.data()), 1);
    cam.camera().clearLog();

    std::array<std::uint8_t, 16> got{};
    ASSERT_EQ(cam.dev.XuOsdStringGet(7, got.data()), 1);
    EXPECT_EQ(got, sent);
    const auto log = cam.vendor(XU_CTRL_OSD);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].data, block({0x88, 7}));
    EXPECT_FALSE(log[1].set);
    EXPECT_EQ(log[1].data[0], 0x12);  // the reply carries the number MSB first from byte 0
    EXPECT_EQ(log[1].data[1], 0x34);
}

TEST_P(OsdCommands, ReadsSelectThenTakeTheRecordFromReplyByteZero) {
    ASSERT_EQ(cam.dev.XuOsdEnableSet(1), 1);
    ASSERT_EQ(cam.dev.XuOsdTimeSyncSet(kTime.data()), 1);
    ASSERT_EQ(cam.dev.XuOsdWindowSet(kWindow.data()), 1);
    ASSERT_EQ(cam.dev.XuOsdColorSet(kColour.data()), 1);
    cam.camera().clearLog();

    std::uint8_t enable = 0x55;
    std::array<std::uint8_t, 8> time{};
    std::array<std::uint8_t, 9> window{}, colour{};
    EXPECT_EQ(cam.dev.XuOsdEnableGet(&enable), 1);
    EXPECT_EQ(cam.dev.XuOsdTimeSyncGet(time.data()), 1);
    EXPECT_EQ(cam.dev.XuOsdWindowGet(window.data()), 1);
    EXPECT_EQ(cam.dev.XuOsdColorGet(colour.data()), 1);
    EXPECT_EQ(enable, 1);
    EXPECT_EQ(time, kTime);
    EXPECT_EQ(window, kWindow);
    EXPECT_EQ(colour, kColour);

    const auto log = cam.vendor(XU_CTRL_OSD);
    ASSERT_EQ(log.size(), 8u);
    const std::uint8_t codes[] = {0x81, 0x84, 0x90, 0xA0};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(log[2 * i].set);
        EXPECT_EQ(log[2 * i].data, block({codes[i]}));
        EXPECT_FALSE(log[2 * i + 1].set);
    }
}

INSTANTIATE_TEST_SUITE_P(BothDrivers, OsdCommands, ::testing::Values(DriverMode::Class, DriverMode::Maker),
                         [](const auto& info) { return info.param == DriverMode::Class ? "Class" : "Maker"; });

// Every OSD operation, each with its own record.
struct OsdOp {
    const char* name;
    bool read;
    std::function<std::int32_t(CLumoDev&, std::uint8_t*)> call;
};
const OsdOp kOps[] = {
    {"EnableSet", false, [](CLumoDev& d, std::uint8_t*) { return d.XuOsdEnableSet(1); }},
    {"Reset", false, [](CLumoDev& d, std::uint8_t*) { return d.XuOsdReset(); }},
    {"TimeSyncSet", false, [](CLumoDev& d, std::uint8_t* r) { return d.XuOsdTimeSyncSet(r); }},
    {"StringSet", false, [](CLumoDev& d, std::uint8_t* r) { return d.XuOsdStringSet(0, r); }},
    {"WindowSet", false, [](CLumoDev& d, std::uint8_t* r) { return d.XuOsdWindowSet(r); }},
    {"ColorSet", false, [](CLumoDev& d, std::uint8_t* r) { return d.XuOsdColorSet(r); }},
    {"HdrWrite", false, [](CLumoDev& d, std::uint8_t*) { return d.XuOsdHdrWrite(); }},
    {"EnableGet", true, [](CLumoDev& d, std::uint8_t* r) { return d.XuOsdEnableGet(r); }},
    {"TimeSyncGet", true, [](CLumoDev& d, std::uint8_t* r) { return d.XuOsdTimeSyncGet(r); }},
    {"StringGet", true, [](CLumoDev& d, std::uint8_t* r) { return d.XuOsdStringGet(0, r); }},
    {"WindowGet", true, [](CLumoDev& d, std::uint8_t* r) { return d.XuOsdWindowGet(r); }},
    {"ColorGet", true, [](CLumoDev& d, std::uint8_t* r) { return d.XuOsdColorGet(r); }},
};

TEST(OsdAvailability, WithoutXuNothingIsSent) {
    EmuDevice cam(EmuDevice::xuCamera());
    cam.dev.m_CtrlVer = {};  // the record read from a camera without the extended set
    std::array<std::uint8_t, 18> raw{};
    for (const auto& op : kOps) {
        SCOPED_TRACE(op.name);
        std::array<std::uint8_t, 16> record{};
        record.fill(0x5A);
        EXPECT_EQ(op.call(cam.dev, record.data()), 0);
        EXPECT_EQ(record[0], 0x5A);
    }
    EXPECT_EQ(cam.dev.XuSetOsdCtrl(raw.data()), 0);
    EXPECT_EQ(cam.dev.XuGetOsdCtrl(raw.data()), 0);
    EXPECT_EQ(cam.camera().requestCount(), 0u);
}

TEST(OsdHandshake, AFailedStepLeavesTheCallersRecordUnchanged) {
    EmuDevice cam(EmuDevice::xuCamera());
    const std::array<std::uint8_t, 16> filled{9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    ASSERT_EQ(cam.dev.XuOsdTimeSyncSet(filled.data()), 1);
    ASSERT_EQ(cam.dev.XuOsdWindowSet(filled.data()), 1);
    ASSERT_EQ(cam.dev.XuOsdColorSet(filled.data()), 1);
    ASSERT_EQ(cam.dev.XuOsdEnableSet(1), 1);
    ASSERT_EQ(cam.dev.XuOsdStringSet(0, filled.data()), 1);
    for (const auto& op : kOps) {
        if (!op.read) continue;
        for (std::uint64_t step : {1u, 2u}) {
            SCOPED_TRACE(std::string(op.name) + (step == 1 ? " select" : " read"));
            cam.failRequestAfter(step);
            std::array<std::uint8_t, 16> record{};
            record.fill(0xC3);
            EXPECT_EQ(op.call(cam.dev, record.data()), 0);
            EXPECT_EQ(record, (std::array<std::uint8_t, 16>{0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3,
                                                            0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3}));
            // A failed selection ends the read: no get follows it.
            const auto log = cam.vendor(XU_CTRL_OSD);
            if (step == 1) {
                EXPECT_TRUE(log.back().set);
            }
            cam.camera().clearLog();
        }
    }
}

TEST(OsdRecords, AMissingRecordIsRefusedBeforeAnyTransfer) {
    EmuDevice cam(EmuDevice::xuCamera());
    for (const auto& op : kOps) {
        if (std::string(op.name) == "EnableSet" || std::string(op.name) == "Reset" ||
            std::string(op.name) == "HdrWrite")
            continue;
        SCOPED_TRACE(op.name);
        EXPECT_EQ(op.call(cam.dev, nullptr), 0);
    }
    EXPECT_EQ(cam.camera().requestCount(), 0u);
}

}  // namespace
