#pragma once
// Stand-ins for the kernel under the Linux world: a sysfs tree and /dev names in a temp
// directory, and a seam that answers V4L2 and extension-unit ioctls like a camera would.
#include <fcntl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>
#include <sys/file.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Guid.h"
#include "platform/linux/VideoDeviceIo.h"

namespace lumo::os::linuxworld::testing {

namespace fs = std::filesystem;

// Descriptor bytes of a camera: device, configuration, IAD, VideoControl interface with its
// header, camera terminal, processing unit, the given extension units, output terminal, and
// a VideoStreaming interface.
struct XuSpec {
    std::uint8_t unitId;
    lumo::os::Guid guid;
};
inline std::vector<std::uint8_t> cameraDescriptors(const std::vector<XuSpec>& xus, std::uint8_t vcInterface = 0) {
    std::vector<std::uint8_t> d = {18,   1,    0x00, 0x02, 0xEF, 0x02, 0x01, 64, 0x34,
                                   0x12, 0x78, 0x56, 0x00, 0x01, 1,    2,    0,  1};
    const std::size_t config = d.size();
    d.insert(d.end(), {9, 2, 0, 0, 2, 1, 0, 0x80, 250});
    d.insert(d.end(), {8, 0x0B, vcInterface, 2, 0x0E, 0x03, 0, 0});
    d.insert(d.end(), {9, 4, vcInterface, 0, 1, 0x0E, 0x01, 0, 0});
    d.insert(d.end(), {13, 0x24, 0x01, 0x00, 0x01, 0, 0, 0x00, 0x6C, 0xDC, 0x02, 1, std::uint8_t(vcInterface + 1)});
    d.insert(d.end(), {18, 0x24, 0x02, 1, 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0x0A, 0x00, 0x00});
    d.insert(d.end(), {11, 0x24, 0x05, 2, 1, 0, 0, 2, 0x7F, 0x15, 0});
    for (const auto& xu : xus) {
        // one source pin, 2 bytes of control bits
        std::vector<std::uint8_t> e = {27, 0x24, 0x06, xu.unitId};
        const auto g = xu.guid.toBytes();
        e.insert(e.end(), g.begin(), g.end());
        e.insert(e.end(), {8, 1, 2, 2, 0xFF, 0x00, 0});
        d.insert(d.end(), e.begin(), e.end());
    }
    d.insert(d.end(), {9, 0x24, 0x03, 9, 0x01, 0x01, 0, 2, 0});
    d.insert(d.end(), {7, 5, 0x83, 0x03, 16, 0, 6});
    d.insert(d.end(), {9, 4, std::uint8_t(vcInterface + 1), 0, 0, 0x0E, 0x02, 0, 0});
    const std::size_t total = d.size() - config;
    d[config + 2] = static_cast<std::uint8_t>(total & 0xFF);
    d[config + 3] = static_cast<std::uint8_t>(total >> 8);
    return d;
}

inline void writeFile(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}
inline void writeBytes(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The sysfs layout of uvcvideo: class/video4linux/videoN -> devices/.../<port>/<port>:1.<mi>/video4linux/videoN
class FakeSysfs {
public:
    FakeSysfs() {
        root = fs::temp_directory_path() /
               ("lumo-linux-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        fs::create_directories(root / "sys/class/video4linux");
        fs::create_directories(root / "dev");
    }
    ~FakeSysfs() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    std::string sysRoot() const { return (root / "sys").string(); }
    std::string devRoot() const { return (root / "dev").string(); }
    std::string devNode(const std::string& name) const { return devRoot() + "/" + name; }

    struct Camera {
        std::string port = "1-2";
        std::string vid = "1234", pid = "5678", bcd = "0100";
        std::string product = "Lumo Cam";
        std::uint8_t mi = 0;
        std::vector<std::uint8_t> descriptors;
    };
    // Adds a camera's USB device with a node for the interface; index 0 capture, 1 metadata.
    void addNode(const Camera& cam, const std::string& name, int index, const std::string& card = "Lumo Cam") {
        const fs::path usb = root / "sys/devices/pci0000:00/0000:00:14.0/usb1" / cam.port;
        writeFile(usb / "idVendor", cam.vid + "\n");
        writeFile(usb / "idProduct", cam.pid + "\n");
        writeFile(usb / "bcdDevice", cam.bcd + "\n");
        writeFile(usb / "product", cam.product + "\n");
        writeBytes(usb / "descriptors", cam.descriptors);
        char mi[3];
        std::snprintf(mi, sizeof mi, "%02x", cam.mi);
        const fs::path intf = usb / (cam.port + ":1." + std::to_string(cam.mi));
        writeFile(intf / "bInterfaceNumber", std::string(mi) + "\n");
        const fs::path node = intf / "video4linux" / name;
        writeFile(node / "name", card + "\n");
        writeFile(node / "index", std::to_string(index) + "\n");
        writeFile(node / "uevent", "MAJOR=81\nMINOR=0\nDEVNAME=" + name + "\n");
        fs::create_directory_symlink(fs::path("../..") / ".." / fs::path(cam.port + ":1." + std::to_string(cam.mi)),
                                     node / "device");
        fs::create_directory_symlink(node, root / "sys/class/video4linux" / name);
        writeFile(root / "dev" / name, "");
    }
    // A node of a platform device (no USB identity).
    void addPlatformNode(const std::string& name) {
        const fs::path dev = root / "sys/devices/platform/vivid.0";
        const fs::path node = dev / "video4linux" / name;
        writeFile(node / "name", "vivid\n");
        writeFile(node / "index", "0\n");
        fs::create_directory_symlink(fs::path("../.."), node / "device");
        fs::create_directory_symlink(node, root / "sys/class/video4linux" / name);
    }
    void removeNode(const std::string& name) {
        const fs::path link = root / "sys/class/video4linux" / name;
        std::error_code ec;
        const fs::path target = fs::canonical(link, ec);
        fs::remove(link, ec);
        if (!ec) fs::remove_all(target, ec);
    }

    fs::path root;

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
};

// What a camera answers through the seam.
struct FakeCamera {
    std::uint32_t caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    std::string card = "Lumo Cam";
    std::map<std::pair<int, int>, std::vector<std::uint8_t>> xu;  // (unit, selector) -> current value (size = GET_LEN)
    std::map<std::uint32_t, v4l2_queryctrl> ctrls;
    std::map<std::uint32_t, std::int32_t> values;
    int failErrno = 0;  // every UVCIOC_CTRL_QUERY fails with this when set
};

struct XuCall {
    int unit, selector, query, size;
    std::vector<std::uint8_t> data;  // what was sent (set) or answered (get)
};

class FakeVideoIo final : public IVideoDeviceIo {
public:
    std::map<std::string, FakeCamera> cameras;  // by dev node path
    std::vector<XuCall> calls;
    int openErrno = 0;

    int Open(const std::string& path, int) override {
        if (openErrno) return -openErrno;
        if (!cameras.count(path)) return -ENOENT;
        const int fd = m_next++;
        m_open[fd] = path;
        return fd;
    }
    int Ioctl(int fd, unsigned long request, void* arg) override {
        auto it = m_open.find(fd);
        if (it == m_open.end()) return -EBADF;
        FakeCamera& cam = cameras[it->second];
        if (request == VIDIOC_QUERYCAP) {
            auto* cap = static_cast<v4l2_capability*>(arg);
            std::strncpy(reinterpret_cast<char*>(cap->card), cam.card.c_str(), sizeof cap->card - 1);
            cap->capabilities = cam.caps | V4L2_CAP_DEVICE_CAPS;
            cap->device_caps = cam.caps;
            return 0;
        }
        if (request == VIDIOC_QUERYCTRL) {
            auto* q = static_cast<v4l2_queryctrl*>(arg);
            auto c = cam.ctrls.find(q->id);
            if (c == cam.ctrls.end()) return -EINVAL;
            *q = c->second;
            return 0;
        }
        if (request == VIDIOC_G_CTRL) {
            auto* c = static_cast<v4l2_control*>(arg);
            auto v = cam.values.find(c->id);
            if (v == cam.values.end()) return -EINVAL;
            c->value = v->second;
            return 0;
        }
        if (request == UVCIOC_CTRL_QUERY) {
            auto* q = static_cast<uvc_xu_control_query*>(arg);
            XuCall call{q->unit, q->selector, q->query, q->size, {}};
            if (cam.failErrno) {
                calls.push_back(call);
                return -cam.failErrno;
            }
            auto c = cam.xu.find({q->unit, q->selector});
            if (c == cam.xu.end()) {
                calls.push_back(call);
                return -ENOENT;
            }
            auto& value = c->second;
            if (q->query == UVC_GET_LEN) {
                if (q->size != 2) return -ENOBUFS;
                q->data[0] = static_cast<std::uint8_t>(value.size());
                q->data[1] = static_cast<std::uint8_t>(value.size() >> 8);
                call.data.assign(q->data, q->data + 2);
            } else if (q->size != value.size()) {
                calls.push_back(call);
                return -ENOBUFS;
            } else if (q->query == UVC_SET_CUR) {
                value.assign(q->data, q->data + q->size);
                call.data = value;
            } else if (q->query == UVC_GET_CUR) {
                std::memcpy(q->data, value.data(), value.size());
                call.data = value;
            } else {
                return -EINVAL;
            }
            calls.push_back(call);
            return 0;
        }
        return -ENOTTY;
    }
    // one lock per open descriptor, as flock keeps them per open file
    int Flock(int fd, int operation) override {
        auto it = m_open.find(fd);
        if (it == m_open.end()) return -EBADF;
        const bool exclusive = (operation & LOCK_EX) != 0;
        for (const auto& [other, lock] : m_locks) {
            if (other != fd && m_open[other] == it->second && (exclusive || lock)) return -EWOULDBLOCK;
        }
        m_locks[fd] = exclusive;
        return 0;
    }
    void Close(int fd) override {
        m_open.erase(fd);
        m_locks.erase(fd);
    }
    std::size_t openCount() const { return m_open.size(); }

private:
    int m_next = 3;
    std::map<int, std::string> m_open;
    std::map<int, bool> m_locks;  // fd -> exclusive
};

}  // namespace lumo::os::linuxworld::testing
