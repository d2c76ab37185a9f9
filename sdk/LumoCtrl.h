#pragma once
// CLumoCtrl: the process-wide device registry. One static instance, constructed when the
// library is loaded (before the trace log starts) and read by every export's checks.
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/LumoSDK.h"

class CLumoDev;

class CLumoCtrl {
public:
    CLumoCtrl();
    ~CLumoCtrl();
    CLumoCtrl(const CLumoCtrl&) = delete;
    CLumoCtrl& operator=(const CLumoCtrl&) = delete;

    // The one registry of the process. Built on first use; the library's start-up touches it
    // before the trace log starts, so it exists from load to unload.
    static CLumoCtrl& Instance();

    // At most this many cameras are held: the device count is kept in 8 bits.
    static constexpr std::size_t kMaxDevs = 255;

    // Finds the cameras of the video-input category and registers the recognised ones;
    // registered cameras stay. 1 when the walk reached its end, 0 when it failed to start or
    // was broken off by a failed parameter query.
    std::int32_t EnumDevs();
    // Removes and deletes every camera.
    void FreeDevs();
    // Device-change notices for the recipient, for every interface class.
    std::int32_t DeviceChangeRegister(const TAVIX_NOTICE_RECIPIENT* pRecipient);
    std::int32_t DeviceChangeUnregister();
    // 1 when a registered camera has exactly this (upper-case) path.
    std::int32_t DevsFindElement(const std::wstring& szDevPath);
    // Cuts the caller's path before its first "{" (in place) and removes the first camera
    // whose path contains the rest; 1 when one was removed.
    std::int32_t DevsDelElement(std::wstring& szDevPath);
    // Removes the camera at the index; 1, or 0 for an index past the array.
    std::int32_t DevsDelElement(std::uint8_t index);
    // Registers (and from then on owns) a camera; 0 when the registry is full, the camera
    // is then deleted.
    std::int32_t DevsAddElement(CLumoDev* pLumoDev);
    // Compacts the array and recounts.
    void DevsIndexUpdate();
    // ROM detection over every camera, then the ROM type for each detected one with a known
    // size. A camera whose detection or type setting fails is left with ROM size 0 (not
    // detected) and the others go on; the result is 0 when any camera failed.
    std::int32_t QueryExtRom();

    // Registered cameras in index order; the registry owns and deletes each one. Never holds
    // an empty slot between operations.
    std::vector<CLumoDev*> m_oDevs;
    // Number of registered cameras, equal to m_oDevs.size() after every operation. The recount
    // works in 8 bits, so at most 255 cameras are held.
    std::int32_t m_nDevCount = 0;
    // The current device-change registration; 0 when none.
    std::uint64_t m_hDevNotify = 0;
    // Index of the camera whose backend signature an image is compared with; always 0.
    std::int32_t m_nRefDevIdx = 0;
};
