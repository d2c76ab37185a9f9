#pragma once
// Speaks the camera side's protocol the way a host does, so tests reach the models only
// through the device-world interface.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/emu/EmuFlashTable.h"
#include "platform/emu/EmuWorld.h"

namespace lumo::os::emu::test {

using Bytes = std::vector<std::uint8_t>;

class Client {
public:
    Client(EmuWorld& world, std::size_t index) : m_world(world), m_cam(world.camera(index)) { open(); }

    bool open() {
        std::uint32_t err = 0;
        m_handle = m_world.CreateFile(m_cam.devicePath(), 0xC0000000, 0, 0x40000080, &err);
        m_lastError = err;
        return m_handle != nullptr;
    }

    // One device-path node request. For a get, data receives the reply.
    bool request(bool set, std::uint8_t selector, std::uint8_t* data, std::uint32_t len, const Guid& unit,
                 std::uint32_t node) {
        std::array<std::uint8_t, 32> ksp{};
        const auto g = unit.toBytes();
        std::memcpy(ksp.data(), g.data(), 16);
        ksp[16] = selector;
        const std::uint32_t flags = set ? 0x10000002u : 0x10000001u;
        for (int i = 0; i < 4; ++i) ksp[20 + i] = static_cast<std::uint8_t>(flags >> (8 * i));
        for (int i = 0; i < 4; ++i) ksp[24 + i] = static_cast<std::uint8_t>(node >> (8 * i));
        std::uint32_t bytes = 0, err = 0;
        std::unique_ptr<IPendingIo> pending;
        if (!m_handle) return false;
        bool ok = m_handle->DeviceIoControl(IOCTL_KS_PROPERTY, ksp.data(), 32, data, len, &bytes, &pending, &err);
        if (!ok && err == ERROR_IO_PENDING && pending) {
            if (pending->Wait(2000) != WAIT_OBJECT_0) {
                pending->Cancel();
                m_lastError = WAIT_TIMEOUT;
                return false;
            }
            ok = pending->GetResult(&bytes, &err);
        }
        m_lastError = ok ? 0 : err;
        return ok;
    }
    std::uint32_t vendorNode() const { return m_cam.config().xu ? 0 : 2; }
    bool set(std::uint8_t sel, Bytes data) {
        return request(true, sel, data.data(), static_cast<std::uint32_t>(data.size()), guids::kVendorXu, vendorNode());
    }
    bool get(std::uint8_t sel, Bytes& data) {
        return request(false, sel, data.data(), static_cast<std::uint32_t>(data.size()), guids::kVendorXu,
                       vendorNode());
    }

    static Bytes block(std::uint8_t b0, std::uint16_t address, const Bytes& payload = {}) {
        Bytes b(35, 0);
        b[0] = b0;
        b[1] = static_cast<std::uint8_t>(address >> 8);
        b[2] = static_cast<std::uint8_t>(address & 0xFF);
        std::copy(payload.begin(), payload.end(), b.begin() + 3);
        return b;
    }
    std::uint8_t piece() const { return m_cam.config().em ? 32 : 8; }

    // Sequence read and write in pieces.
    bool read(std::uint8_t sel, std::uint16_t address, std::size_t length, Bytes* out, std::uint8_t flags = 0) {
        out->clear();
        for (std::size_t off = 0; off < length;) {
            const std::size_t n = std::min<std::size_t>(piece(), length - off);
            const auto at = static_cast<std::uint16_t>(address + off);
            if (!set(sel, block(static_cast<std::uint8_t>(n | flags), at))) return false;
            Bytes reply(35, 0);
            if (!get(sel, reply)) return false;
            out->insert(out->end(), reply.begin() + 3, reply.begin() + 3 + static_cast<long>(n));
            off += n;
        }
        return true;
    }
    bool write(std::uint8_t sel, std::uint16_t address, const Bytes& data) {
        for (std::size_t off = 0; off < data.size();) {
            const std::size_t n = std::min<std::size_t>(piece(), data.size() - off);
            Bytes part(data.begin() + static_cast<long>(off), data.begin() + static_cast<long>(off + n));
            if (!set(sel, block(static_cast<std::uint8_t>(0x80 | n), static_cast<std::uint16_t>(address + off), part)))
                return false;
            off += n;
        }
        return true;
    }
    std::uint8_t reg(std::uint16_t address) {
        Bytes b;
        EXPECT_TRUE(read(0x06, address, 1, &b));
        return b.empty() ? 0 : b[0];
    }
    // One ROM chunk the way the host writes it: 8-byte pieces to the chunk address, the
    // last with 0x20 (preceded by write-protect 0 when wpBefore), or one direct write on EM.
    bool romChunk(std::uint16_t address, const Bytes& chunk, bool wpBefore) {
        if (m_cam.config().em) return set(0x03, block(static_cast<std::uint8_t>(0x80 | chunk.size()), address, chunk));
        std::size_t off = 0;
        while (chunk.size() - off > 8) {
            Bytes part(chunk.begin() + static_cast<long>(off), chunk.begin() + static_cast<long>(off + 8));
            if (!set(0x03, block(0x88, address, part))) return false;
            off += 8;
        }
        if (wpBefore && !set(0x0E, {0})) return false;
        Bytes last(chunk.begin() + static_cast<long>(off), chunk.end());
        return set(0x03, block(static_cast<std::uint8_t>(0xA0 | last.size()), address, last));
    }

