// ROM detection: the firmware-header path, the EEPROM probe for every size (leaving the
// ROM's content as it was), SPI flash identification, and the command-set load.
#include <random>

#include "sdk/device/SpiFlashTable.h"
#include "tests/device/DeviceFixture.h"

namespace lumo::test {
namespace {

using RomDetect = DeviceTest;

Bytes noise(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& v : b) v = static_cast<std::uint8_t>(rng());
    return b;
}

// A ROM image carrying a firmware header at 0x40.
Bytes imageWithHeader(std::uint32_t romBytes, const char* sig, std::uint8_t size6, std::uint8_t size22,
                      const char* tail = nullptr) {
    Bytes img = noise(romBytes, 7);
    Bytes hdr(24, 0);
    hdr[0] = static_cast<std::uint8_t>(sig[0]);
    hdr[1] = static_cast<std::uint8_t>(sig[1]);
    hdr[2] = 0;  // the header text ends here unless a tail is asked for
    if (tail) {
        hdr[2] = static_cast<std::uint8_t>(tail[0]);
        hdr[3] = static_cast<std::uint8_t>(tail[1]);
        hdr[4] = 0;
    }
    hdr[6] = size6;
    hdr[22] = size22;
    std::copy(hdr.begin(), hdr.end(), img.begin() + 0x40);
    return img;
}

TEST_F(RomDetect, KnownFlashIsFoundAtItsRow) {
    openIdentified(spiCamera());  // W25X10CL, row 21
    ASSERT_EQ(dev->QueryExtRomType(), 1);
    EXPECT_EQ(dev->m_bExtRomType, kExtRomTypeSpi);
    EXPECT_EQ(dev->m_dwRomSize, 0x10000u);
    EXPECT_EQ(dev->m_SpiFlash.NameA(), "WINBOND W25X10CL");
    std::size_t idReads = 0;
    for (const auto& c : spiCommands())
        if (c[0] == 0x9F || c[0] == 0x15 || c[0] == 0xAB || c[0] == 0x90) ++idReads;
    EXPECT_EQ(idReads, 22u);
}

TEST_F(RomDetect, UnknownFlashGetsTheDefaultCommandSet) {
    auto c = spiCamera();
    c.flashName = "unknown";
    openIdentified(c);
    ASSERT_EQ(dev->QueryExtRomType(), 1);
    EXPECT_EQ(dev->m_SpiFlash.NameA(), "Not Approved Flash");
    EXPECT_EQ(dev->m_dwRomSize, 0x10000u);
}

// An engine that never finishes gives no identifier at all: that is a failed detection,
// not a flash that answers zeros to the default row.
TEST_F(RomDetect, EngineFailureFailsTheDetection) {
    openIdentified(spiCamera());
    // The EEPROM probe does not use the engine, so sticking it from the start breaks only
    // the identifier reads.
    auto f = cam().faults();
    f.spiEngineStuck = true;
    cam().setFaults(f);
    EXPECT_EQ(dev->QueryExtRomType(), 0);
    EXPECT_EQ(dev->m_dwRomSize, 0u);
}

// Whichever request of the detection is lost, the detection fails and leaves no ROM size:
// a lost probe reply is never "no EEPROM here" (a 4 KB EEPROM taken for a 64 KB flash), and
// a lost identifier is never an unknown flash.
TEST_F(RomDetect, EveryLostRequestFailsTheDetection) {
    struct Case {
        const char* name;
        emu::CameraConfig config;
        std::uint32_t size;
    };
    const Case cases[] = {{"eeprom 4 KB", eepromCamera(0x1000), 0x1000},
                          {"blank SPI flash", spiCamera(), 0x10000},
                          {"blank SPI flash on EM", spiCamera(true), 0x10000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        openIdentified(c.config);
        const std::uint64_t start = cam().requestCount();
        ASSERT_EQ(dev->QueryExtRomType(), 1);
        ASSERT_EQ(dev->m_dwRomSize, c.size);
        const std::uint64_t requests = cam().requestCount() - start;
        for (std::uint64_t k = 1; k <= requests; ++k) {
            failRequestAfter(k);
            EXPECT_EQ(dev->QueryExtRomType(), 0) << "request " << k << " of " << requests << " lost";
            EXPECT_EQ(dev->m_dwRomSize, 0u) << "request " << k;
        }
        TearDown();
    }
}

TEST_F(RomDetect, CommandSetIsLoadedUnlessTheFirmwareKeepsItsOwn) {
    struct Case {
        const char* chip;
        bool written;
    };
    for (const Case& k : {Case{"QT7266", true}, Case{"QT7211", false}, Case{"QT7421", false}}) {
        emu::CameraConfig c;
        c.chip = k.chip;
        openIdentified(c);
        ASSERT_EQ(dev->QueryExtRomType(), 1) << k.chip;
        bool wrote0A27 = false;
        for (const auto& r : cam().vendorRequests(XU_CTRL_REG))
            if (r.set && (r.data[0] & 0x80) && r.data[1] == 0x0A && r.data[2] == 0x27) wrote0A27 = true;
        EXPECT_EQ(wrote0A27, k.written) << k.chip;
        TearDown();
    }
}

struct EepromCase {
    std::uint32_t bytes;
    std::uint8_t type;
};

class EepromSize : public DeviceTest, public ::testing::WithParamInterface<EepromCase> {};

TEST_P(EepromSize, IsDetectedAndLeftAsItWas) {
    const EepromCase& k = GetParam();
    auto c = eepromCamera(k.bytes);
    c.image = noise(k.bytes, k.bytes);
    openIdentified(c);
    const Bytes before = cam().rom();
    ASSERT_EQ(dev->QueryExtRomType(), 1);
    EXPECT_EQ(dev->m_dwRomSize, k.bytes);
    EXPECT_EQ(dev->m_bExtRomType, k.type);
    EXPECT_EQ(cam().rom(), before);
    EXPECT_TRUE(cam().eepromWriteProtect());  // protected again after the probe
}

INSTANTIATE_TEST_SUITE_P(Sizes, EepromSize,
                         ::testing::Values(EepromCase{0x200, 0x10}, EepromCase{0x400, 0x10}, EepromCase{0x800, 0x10},
                                           EepromCase{0x1000, 0x20}, EepromCase{0x2000, 0x20}, EepromCase{0x4000, 0x20},
                                           EepromCase{0x8000, 0x20}),
                         [](const auto& info) { return std::to_string(info.param.bytes); });

TEST_F(RomDetect, SpiFlashContentSurvivesTheProbe) {
    auto c = spiCamera();
    c.image = noise(0x10000, 3);
    c.image[0x40] = 'Z';  // no valid header: the probe runs
    openIdentified(c);
    const Bytes before = cam().rom();
    ASSERT_EQ(dev->QueryExtRomType(), 1);
    EXPECT_EQ(cam().rom(), before);
}

TEST_F(RomDetect, ValidEepromFirmwareSurvivesTheProbeWhenTheHeaderDoesNotMatch) {
    auto c = eepromCamera(0x2000);
    c.image = imageWithHeader(0x2000, "CA", 0x10, 0);  // a signature of another chip
    openIdentified(c);
    const Bytes before = cam().rom();
    ASSERT_EQ(dev->QueryExtRomType(), 1);
    EXPECT_EQ(dev->m_dwRomSize, 0x2000u);
    EXPECT_EQ(cam().rom(), before);
}

struct HeaderCase {
    const char* name;
    bool eeprom;
    std::uint32_t romBytes;
    std::uint8_t size6, size22;
    const char* tail;  // extra header text after the signature
    std::uint32_t wantSize;
    std::uint8_t wantType;
};

class HeaderPath : public DeviceTest, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(HeaderPath, TakesSizeAndTypeFromTheHeaderWithoutAProbe) {
    const HeaderCase& k = GetParam();
    emu::CameraConfig c = k.eeprom ? eepromCamera(k.romBytes) : spiCamera();
    c.chip = "QT7266";  // signature CA: neither "ED" nor "AX" unless the tail adds it
    c.image = imageWithHeader(k.romBytes, "CA", k.size6, k.size22, k.tail);
    openIdentified(c);
    ASSERT_EQ(dev->QueryExtRomType(), 1);
    EXPECT_EQ(dev->m_dwRomSize, k.wantSize);
    EXPECT_EQ(dev->m_bExtRomType, k.wantType);
    EXPECT_TRUE(spiCommands().empty());  // no identifier read, no probe
    EXPECT_TRUE(cam().vendorRequests(XU_CTRL_EXT_ROM_TYPE).empty());
}

INSTANTIATE_TEST_SUITE_P(Headers, HeaderPath,
                         ::testing::Values(HeaderCase{"Spi64K", false, 0x10000, 0x80, 0x00, nullptr, 0x10000, 0xFF},
                                           HeaderCase{"Eeprom8K", true, 0x2000, 0x10, 0x00, nullptr, 0x2000, 0x40},
                                           HeaderCase{"EdTakesByte22", true, 0x2000, 0x80, 0x10, "ED", 0x2000, 0x40},
                                           HeaderCase{"AxTakesByte22", false, 0x10000, 0x10, 0x80, "AX", 0x10000, 0xFF},
                                           HeaderCase{"TextEndsBeforeEd", true, 0x1000, 0x08, 0x40, nullptr, 0x1000,
                                                      0x20}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RomDetect, HeaderPathReadsTheControllersCommandSetForSpi) {
    auto c = spiCamera();
    c.chip = "QT7266";
    c.image = imageWithHeader(0x10000, "CA", 0x80, 0);
    openIdentified(c);
    const auto& row = SpiFlashTable()[13];
    const auto reg = row.regBytes();
    for (std::size_t i = 0; i < reg.size(); ++i) cam().setReg(static_cast<std::uint16_t>(0x0A27 + i), reg[i]);
    ASSERT_EQ(dev->QueryExtRomType(), 1);
    EXPECT_EQ(dev->m_SpiFlash.regBytes(), reg);
}

}  // namespace
}  // namespace lumo::test
