#pragma once
// The emulated device world, as tests and benchmarks drive it: a set of virtual cameras,
// each a model of the controller as the camera side of the extension-unit protocol sees it
// (sequence and single controls, registers with the SPI engine, GPIO and reset, MCU memory,
// the sensor space, an SPI NOR flash or an I2C EEPROM), with a USB identity, a driver mode,
// a request log and fault injection.
//
//   auto clock = lumo::os::emu::VirtualClock::install();
//   auto world = std::make_shared<lumo::os::emu::EmuWorld>();
//   lumo::os::emu::CameraConfig cfg;            // QT7421, SPI flash W25X10CL, class driver
//   std::size_t cam = world->addCamera(cfg);
//   lumo::os::installDeviceWorld(world);
//   ... run product code ...
//   world->camera(cam).requests();             // what the camera received
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/DeviceWorld.h"
#include "platform/emu/VirtualClock.h"

namespace lumo::os::emu {

class EmuOsd;
class EmuH264;

enum class RomKind : std::uint8_t {
    SpiFlash,  // an SPI NOR flash named by flashName (a flash-table name, or "unknown")
    Eeprom,    // an I2C EEPROM of eepromBytes (512 to 32768)
};

enum class DriverMode : std::uint8_t {
    Class,  // system class driver: device-specific topology node, device-path I/O
    Maker,  // maker's streaming driver: topology without a device-specific node, property set
    None,   // the filter has no topology interface
};

// Firmware timing, in microseconds of world time.
struct Timings {
    std::uint32_t sectorEraseUs = 45'000;
    std::uint32_t blockEraseUs = 150'000;
    std::uint32_t chipEraseUs = 700'000;       // well under the 3000 ms the tool allows
    std::uint32_t pageProgramUs = 300;         // one controller program of up to a page
    std::uint32_t eepromWriteCycleUs = 5'000;  // one EEPROM page write, also the 0x40 fill
    std::uint32_t resetRemovalMs = 50;         // reset write -> removal notices
    std::uint32_t resetArrivalMs = 1'500;      // removal -> arrival notices
};

// Faults, each off by default. Request numbers count every request the camera receives,
// from 1, since it was added (clearing the log does not restart the count).
struct Faults {
    std::uint64_t failRequest = 0;      // request k fails
    int failSelector = -1;              // every request of this vendor-unit selector fails
    bool flashBusyForever = false;      // the flash status keeps bit 0 set
    bool spiEngineStuck = false;        // register 0x0049 keeps bit 0 set for ever
    std::uint64_t vanishAtRequest = 0;  // request k fails and the camera leaves the bus
    std::uint64_t hangRequest = 0;      // device-path request k stays pending until cancelled
};

// A standard video control value (processing unit or camera terminal).
struct VideoControl {
    std::int32_t property = 0;
    std::int32_t min = 0, max = 0, step = 1, defaultValue = 0, flags = 2, value = 0;
};

struct CameraConfig {
    std::string name = "camera 1";  // identity (section name of a line file; names the ROM file)
    std::string chip = "QT7421";    // a part number of the IC list, or "other" (another vendor)
    bool xu = false;                // control version carries "XU" (OSD, H.264 unit at node 1)
    bool em = false;                // control version carries "EM" (32-byte pieces, direct ROM write)
    RomKind rom = RomKind::SpiFlash;
    std::string flashName = "WINBOND W25X10CL";  // flash-table name, or "unknown"
    std::uint32_t eepromBytes = 0;               // for RomKind::Eeprom
    std::uint32_t flashBytes = 0x10000;          // size of the flash array
    DriverMode driver = DriverMode::Class;
    std::uint16_t vid = 0x2E1A, pid = 0x7421, rev = 0x0100;
    std::uint8_t mi = 0;
    std::string instance;  // instance part of the ids; empty: made from the camera index
    std::wstring friendlyName = L"Lumo USB Camera";
    std::wstring clsid = L"{17CCA71B-ECD7-11D0-B908-00A0C9223196}";
    std::vector<std::uint8_t> image;  // initial ROM content (rest 0xFF) when no backing file exists yet
    std::string romFile;              // backing file of the ROM and flash status (empty: in memory)
    std::uint32_t latencyUs = 0;      // real sleep per request (benchmarks)
    bool asyncIo = false;             // device-path requests complete later (ERROR_IO_PENDING)
    Timings timings;
    Faults faults;
    std::uint8_t hwVer = 0x01;
    std::string setfileVer = "SF01.00.02";
    std::string intFwVer;  // empty: made from the chip's signature
    std::uint16_t sensorApId = 0x1234, extFwVer = 0x0102;
    std::uint16_t xuVer = 0x0100, emVer = 0x0100;
    std::uint8_t initialStatus = 0x00;        // flash status register at first power-on
    std::vector<VideoControl> procAmp;        // empty: defaults
    std::vector<VideoControl> cameraControl;  // empty: defaults
    std::vector<Guid> otherInterfaces;        // interface classes besides video capture (empty: defaults)
};

enum class Route : std::uint8_t { PropertySet, DevicePath };

// The fixed data length of a vendor extension-unit control, 0 for a selector the unit lacks.
std::uint32_t vendorControlLength(std::uint8_t selector);

// One request as it arrived.
struct RequestRecord {
    std::uint64_t number = 0;  // 1, 2, ... since the camera was added
    Route route = Route::DevicePath;
    Guid unit;  // property set of the request
    std::uint32_t selector = 0;
    std::uint32_t flags = 0;           // as sent (0x10000002/0x10000001 or 2/1)
    std::uint32_t nodeId = 0;          // device-path route only
    std::uint32_t instanceLength = 0;  // property-set route: instance data length; device path: input length
    std::uint32_t propertyLength = 0;  // property-set route: property data length; device path: output length
    bool set = false;
    std::vector<std::uint8_t> data;  // set: the control data sent; get: the reply (empty on failure)
    bool ok = false;
    bool isVendor() const { return unit == guids::kVendorXu; }
};

class EmuCamera {
public:
    struct Impl;
    explicit EmuCamera(std::unique_ptr<Impl> impl);
    ~EmuCamera();
    EmuCamera(const EmuCamera&) = delete;
    EmuCamera& operator=(const EmuCamera&) = delete;

