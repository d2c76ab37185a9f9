#include "sdk/image/LumoBin.h"

#include <cstring>
#include <cwchar>
#include <utility>

#include "common/trace/DEdura.h"

namespace {
constexpr const char* kFromPath = "CLumoBin::LoadBinFileFromPath";
constexpr const char* kFromDialog = "CLumoBin::LoadBinFile";
constexpr const char* kOpenFile = "CLumoBin::OpenFile";
}  // namespace

CLumoBin::CLumoBin(SignatureSource referenceSignature)
    : m_pStaging(new std::uint8_t[kMaxBinFileSize]()), m_referenceSignature(std::move(referenceSignature)) {}

// Members go in reverse order: the staging buffer, the exception record, then the file
// object, which closes a file still open.
CLumoBin::~CLumoBin() = default;

std::int32_t CLumoBin::Fail() {
    m_oFile.Close();
    return 0;
}

bool CLumoBin::CheckLength(std::int32_t bSkipCheck, std::uint32_t* pLength) {
    // The whole length is judged, not its low 32 bits: a file of 4 GB and 512 bytes must not
    // pass as a 512-byte image.
    const std::uint64_t length = m_oFile.GetLength();
    if (bSkipCheck == 0 && length % kBinFileSizeUnit != 0) {
        XTRACE(4)("BIN file is not valid.XXXXXXXXXX");
        return false;
    }
    if (length > kMaxBinFileSize) {
        XTRACE(4)("BIN file size is too large.XXXXXXXXXX");
        return false;
    }
    *pLength = static_cast<std::uint32_t>(length);
    return true;
}

std::int32_t CLumoBin::FinishLoad(std::uint32_t length, std::int32_t bSkipCheck) {
    if (m_dwBytesRead != length) {
        XTRACE(4)("BIN file size is not match.XXXXXXXXXX");
        return Fail();
    }
    if (!CheckSignature(bSkipCheck)) return Fail();
    XTRACE(2)("%d bytes read.", static_cast<int>(length));
    XTRACE(2)("Load Bin file OK!!");
    m_oFile.Close();
    return 1;
}

bool CLumoBin::CheckSignature(std::int32_t bSkipCheck) {
    if (bSkipCheck != 0) return true;
    std::optional<std::string> reference = m_referenceSignature ? m_referenceSignature() : std::nullopt;
    if (!reference) return true;  // no camera registered: nothing to compare with
    // Two bytes into a zeroed four-byte area: a text of at most two characters, shorter when
    // the file ends before them or holds a zero.
    char text[4] = {0, 0, 0, 0};
    if (m_oFile.Seek(kBinSignatureOffset)) m_oFile.Read(reinterpret_cast<std::uint8_t*>(text), 2);
    if (std::strstr(text, reference->c_str()) == nullptr) {
        XTRACE(4)("BIN file Header Signature is not match.XXXXXXXXXX");
        return false;
    }
    return true;
}

std::int32_t CLumoBin::LoadBinFileFromPath(std::uint8_t* pBuffer, const wchar_t* pszPath, std::int32_t bSkipCheck) {
    XTRACE(2)("%s ===>", kFromPath);
    std::int32_t result = 0;
    std::uint32_t length = 0;
    const std::wstring path = pszPath ? std::wstring(pszPath) : std::wstring();
    if (path.empty()) {
        XTRACE(2)("BIN file path is not valid");
        result = Fail();
    } else if (path.find(L".BIN") == std::wstring::npos && path.find(L".bin") == std::wstring::npos) {
        XTRACE(4)("Not a BIN file.XXXXXXXXXX");
        result = Fail();
    } else if (pBuffer == nullptr) {
        XTRACE(4)("BIN file buffer is not valid.XXXXXXXXXX");
        result = Fail();
    } else if (!m_oFile.Open(path, &m_oFileException)) {
        XTRACE(4)("BIN file path is not valid.XXXXXXXXXX");
        result = Fail();
    } else if (!CheckLength(bSkipCheck, &length)) {
        result = Fail();
    } else {
        m_oFile.SeekToBegin();
        m_dwBytesRead = m_oFile.Read(pBuffer, length);
        result = FinishLoad(length, bSkipCheck);
    }
    XTRACE(2)("%s <===", kFromPath);
    return result;
}

std::int32_t CLumoBin::OpenFile() {
    XTRACE(2)("%s ===>", kOpenFile);
    std::int32_t result = 0;
    m_ofn.lStructSize = static_cast<std::uint32_t>(sizeof(m_ofn));
    m_ofn.nFilterIndex = 0;
    m_ofn.nMaxFile = lumo::os::kMaxPath;
    m_ofn.lpstrTitle = nullptr;
    m_ofn.Flags = 0;
    if (lumo::os::GetOpenFileName(m_ofn)) {
        if (!m_oFile.Open(std::wstring(m_szFileName.data(), ::wcsnlen(m_szFileName.data(), m_szFileName.size())),
                          &m_oFileException)) {
            XTRACE(4)("BIN file open FAILED.XXXXXXXXXX");
        } else {
            result = 1;  // the file stays open for the load
        }
    }
    XTRACE(2)("%s <===", kOpenFile);
    return result;
}

std::int32_t CLumoBin::LoadBinFile(std::uint8_t* pBuffer, std::int32_t bSkipCheck) {
    XTRACE(2)("%s ===>", kFromDialog);
    std::int32_t result = 0;
    std::uint32_t length = 0;
    // Nothing clears the file name: the next dialog starts from the last chosen path.
    m_ofn = lumo::os::OpenFileName{};
    m_ofn.lpstrFilter = {{L"Bin", L"*.bin"}};
    m_ofn.lpstrFile = m_szFileName.data();
    if (pBuffer == nullptr) {
        XTRACE(4)("BIN file buffer is not valid.XXXXXXXXXX");
        result = Fail();
    } else if (!OpenFile()) {
        result = Fail();
    } else if (!CheckLength(bSkipCheck, &length)) {
        result = Fail();
    } else {
        std::memset(m_pStaging.get(), 0, kMaxBinFileSize);
        m_oFile.SeekToBegin();
        m_dwBytesRead = m_oFile.Read(m_pStaging.get(), length);
        // The whole length is copied whatever the read returned: a short read leaves zeros.
        std::memcpy(pBuffer, m_pStaging.get(), length);
        result = FinishLoad(length, bSkipCheck);
    }
    XTRACE(2)("%s <===", kFromDialog);
    return result;
}
