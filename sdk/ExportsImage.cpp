// The firmware-image exports: loads through the process-wide loader, its byte count, and
// the checksum.
#include "sdk/ExportFrame.h"
#include "sdk/LumoSDK.h"
#include "sdk/image/Crc16.h"
#include "sdk/image/LumoBin.h"

TAVIX_API int32_t TAVIX_LoadBinFile(uint8_t* image, int32_t skipChecks) {
    return CLumoBin::Instance().LoadBinFile(image, skipChecks);
}

TAVIX_API int32_t TAVIX_LoadBinFileFromPath(uint8_t* image, const wchar_t* path, int32_t skipChecks) {
    return CLumoBin::Instance().LoadBinFileFromPath(image, path, skipChecks);
}

TAVIX_API uint32_t TAVIX_CRC16Calculate(const uint8_t* data, uint32_t length) {
    return lumo::image::Crc16Calculate(data, length);
}

// Handed out only while a camera is registered.
TAVIX_API int32_t TAVIX_GetBinFileSize(uint32_t* size) {
    return lumo::frame::withRegistry([&](CLumoCtrl&) {
        if (size == nullptr) return 0;
        *size = CLumoBin::Instance().GetBytesRead();
        return 1;
    });
}
