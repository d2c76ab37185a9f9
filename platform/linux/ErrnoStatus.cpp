#include "platform/linux/ErrnoStatus.h"

#include <cerrno>

#include "platform/Status.h"

namespace lumo::os::linuxworld {

std::uint32_t openErrnoToError(int err) {
    switch (err) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
        case ENOTDIR:
            return ERROR_FILE_NOT_FOUND;
        case ENODEV:
        case ENXIO:
            return ERROR_DEVICE_NOT_CONNECTED;
        case EACCES:
        case EPERM:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case EBUSY:
        case EWOULDBLOCK:
            return ERROR_SHARING_VIOLATION;
        default:
            return ERROR_GEN_FAILURE;
    }
}

std::uint32_t ioctlErrnoToError(int err) {
    switch (err) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_NOT_FOUND;  // no such unit or control
        case EINVAL:
        case EFAULT:
            return ERROR_INVALID_PARAMETER;
        case ENOBUFS:
        case EOVERFLOW:
            return ERROR_INSUFFICIENT_BUFFER;  // size differs from the control's length
        case EACCES:
        case EPERM:
            return ERROR_ACCESS_DENIED;  // e.g. a set of a read-only control
        case ENODEV:
        case ENXIO:
        case ESHUTDOWN:
            return ERROR_DEVICE_NOT_CONNECTED;
        case ETIMEDOUT:
            return ERROR_SEM_TIMEOUT;
        case EBUSY:
            return ERROR_BUSY;
        case ENOTTY:
        case EOPNOTSUPP:
            return ERROR_NOT_SUPPORTED;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        default:
            return ERROR_GEN_FAILURE;  // EIO, EPIPE (a stall), EPROTO, ...
    }
}

}  // namespace lumo::os::linuxworld
