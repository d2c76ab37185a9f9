// Records seeds for the camera target: runs the target's request sequence on emulated
// cameras of several kinds and writes each camera's replies in the target's input form.
//     camera_seeds OUTDIR
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/CameraSequence.h"
#include "platform/emu/EmuChipProfile.h"
#include "platform/emu/EmuWorld.h"
#include "platform/emu/VirtualClock.h"
#include "tests/support/OpenEmuCandidate.h"

namespace {

using namespace lumo::os;
using Bytes = std::vector<std::uint8_t>;

void putReply(Bytes& out, bool ok, const std::uint8_t* data, std::uint32_t n) {
    out.push_back(ok ? 0x00 : 0x03);
    n = std::min<std::uint32_t>(n, 255);
    if (!ok) n = 0;
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), data, data + n);
}

class RecordingHandle final : public IDeviceHandle {
public:
    RecordingHandle(std::unique_ptr<IDeviceHandle> real, Bytes& out) : m_real(std::move(real)), m_out(out) {}
    bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inLength, void* out, std::uint32_t outLength,
                         std::uint32_t* bytesReturned, std::unique_ptr<IPendingIo>* pending,
                         std::uint32_t* lastError) override {
        std::unique_ptr<IPendingIo> p;
        bool ok = m_real->DeviceIoControl(code, in, inLength, out, outLength, bytesReturned, &p, lastError);
        if (!ok && *lastError == ERROR_IO_PENDING && p) {
            ok = p->Wait(2000) == WAIT_OBJECT_0 && p->GetResult(bytesReturned, lastError);
            if (!ok) p->Cancel();
        }
        // Replayed as completing at once (the target's own choices cover the pending forms).
        if (ok) {
            m_out.push_back(0x00);
            const auto n = std::min<std::uint32_t>(std::min(*bytesReturned, outLength), 255);
            m_out.push_back(static_cast<std::uint8_t>(n));
            m_out.insert(m_out.end(), static_cast<std::uint8_t*>(out), static_cast<std::uint8_t*>(out) + n);
        } else {
            m_out.push_back(0x03);
            if (*lastError == ERROR_IO_PENDING) *lastError = ERROR_GEN_FAILURE;
        }
        (void)pending;
        return ok;
    }
    std::uint32_t TraceValue() const override { return m_real->TraceValue(); }

private:
    std::unique_ptr<IDeviceHandle> m_real;
    Bytes& m_out;
};

class RecordingPropertySet final : public IKsPropertySet {
public:
    RecordingPropertySet(std::shared_ptr<IKsPropertySet> real, Bytes& out) : m_real(std::move(real)), m_out(out) {}
    HRESULT Set(const Guid& g, std::uint32_t id, const void* inst, std::uint32_t instLen, const void* data,
                std::uint32_t len) override {
        const HRESULT hr = m_real->Set(g, id, inst, instLen, data, len);
        m_out.push_back(hr == S_OK ? 0x00 : 0x03);
        return hr;
    }
    HRESULT Get(const Guid& g, std::uint32_t id, const void* inst, std::uint32_t instLen, void* data, std::uint32_t len,
                std::uint32_t* returned) override {
        const HRESULT hr = m_real->Get(g, id, inst, instLen, data, len, returned);
        putReply(m_out, hr == S_OK, static_cast<std::uint8_t*>(data) + 24, len - 24);
        return hr;
    }

private:
    std::shared_ptr<IKsPropertySet> m_real;
    Bytes& m_out;
};

struct Kind {
    const char* name;
    emu::CameraConfig cfg;
};