    // SPI engine transactions as the host drives them.
    bool spiSet(const Bytes& cmd) {
        if (!write(0x06, 0x0100, cmd)) return false;
        if (!write(0x06, 0x0049, {0x14, static_cast<std::uint8_t>(cmd.size()), 0x01})) return false;
        if (!write(0x06, 0x0049, {0x35})) return false;
        return poll() && write(0x06, 0x0049, {0x00});
    }
    bool spiGet(const Bytes& cmd, std::size_t readLength, Bytes* out) {
        if (!write(0x06, 0x0100, cmd)) return false;
        if (!write(0x06, 0x0049, {0x14, static_cast<std::uint8_t>(cmd.size()), 0x01})) return false;
        if (!write(0x06, 0x0046, {static_cast<std::uint8_t>(readLength)})) return false;
        if (!write(0x06, 0x0049, {0x37})) return false;
        if (!poll() || !write(0x06, 0x0049, {0x00})) return false;
        return read(0x06, 0x0100, readLength, out);
    }
    std::uint8_t spiStatus() {
        Bytes s;
        EXPECT_TRUE(spiGet({0x05}, 1, &s));
        return s.empty() ? 0xFF : s[0];
    }
    bool setGpio(bool level) {
        std::uint8_t v = reg(0x20);
        return write(0x06, 0x0029, {static_cast<std::uint8_t>(reg(0x29) | 0x80)}) &&
               write(0x06, 0x0022, {static_cast<std::uint8_t>(reg(0x22) | 0x01)}) &&
               write(0x06, 0x0020, {static_cast<std::uint8_t>(level ? (v | 1) : (v & ~1))});
    }

    std::uint32_t lastError() const { return m_lastError; }
    IDeviceHandle* handle() { return m_handle.get(); }
    void close() { m_handle.reset(); }

private:
    bool poll(int limit = 64) {
        for (int i = 0; i < limit; ++i) {
            Bytes b;
            if (!read(0x06, 0x0049, 1, &b)) return false;
            if (!(b[0] & 1)) return true;
        }
        return false;
    }
    EmuWorld& m_world;
    EmuCamera& m_cam;
    std::unique_ptr<IDeviceHandle> m_handle;
    std::uint32_t m_lastError = 0;
};

// A world with a virtual clock and one camera per test.
class EmuFixture : public ::testing::Test {
protected:
    void SetUp() override {
        clock = VirtualClock::install();
        world = std::make_shared<EmuWorld>();
    }
    void TearDown() override {
        clients.clear();
        world.reset();
        installClock(nullptr);
    }
    std::size_t add(CameraConfig cfg) {
        const std::size_t i = world->addCamera(cfg);
        clients.push_back(std::make_unique<Client>(*world, i));
        return i;
    }
    Client& client(std::size_t i = 0) { return *clients.at(i); }
    EmuCamera& cam(std::size_t i = 0) { return world->camera(i); }
    // The candidate at a position of the video-input category, and its capture filter (null when none).
    std::shared_ptr<IMoniker> monikerAt(std::size_t index = 0) {
        std::shared_ptr<IEnumMoniker> walk;
        std::shared_ptr<IMoniker> moniker;
        if (world->CreateClassEnumerator(guids::kVideoInputDeviceCategory, &walk) != S_OK) return nullptr;
        for (std::size_t i = 0; i <= index; ++i)
            if (walk->Next(&moniker) != S_OK) return nullptr;
        return moniker;
    }
    std::shared_ptr<ICaptureFilter> filterAt(std::size_t index = 0) {
        std::shared_ptr<ICaptureFilter> filter;
        if (auto moniker = monikerAt(index)) moniker->BindToObject(&filter);
        return filter;
    }

    std::shared_ptr<VirtualClock> clock;
    std::shared_ptr<EmuWorld> world;
    std::vector<std::unique_ptr<Client>> clients;
};

inline CameraConfig eepromCamera(std::uint32_t bytes) {
    CameraConfig c;
    c.rom = RomKind::Eeprom;
    c.eepromBytes = bytes;
    return c;
}

}  // namespace lumo::os::emu::test
