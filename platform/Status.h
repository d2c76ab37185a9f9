#pragma once
// Status codes the OS layer hands back where the code above logs one (0 is success).
#include <cstdint>

namespace lumo::os {

using HRESULT = std::uint32_t;

inline constexpr HRESULT S_OK = 0x00000000;
inline constexpr HRESULT S_FALSE = 0x00000001;  // success, but "nothing" (empty category, end of a walk)
inline constexpr HRESULT E_NOTIMPL = 0x80004001;
inline constexpr HRESULT E_NOINTERFACE = 0x80004002;
inline constexpr HRESULT E_POINTER = 0x80004003;
inline constexpr HRESULT E_FAIL = 0x80004005;
inline constexpr HRESULT E_INVALIDARG = 0x80070057;
// a HRESULT made from a Win32-style error code
constexpr HRESULT hresultFromError(std::uint32_t error) {
    return error == 0 ? S_OK : (0x80070000u | (error & 0xFFFFu));
}

// Win32-style error codes (the "last error" of device-path I/O and notices)
inline constexpr std::uint32_t ERROR_SUCCESS = 0;
inline constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr std::uint32_t ERROR_GEN_FAILURE = 31;
inline constexpr std::uint32_t ERROR_SHARING_VIOLATION = 32;
inline constexpr std::uint32_t ERROR_NOT_SUPPORTED = 50;
inline constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr std::uint32_t ERROR_DEVICE_NOT_CONNECTED = 1167;
inline constexpr std::uint32_t ERROR_IO_PENDING = 997;
inline constexpr std::uint32_t ERROR_OPERATION_ABORTED = 995;

// wait results
inline constexpr std::uint32_t WAIT_OBJECT_0 = 0;
inline constexpr std::uint32_t WAIT_TIMEOUT = 258;
inline constexpr std::uint32_t WAIT_FAILED = 0xFFFFFFFF;

inline constexpr std::uint32_t IOCTL_KS_PROPERTY = 0x002F0003;

}  // namespace lumo::os
