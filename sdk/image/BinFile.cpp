#include "sdk/image/BinFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/trace/DEdura.h"
#include "platform/TextConv.h"

namespace {
CBinFile::LockFunction g_lock = ::flock;
}  // namespace

void CBinFile::SetLockFunction(LockFunction lock) {
    g_lock = lock ? lock : ::flock;
}

CBinFile::~CBinFile() {
    Close();
}

bool CBinFile::Open(const std::wstring& path, CFileException* error) {
    Close();
    auto fail = [&](int cause, int osError) {
        if (error) {
            error->m_cause = cause;
            error->m_lOsError = osError;
            error->m_strFileName = path;
        }
        return false;
    };
    // An embedded zero would silently shorten the path to another file.
    if (path.empty() || path.find(L'\0') != std::wstring::npos) return fail(CFileException::badPath, EINVAL);
    const std::string narrow = lumo::os::toUtf8(path);
    // Non-blocking, so that a FIFO cannot hang the open; the flag is harmless on a regular file.
    int fd = ::open(narrow.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        int e = errno;
        int cause = e == ENOENT         ? CFileException::fileNotFound
                    : e == EACCES       ? CFileException::accessDenied
                    : e == ENAMETOOLONG ? CFileException::badPath
                                        : CFileException::generic;
        return fail(cause, e);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int e = errno;
        ::close(fd);
        return fail(CFileException::notRegularFile, e ? e : EINVAL);
    }
    if (g_lock(fd, LOCK_EX | LOCK_NB) != 0) {
        int e = errno;
        if (e == ENOLCK || e == EBADF) {
            XTRACE(3)("BIN file lock not available here (errno %d): read without it", e);
        } else {
            ::close(fd);
            return fail(CFileException::sharingViolation, e);
        }
    }
    m_fd = fd;
    return true;
}

std::uint64_t CBinFile::GetLength() const {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || st.st_size < 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

std::uint32_t CBinFile::Read(std::uint8_t* buffer, std::uint32_t length) {
    if (m_fd < 0 || buffer == nullptr) return 0;
    std::uint32_t done = 0;
    while (done < length) {
        ssize_t n = ::read(m_fd, buffer + done, length - done);
        if (n > 0) {
            done += static_cast<std::uint32_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    return done;
}

bool CBinFile::Seek(std::uint64_t offset) {
    return m_fd >= 0 && ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

void CBinFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);  // closing drops the lock
        m_fd = -1;
    }
}
