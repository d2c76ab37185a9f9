#include "platform/linux/VideoDeviceIo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <cerrno>

namespace lumo::os::linuxworld {
namespace {

class CSystemVideoDeviceIo final : public IVideoDeviceIo {
public:
    int Open(const std::string& path, int flags) override {
        for (;;) {
            const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
            if (fd >= 0) return fd;
            if (errno != EINTR) return -errno;
        }
    }
    int Ioctl(int fd, unsigned long request, void* arg) override {
        for (;;) {
            if (::ioctl(fd, request, arg) == 0) return 0;
            if (errno != EINTR) return -errno;
        }
    }
    int Flock(int fd, int operation) override {
        for (;;) {
            if (::flock(fd, operation) == 0) return 0;
            if (errno != EINTR) return -errno;
        }
    }
    void Close(int fd) override { ::close(fd); }
};

}  // namespace

std::shared_ptr<IVideoDeviceIo> makeSystemVideoDeviceIo() {
    return std::make_shared<CSystemVideoDeviceIo>();
}

}  // namespace lumo::os::linuxworld
