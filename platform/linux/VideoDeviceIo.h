#pragma once
// The seam between the Linux world and the kernel: open, ioctl, flock and close of a
// /dev/videoN node. The real one calls the system; tests answer it with a model camera.
#include <memory>
#include <string>

namespace lumo::os::linuxworld {

class IVideoDeviceIo {
public:
    virtual ~IVideoDeviceIo() = default;
    // A file descriptor, or -errno.
    virtual int Open(const std::string& path, int flags) = 0;
    // 0, or -errno. arg is the request's kernel structure.
    virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
    // 0, or -errno (LOCK_EX|LOCK_NB and friends).
    virtual int Flock(int fd, int operation) = 0;
    virtual void Close(int fd) = 0;
};

std::shared_ptr<IVideoDeviceIo> makeSystemVideoDeviceIo();

// Owns one descriptor of a seam; closing is destruction.
class CVideoFd {
public:
    CVideoFd() = default;
    CVideoFd(std::shared_ptr<IVideoDeviceIo> io, int fd) : m_io(std::move(io)), m_fd(fd) {}
    ~CVideoFd() { reset(); }
    CVideoFd(CVideoFd&& other) noexcept : m_io(std::move(other.m_io)), m_fd(other.m_fd) { other.m_fd = -1; }
    CVideoFd& operator=(CVideoFd&& other) noexcept {
        if (this != &other) {
            reset();
            m_io = std::move(other.m_io);
            m_fd = other.m_fd;
            other.m_fd = -1;
        }
        return *this;
    }
    CVideoFd(const CVideoFd&) = delete;
    CVideoFd& operator=(const CVideoFd&) = delete;

    bool valid() const { return m_fd >= 0; }
    int get() const { return m_fd; }
    IVideoDeviceIo& io() const { return *m_io; }
    void reset() {
        if (m_fd >= 0 && m_io) m_io->Close(m_fd);
        m_fd = -1;
    }

private:
    std::shared_ptr<IVideoDeviceIo> m_io;
    int m_fd = -1;
};

}  // namespace lumo::os::linuxworld
