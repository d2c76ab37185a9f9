// lumoctl's osd and h264 commands on an emulated line: output, exit status, refusals.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/LumoctlRunner.h"

namespace {

class LumoctlOsdH264 : public lumo::testsupport::LumoctlRunner {
protected:
    // Camera 0 has the extended command set (OSD, encoder); camera 1 has not.
    void SetUp() override {
        makeLine("lumoctl-osd-",
                 "[line]\nromdir = roms\n"
                 "[camera 1]\nchip = QT7421\nctrl = xu\nrom = spi:WINBOND W25X10CL\n"
                 "[camera 2]\nchip = QT7421\nctrl = none\nrom = spi:WINBOND W25X10CL\n");
    }
};

TEST_F(LumoctlOsdH264, GetsShowRecordsInHex) {
    std::string out;
    ASSERT_EQ(run("h264 version", &out), 0) << err();
    EXPECT_EQ(out, "0110\n");
    ASSERT_EQ(run("--json h264 qp get 2", &out), 0) << err();
    EXPECT_EQ(out, "{\"index\":0,\"qp\":\"00 00 02 0A 33 00\"}\n");
    ASSERT_EQ(run("osd enable get", &out), 0) << err();
    EXPECT_EQ(out, "00\n");
}

TEST_F(LumoctlOsdH264, SetsTakeHexRecordsOfTheirSize) {
    std::string out;
    EXPECT_EQ(run("osd enable set 1", &out), 0) << err();
    EXPECT_EQ(run("osd string set 2 3412 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E", &out), 0) << err();
    EXPECT_EQ(run("h264 bitrate set 0x02,0x01,00,00,33,22,11,00,66,55,44,00", &out), 0) << err();
    EXPECT_EQ(run("osd window set 01 02", &out), 1);
    EXPECT_NE(err().find("window: needs 9 bytes, got 2"), std::string::npos) << err();
    EXPECT_EQ(run("h264 ratectrl set 00 00 04 00", &out), 1);  // the encoder refuses mode 4
    EXPECT_NE(err().find("ratectrl failed"), std::string::npos) << err();
}

TEST_F(LumoctlOsdH264, ACameraWithoutTheExtendedSetRefuses) {
    std::string out;
    EXPECT_EQ(run("--index 1 osd enable get", &out), 1);
    EXPECT_EQ(run("--index 1 h264 version", &out), 1);
    EXPECT_EQ(out, "");
}

}  // namespace