    const CameraConfig& config() const;
    std::wstring devicePath() const;  // \\?\USB#VID_xxxx&PID_xxxx&MI_xx#<instance>#{65E8773D-...}\GLOBAL
    std::wstring instanceId() const;  // USB\VID_xxxx&PID_xxxx&MI_xx\<instance>
    bool present() const;

    // Request log.
    std::vector<RequestRecord> requests() const;
    std::vector<RequestRecord> vendorRequests(std::uint32_t selector) const;  // one vendor selector
    void clearLog();
    std::uint64_t requestCount() const;

    // The ROM as the chip holds it (flash array or EEPROM), for inspection and set-up.
    std::vector<std::uint8_t> rom() const;
    std::uint32_t romSize() const;
    void writeRom(std::uint32_t address, const std::vector<std::uint8_t>& bytes);
    void fillRom(std::uint8_t value);

    // SPI flash status register and write-protect pin (flash cameras).
    std::uint8_t flashStatus() const;
    void setFlashStatus(std::uint8_t status);
    bool flashBusy() const;
    bool writeProtectPinHigh() const;  // WP# level
    bool eepromWriteProtect() const;   // EEPROM write-protect input (EEPROM cameras)
    std::uint8_t romTypeCode() const;  // value last set through 0x0B (power-on: the booted ROM's)

    // Controller memories.
    std::uint8_t reg(std::uint16_t address) const;
    void setReg(std::uint16_t address, std::uint8_t value);
    std::uint8_t mcuData(std::uint16_t address) const;
    void setMcuData(std::uint16_t address, std::uint8_t value);
    std::uint8_t gpio() const { return reg(0x0020); }

    // Faults and latency may change at any time.
    Faults faults() const;
    void setFaults(const Faults& faults);
    void setLatencyUs(std::uint32_t us);
    void setTimings(const Timings& timings);

    // Models of the OSD control and the H.264 unit.
    EmuOsd& osd();
    EmuH264& h264();

    Impl& impl() { return *m_impl; }

private:
    std::unique_ptr<Impl> m_impl;
};

class EmuWorld final : public IDeviceWorld, public std::enable_shared_from_this<EmuWorld> {
public:
    EmuWorld();
    ~EmuWorld() override;

    // Adds a camera (plugged unless asked otherwise) and returns its index.
    std::size_t addCamera(const CameraConfig& config, bool plugged = true);
    std::size_t cameraCount() const;
    EmuCamera& camera(std::size_t index);
    // Index of the camera with this identity (line-file section name).
    std::optional<std::size_t> findCamera(const std::string& name) const;

    void plug(std::size_t index);
    void unplug(std::size_t index);
    // Someone else keeps the device path open: exclusive opens fail with a sharing violation.
    void holdPath(std::size_t index, bool held);

    // Delivers every notice that is due and fires every timer that is pending (moving a
    // virtual clock up to them); returns when the world is quiet.
    void settle();

    // IDeviceWorld
    HRESULT CreateClassEnumerator(const Guid& category, std::shared_ptr<IEnumMoniker>* out) override;
    std::unique_ptr<IDeviceHandle> CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                                              std::uint32_t flagsAndAttributes, std::uint32_t* lastError) override;
    bool SetupDiClassGuidsFromName(const std::wstring& className, std::vector<Guid>* guids) override;
    bool SetupDiGetClassDevs(const Guid& classGuid, std::uint32_t flags, std::vector<SetupDevice>* devices) override;
    std::uint64_t RegisterDeviceNotification(DeviceNoticeCallback recipient, const DeviceInterfaceNotice& filter,
                                             std::uint32_t flags, std::uint32_t* lastError) override;
    bool UnregisterDeviceNotification(std::uint64_t handle, std::uint32_t* lastError) override;

    struct Impl;
    Impl& impl() { return *m_impl; }

private:
    std::unique_ptr<Impl> m_impl;
};

// What a line file describes: its cameras in plug order, ROM files and images resolved.
struct LineDescription {
    std::vector<CameraConfig> cameras;
};
// false with *error ("file:line: what") when the file cannot be read or a key or value is wrong.
bool parseLineFile(const std::string& path, LineDescription* out, std::string* error);
// A world described by a line file (see samples/README.md); null with *error on failure.
std::shared_ptr<EmuWorld> loadLineFile(const std::string& path, std::string* error);
// Brings a world in line with a (re-read) description, camera sections matched by name:
// cameras no longer described are unplugged, described ones that are absent are plugged
// again, new sections are added. A changed section keeps the camera it first described.
void followLine(EmuWorld& world, const LineDescription& line);

}  // namespace lumo::os::emu
