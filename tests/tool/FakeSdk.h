#pragma once
// A stand-in for the library's exports that the window logic calls: scriptable cameras and a
// log of every call. Linked only into its own test program, never with the real library.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/LumoSDK.h"

namespace lumo::tool::fake {

struct Camera {
    std::uint16_t vid = 0x1234, pid = 0x5678, bcd = 0x0100;
    std::uint16_t apId = 0x0A0B, extFwVer = 0x0C0D;
    std::string setfileVer = "SF1.0";
    std::string partNo = "TV5640";
    std::string sig = "TV";
    std::uint32_t romSize = 65536;
    std::vector<std::uint8_t> rom;  // filled by the fake as romSize bytes of 0xFF
    std::wstring path;              // device path, set by addCamera when empty
    bool backendOk = true;
    bool writeEnableOk = true;
    int failWriteAt = -1;   // ROM address whose write fails
    int throwWriteAt = -1;  // ROM address whose write throws
    unsigned writeDelayUs = 0;
    int corruptAt = -1;   // ROM address that keeps another byte than the one written
    int failReadAt = -1;  // a read covering this ROM address fails
};

struct Call {
    std::string fn;
    std::uint8_t idx = 0;
    std::uint32_t a = 0, b = 0;  // address and length, or flag
    std::uint64_t seq = 0;
};

class Sdk {
public:
    static Sdk& get();
    void reset();

    void addCamera(Camera c);
    void removeCamera(std::size_t index);  // as the registry would, after the path matched
    std::vector<Call> calls(const std::string& fn = {}, int idx = -1);
    std::vector<Camera> cameras();
    void setImage(std::vector<std::uint8_t> image, bool loadOk = true);

    // Sends a device-change notice to the registered recipient, from the calling thread.
    void notify(std::uint32_t eventType, const std::uint8_t classGuid[16], const std::wstring& name,
                std::uint32_t deviceType = TAVIX_DBT_DEVTYP_DEVICEINTERFACE);

    std::mutex mutex;
    std::vector<Camera> devs;      // registered cameras
    std::vector<Camera> attached;  // what an enumeration finds
    std::vector<Call> log;
    std::vector<std::uint8_t> image;
    bool loadOk = true;
    bool enumOk = true;
    std::uint64_t seq = 0;
    TAVIX_NOTICE_RECIPIENT* recipient = nullptr;
    std::function<void()> onEnum;         // runs inside TAVIX_EnumDevs
    std::atomic<bool> holdWrites{false};  // ROM writes wait while it is set

    void record(const std::string& fn, std::uint8_t idx = 0, std::uint32_t a = 0, std::uint32_t b = 0);
};

}  // namespace lumo::tool::fake