std::vector<Kind> kinds() {
    std::vector<Kind> out;
    auto add = [&](const char* name, auto change) {
        emu::CameraConfig c;
        change(c);
        out.push_back({name, c});
    };
    add("qt7421-spi-class", [](emu::CameraConfig&) {});
    add("qt7421-spi-maker", [](emu::CameraConfig& c) { c.driver = emu::DriverMode::Maker; });
    add("qt7844-xu-em", [](emu::CameraConfig& c) { c.chip = "QT7844", c.xu = c.em = true; });
    add("qr7944-xu-maker",
        [](emu::CameraConfig& c) { c.chip = "QR7944", c.xu = true, c.driver = emu::DriverMode::Maker; });
    add("qt7421-eeprom", [](emu::CameraConfig& c) { c.rom = emu::RomKind::Eeprom, c.eepromBytes = 0x800; });
    add("qt7233-eeprom-em", [](emu::CameraConfig& c) {
        c.chip = "QT7233", c.em = true, c.rom = emu::RomKind::Eeprom, c.eepromBytes = 0x8000;
    });
    add("qt7421-spi-unknown", [](emu::CameraConfig& c) { c.flashName = "unknown"; });
    add("qt7421-async", [](emu::CameraConfig& c) { c.asyncIo = true; });
    add("other-vendor", [](emu::CameraConfig& c) { c.chip = "other"; });
    return out;
}

// The firmware header of an image written earlier, so detection takes the header path.
std::vector<std::uint8_t> imageFor(const emu::CameraConfig& cfg) {
    std::vector<std::uint8_t> img(0x100, 0xFF);
    const emu::ChipProfile* chip = emu::findChipProfile(cfg.chip);
    const std::string signature = chip ? chip->signature : "ED";
    img[0x40] = static_cast<std::uint8_t>(signature[0]);
    img[0x41] = static_cast<std::uint8_t>(signature[1]);
    img[0x46] = static_cast<std::uint8_t>((cfg.rom == emu::RomKind::Eeprom ? cfg.eepromBytes : 0x10000) / 512);
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: camera_seeds OUTDIR\n");
        return 2;
    }
    int written = 0;
    for (auto& kind : kinds()) {
        for (int variant = 0; variant < 3; ++variant) {
            // 0: blank ROM; 1: a firmware header in the ROM; 2: blank ROM, requests through
            // the Linux world's handle (class driver only)
            const bool withHeader = variant == 1, throughLinux = variant == 2;
            if (throughLinux && kind.cfg.driver != emu::DriverMode::Class) continue;
            emu::CameraConfig cfg = kind.cfg;
            if (withHeader) cfg.image = imageFor(cfg);
            emu::VirtualClock::install();
            auto world = std::make_shared<emu::EmuWorld>();
            world->addCamera(cfg);
            installDeviceWorld(world);
            Bytes seed;
            // Set-up: one topology node, the vendor node for the class driver; then hardware IDs.
            seed.push_back(throughLinux ? 0x21 : 0x01);
            seed.push_back(cfg.driver == emu::DriverMode::Class ? 0x01 : 0x00);
            const std::string ids = "USB\\VID_2E1A&PID_7421&REV_0100&MI_00";
            seed.push_back(static_cast<std::uint8_t>(ids.size()));
            seed.insert(seed.end(), ids.begin(), ids.end());
            {
                CLumoDev dev;
                if (!lumo::test::openFirstCandidate(*world, dev)) {
                    std::fprintf(stderr, "%s: cannot open\n", kind.name);
                    return 1;
                }
                if (dev.m_hDev) dev.m_hDev = std::make_unique<RecordingHandle>(std::move(dev.m_hDev), seed);
                dev.m_pKsPropertySet = std::make_shared<RecordingPropertySet>(dev.m_pKsPropertySet, seed);
                lumo::fuzz::driveCamera(dev);
                dev.ReleaseIoHandle();
            }
            installDeviceWorld(nullptr);
            installClock(nullptr);
            const std::string file = std::string(argv[1]) + "/" + kind.name +
                                     (withHeader     ? "-header"
                                      : throughLinux ? "-linux"
                                                     : "");
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
            ++written;
        }
    }
    std::printf("%d camera seeds\n", written);
    return 0;
}
