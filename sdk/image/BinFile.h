#pragma once
// The image file object: a regular file opened for reading with no sharing. "No sharing"
// is an exclusive advisory lock taken without waiting, so a file that another program holds
// locked is refused, and the lock lasts until Close (or destruction). A file system that
// has no locks (ENOLCK, or EBADF for a read-only descriptor on some network file systems)
// cannot say whether anyone else holds the file: it is read without the lock, with a record.
#include <cstdint>
#include <string>

// Why an open failed: the cause, the system error (-1 when none) and the file name.
struct CFileException {
    enum Cause : int { none = 0, fileNotFound, badPath, sharingViolation, accessDenied, notRegularFile, generic };
    int m_cause = none;
    std::int32_t m_lOsError = -1;
    std::wstring m_strFileName;
};

class CBinFile {
public:
    CBinFile() = default;
    ~CBinFile();
    CBinFile(const CBinFile&) = delete;
    CBinFile& operator=(const CBinFile&) = delete;

    // Opens path for reading, exclusively. False with the cause in *error.
    bool Open(const std::wstring& path, CFileException* error);
    bool IsOpen() const { return m_fd >= 0; }
    // Full length of the open file in bytes.
    std::uint64_t GetLength() const;
    // Reads up to length bytes at the current position; returns the count read (short at
    // the end of the file or on an error).
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t length);
    bool SeekToBegin() { return Seek(0); }
    bool Seek(std::uint64_t offset);
    void Close();

    // The lock call, flock(2) unless a test puts another in its place (null restores it).
    using LockFunction = int (*)(int fd, int operation);
    static void SetLockFunction(LockFunction lock);

private:
    int m_fd = -1;
};
