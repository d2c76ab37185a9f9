// Chip identification against the IC list, the probe edge cases, the H.264 version and the
// device parameters.
#include <cstring>

#include "sdk/device/IcList.h"
#include "tests/device/DeviceFixture.h"

namespace lumo::test {
namespace {

std::string text(const char* p, std::size_t n) {
    return std::string(p, strnlen(p, n));
}

class EveryChip : public DeviceTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(EveryChip, IsIdentifiedAsItsOwnRow) {
    const IcListRow& row = IcList()[GetParam()];
    emu::CameraConfig c;
    c.chip = text(row.szPartNo.data(), row.szPartNo.size());
    open(c);
    ASSERT_EQ(dev->DevQueryBackendInfo(), 1);
    EXPECT_EQ(dev->m_bBackendValid, 1);
    EXPECT_EQ(text(dev->m_Backend.szPartNo.data(), 10), c.chip);
    EXPECT_EQ(dev->m_Backend.dwId, row.dwId);
    EXPECT_EQ(dev->m_Backend.dwFamily, row.dwFamily);
}

INSTANTIATE_TEST_SUITE_P(IcList, EveryChip, ::testing::Range<std::size_t>(1, kIcListCount));

// Signature ED with MCU data byte 0x28 chooses among three rows by its probes.
struct EdRow {
    std::uint8_t mcu28;
    const char* partNo;
};
constexpr EdRow kEdRows[] = {{0x04, "QT7421"}, {0x02, "QT7312"}, {0x00, "QT7420"}};

class Identity : public DeviceTest {
protected:
    // A QT7421-signature camera whose MCU byte 0x28 answers as the row's chip does.
    void openEdCamera(const EdRow& row) {
        emu::CameraConfig c;
        c.chip = "QT7421";
        open(c);
        cam().setMcuData(0x28, row.mcu28);
    }
};

TEST_F(Identity, EdRowsAreChosenByTheirProbes) {
    for (const EdRow& k : kEdRows) {
        openEdCamera(k);
        ASSERT_EQ(dev->DevQueryBackendInfo(), 1) << k.partNo;
        EXPECT_EQ(text(dev->m_Backend.szPartNo.data(), 10), k.partNo);
        TearDown();
    }
}

// A probe byte that never arrives is no answer: the camera is not identified (and carries
// the "N/A" row, which the registry does not admit) rather than matched with a later row of
// its signature.
TEST_F(Identity, LostRequestNeverChoosesAnotherRow) {
    for (const EdRow& k : kEdRows) {
        openEdCamera(k);
        const std::uint64_t start = cam().requestCount();
        ASSERT_EQ(dev->DevQueryBackendInfo(), 1);
        const std::uint64_t requests = cam().requestCount() - start;
        for (std::uint64_t n = 1; n <= requests; ++n) {
            dev->m_Backend = IcList()[0];  // as a fresh object
            dev->m_bBackendValid = 0;
            failRequestAfter(n);
            TraceCapture trace;
            if (dev->DevQueryBackendInfo()) {
                EXPECT_EQ(text(dev->m_Backend.szPartNo.data(), 10), k.partNo) << "request " << n << " lost";
            } else {
                EXPECT_EQ(dev->m_Backend.dwFamily, 0u)
                    << "request " << n << " lost: admitted as " << text(dev->m_Backend.szPartNo.data(), 10);
                EXPECT_EQ(dev->m_bBackendValid, 0);
                EXPECT_NE(trace.text().find("XXXXXXXXXX"), std::string::npos);
            }
        }
        TearDown();
    }
}

TEST_F(Identity, AxNeedsNoProbeRead) {
    emu::CameraConfig c;
    c.chip = "QT7310";
    open(c);
    ASSERT_EQ(dev->DevQueryBackendInfo(), 1);
    EXPECT_TRUE(cam().vendorRequests(XU_CTRL_MCU).empty());
    EXPECT_TRUE(cam().vendorRequests(XU_CTRL_REG).empty());
}

TEST_F(Identity, EarlierRowWinsWhenTwoSignaturesAppear) {
    emu::CameraConfig c;
    c.chip = "QT7421";
    c.intFwVer = "CKED0001";
    open(c);
    cam().setMcuData(0x28, 0x04);
    ASSERT_EQ(dev->DevQueryBackendInfo(), 1);
    EXPECT_EQ(text(dev->m_Backend.szSignature.data(), 4), "ED");
}

TEST_F(Identity, NotApplicableTextMatchesRowZero) {
    emu::CameraConfig c;
    c.intFwVer = "N/A";
    open(c);
    ASSERT_EQ(dev->DevQueryBackendInfo(), 1);
    EXPECT_EQ(dev->m_Backend.dwFamily, 0u);
}

TEST_F(Identity, UnknownSignatureFails) {
    emu::CameraConfig c;
    c.intFwVer = "ZZ123";
    open(c);
    EXPECT_EQ(dev->DevQueryBackendInfo(), 0);
    EXPECT_EQ(dev->m_bBackendValid, 0);
}

TEST_F(Identity, ElevenCharacterVersionTextStaysInsideItsField) {
    emu::CameraConfig c;
    c.intFwVer = "0123456789A";  // no terminator inside the 11 bytes, no signature
    open(c);
    EXPECT_EQ(dev->DevQueryBackendInfo(), 0);
}

TEST_F(Identity, ControlVersionSetsPieceSizeAndH264Support) {
    struct Case {
        bool xu, em, failH264;
        std::uint8_t chunk;
        std::int32_t h264;
    };
    for (const Case& k :
         {Case{false, false, false, 8, 0}, Case{true, true, false, 32, 1}, Case{true, false, true, 8, 0}}) {
        emu::CameraConfig c;
        c.xu = k.xu;
        c.em = k.em;
        open(c);
        if (k.failH264) failRequestAfter(3);  // version text, control version, then the H.264 version
        ASSERT_EQ(dev->DevQueryBackendInfo(), 1);
        EXPECT_EQ(dev->m_bSeqChunkLen, k.chunk);
        EXPECT_EQ(dev->m_bH264Support, k.h264);
        if (k.h264) {
            EXPECT_NE(dev->m_wH264CtrlVer, 0);
        }
        TearDown();
    }
}

TEST_F(Identity, DeviceParametersAreReadLittleEndian) {
    emu::CameraConfig c;
    c.sensorApId = 0x1234;
    c.extFwVer = 0x0102;
    c.hwVer = 0x07;
    c.setfileVer = "SF01.00.02";
    openIdentified(c);
    ASSERT_EQ(dev->DevQueryLumoParams(), 1);
    EXPECT_EQ(dev->m_wExtSensorApId, 0x1234);
    EXPECT_EQ(dev->m_wExtFwVer, 0x0102);
    EXPECT_EQ(dev->m_bHwVer, 0x07);
    EXPECT_EQ(text(dev->m_szSetfileVer.data(), 12), "SF01.00.02");
    // The sensor read is one 4-byte piece at 0xFFFF.
    auto sensor = cam().vendorRequests(XU_CTRL_SENSOR_REG);
    ASSERT_EQ(sensor.size(), 2u);
    EXPECT_EQ(Bytes(sensor[0].data.begin(), sensor[0].data.begin() + 3), (Bytes{0x04, 0xFF, 0xFF}));
    EXPECT_EQ(dev->DevGetFwStatus(), 1);
}

TEST_F(Identity, ResetSetsBit4OfRegister26) {
    openIdentified(spiCamera());
    cam().setReg(0x26, 0x01);
    dev->DevReset();
    auto regs = cam().vendorRequests(XU_CTRL_REG);
    ASSERT_EQ(regs.size(), 3u);  // read (set + get) and the write
    EXPECT_EQ(Bytes(regs[2].data.begin(), regs[2].data.begin() + 4), (Bytes{0x81, 0x00, 0x26, 0x11}));
}

}  // namespace
}  // namespace lumo::test
