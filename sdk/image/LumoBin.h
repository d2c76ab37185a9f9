#pragma once
// CLumoBin: loads ".bin" firmware images into the caller's buffer, checks their size and
// their chip signature against the reference camera, and remembers how many bytes the last
// load read. One instance serves the whole process; loads must not overlap.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/OpenFileDialog.h"
#include "sdk/image/BinFile.h"

inline constexpr std::uint32_t kMaxBinFileSize = 65536;
inline constexpr std::uint32_t kBinFileSizeUnit = 512;
inline constexpr std::uint32_t kBinSignatureOffset = 0x40;

class CLumoBin {
public:
    // Gives the backend signature of the reference camera, or nothing when no camera is
    // registered (then the signature test is skipped).
    using SignatureSource = std::function<std::optional<std::string>()>;

    explicit CLumoBin(SignatureSource referenceSignature);
    ~CLumoBin();
    CLumoBin(const CLumoBin&) = delete;
    CLumoBin& operator=(const CLumoBin&) = delete;

    // The process-wide loader, comparing with the registry's reference camera.
    static CLumoBin& Instance();

    // The destination must hold kMaxBinFileSize bytes. A non-zero skip flag skips the
    // multiple-of-512 rule and the signature test; the 64 KB limit always applies.
    std::int32_t LoadBinFileFromPath(std::uint8_t* pBuffer, const wchar_t* pszPath, std::int32_t bSkipCheck);
    std::int32_t LoadBinFile(std::uint8_t* pBuffer, std::int32_t bSkipCheck);
    std::int32_t OpenFile();

    std::uint32_t GetBytesRead() const { return m_dwBytesRead; }

private:
    // Steps shared by both forms once the file is open; they close the file on every path.
    bool CheckLength(std::int32_t bSkipCheck, std::uint32_t* pLength);
    bool CheckSignature(std::int32_t bSkipCheck);
    // After the read: the byte count and the signature decide; success closes the file.
    std::int32_t FinishLoad(std::uint32_t length, std::int32_t bSkipCheck);
    std::int32_t Fail();

    lumo::os::OpenFileName m_ofn;
    CBinFile m_oFile;
    CFileException m_oFileException;
    std::array<wchar_t, lumo::os::kMaxPath> m_szFileName{};
    std::unique_ptr<std::uint8_t[]> m_pStaging;
    std::uint32_t m_dwBytesRead = 0;
    SignatureSource m_referenceSignature;
};
