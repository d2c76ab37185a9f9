#include "tests/kernel/UvcGadget.h"

#include <fcntl.h>
#include <linux/usb/ch9.h>
#include <linux/usb/gadgetfs.h>
#include <poll.h>
#include <sched.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace lumo::kerneltest {
namespace {

void put16(std::vector<std::uint8_t>& v, std::uint16_t x) {
    v.push_back(static_cast<std::uint8_t>(x));
    v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}
void set16(std::vector<std::uint8_t>& v, std::size_t at, std::uint16_t x) {
    v[at] = static_cast<std::uint8_t>(x);
    v[at + 1] = static_cast<std::uint8_t>(x >> 8);
}

// Unit GUIDs in descriptor (memory) byte order.
constexpr std::uint8_t kVendorGuid[16] = {0xB0, 0xD0, 0xBB, 0x68, 0xA4, 0x61, 0x83, 0x4B,
                                          0x90, 0xB7, 0xA6, 0x21, 0x5F, 0x3C, 0x4F, 0x70};
constexpr std::uint8_t kH264Guid[16] = {0x41, 0x76, 0x9E, 0xA2, 0x04, 0xDE, 0xE3, 0x47,
                                        0x8B, 0x2B, 0xF4, 0x34, 0x1A, 0xFF, 0x00, 0x3B};
constexpr std::uint8_t kYuy2Guid[16] = {'Y',  'U',  'Y',  '2',  0x00, 0x00, 0x10, 0x00,
                                        0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// An extension-unit descriptor. The 6.1 parser reads iExtension two bytes further than the
// class layout puts it (24 + p + 2n), and rejects the last unit when bLength is shorter, so the
// descriptor carries two extra zero bytes.
void extensionUnit(std::vector<std::uint8_t>& v, std::uint8_t id, const std::uint8_t* guid, std::uint8_t source,
                   std::uint8_t controlBytes) {
    const std::uint8_t p = 1;
    const std::uint8_t length = static_cast<std::uint8_t>(25 + p + 2 * controlBytes);
    const std::size_t start = v.size();
    v.push_back(length);
    v.push_back(0x24);  // CS_INTERFACE
    v.push_back(0x06);  // VC_EXTENSION_UNIT
    v.push_back(id);
    v.insert(v.end(), guid, guid + 16);
    v.push_back(static_cast<std::uint8_t>(controlBytes * 8));  // bNumControls
    v.push_back(p);
    v.push_back(source);
    v.push_back(controlBytes);
    for (int i = 0; i < controlBytes; ++i) v.push_back(0xFF);  // every selector 1..8n
    while (v.size() < start + length) v.push_back(0);          // iExtension and the padding
}

}  // namespace

std::vector<std::uint8_t> buildDeviceDescriptor(const GadgetIdentity& id) {
    std::vector<std::uint8_t> d = {18, USB_DT_DEVICE};
    put16(d, 0x0200);
    d.push_back(0xEF);  // miscellaneous class with an interface association
    d.push_back(0x02);
    d.push_back(0x01);
    d.push_back(64);
    put16(d, id.vid);
    put16(d, id.pid);
    put16(d, id.bcdDevice);
    d.push_back(0);  // no strings
    d.push_back(0);
    d.push_back(0);
    d.push_back(1);  // one configuration
    return d;
}

std::vector<std::uint8_t> buildConfigDescriptor(bool highSpeed) {
    std::vector<std::uint8_t> c = {9, USB_DT_CONFIG, 0, 0, 2, 1, 0, 0x80, 50};
    // interface association: interfaces 0 and 1, video
    c.insert(c.end(), {8, 0x0B, 0, 2, 0x0E, 0x03, 0x00, 0});
    // VideoControl interface
    c.insert(c.end(), {9, USB_DT_INTERFACE, 0, 0, 0, 0x0E, 0x01, 0x00, 0});
    const std::size_t vcHeader = c.size();
    c.insert(c.end(), {13, 0x24, 0x01});
    put16(c, 0x0110);
    put16(c, 0);  // wTotalLength, filled below
    put32(c, 48000000);
    c.push_back(1);
    c.push_back(1);  // streaming interface 1
    // camera input terminal
    c.insert(c.end(), {18, 0x24, 0x02, kInputTerminalId});
    put16(c, 0x0201);
    c.insert(c.end(), {0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0});
    extensionUnit(c, kVendorUnitId, kVendorGuid, kInputTerminalId, 3);
    extensionUnit(c, kH264UnitId, kH264Guid, kVendorUnitId, 2);
    // streaming output terminal
    c.insert(c.end(), {9, 0x24, 0x03, kOutputTerminalId});
    put16(c, 0x0101);
    c.insert(c.end(), {0, kH264UnitId, 0});
    set16(c, vcHeader + 5, static_cast<std::uint16_t>(c.size() - vcHeader));

    // VideoStreaming interface, one bulk endpoint, one YUY2 format with one frame size
    c.insert(c.end(), {9, USB_DT_INTERFACE, 1, 0, 1, 0x0E, 0x02, 0x00, 0});
    const std::size_t vsHeader = c.size();
    c.insert(c.end(), {14, 0x24, 0x01, 1});
    put16(c, 0);
    c.insert(c.end(), {0x81, 0, kOutputTerminalId, 0, 0, 0, 1, 0});
    c.insert(c.end(), {27, 0x24, 0x04, 1, 1});
    c.insert(c.end(), kYuy2Guid, kYuy2Guid + 16);
    c.insert(c.end(), {16, 1, 0, 0, 0, 0});
    c.insert(c.end(), {30, 0x24, 0x05, 1, 0});
    put16(c, 160);
    put16(c, 120);
    put32(c, 160 * 120 * 16 * 30);
    put32(c, 160 * 120 * 16 * 30);
    put32(c, 160 * 120 * 2);
    put32(c, 333333);
    c.push_back(1);
    put32(c, 333333);
    set16(c, vsHeader + 4, static_cast<std::uint16_t>(c.size() - vsHeader));
    c.insert(c.end(), {7, USB_DT_ENDPOINT, 0x81, USB_ENDPOINT_XFER_BULK});
    put16(c, highSpeed ? 512 : 64);
    c.push_back(0);
    set16(c, 2, static_cast<std::uint16_t>(c.size()));
    return c;
}

namespace {

constexpr std::uint8_t SET_CUR = 0x01, GET_CUR = 0x81, GET_MIN = 0x82, GET_MAX = 0x83, GET_RES = 0x84, GET_LEN = 0x85,
                       GET_INFO = 0x86, GET_DEF = 0x87;

class Session {
public:
    Session(int fd, IUnitControls& controls, bool verbose) : m_fd(fd), m_controls(controls), m_verbose(verbose) {
        // streaming probe/commit state (UVC 1.1: 34 bytes): format 1, frame 1, 30 fps
        m_probe.fill(0);
        m_probe[2] = 1;
        m_probe[3] = 1;
        const std::uint32_t interval = 333333, frameSize = 160 * 120 * 2, payload = 512;
        for (int i = 0; i < 4; ++i) {
            m_probe[4 + i] = static_cast<std::uint8_t>(interval >> (8 * i));
            m_probe[18 + i] = static_cast<std::uint8_t>(frameSize >> (8 * i));
            m_probe[22 + i] = static_cast<std::uint8_t>(payload >> (8 * i));
        }
    }

    void setup(const usb_ctrlrequest& r) {
        const bool in = (r.bRequestType & USB_DIR_IN) != 0;
        const std::uint16_t wValue = r.wValue, wIndex = r.wIndex, wLength = r.wLength;
        if ((r.bRequestType & USB_TYPE_MASK) == USB_TYPE_STANDARD) {
            // SET_CONFIGURATION and SET_INTERFACE reach us for acknowledgement
            if (r.bRequest == USB_REQ_SET_CONFIGURATION || r.bRequest == USB_REQ_SET_INTERFACE) return ack();
            return stall(in);
        }
        if ((r.bRequestType & USB_TYPE_MASK) != USB_TYPE_CLASS) return stall(in);
        const std::uint8_t selector = static_cast<std::uint8_t>(wValue >> 8);
        const std::uint8_t iface = static_cast<std::uint8_t>(wIndex & 0xFF);
        const std::uint8_t unit = static_cast<std::uint8_t>(wIndex >> 8);
        if (iface == 1) return streaming(r.bRequest, selector, in, wLength);
        if (unit != kVendorUnitId && unit != kH264UnitId) return stall(in);
        const bool h264 = unit == kH264UnitId;
        const std::uint16_t len = m_controls.length(h264, selector);
        if (m_verbose)
            std::fprintf(stderr, "gadget: unit %u sel 0x%02X req 0x%02X len %u\n", unit, selector, r.bRequest, wLength);
        if (len == 0) return stall(in);
        std::uint8_t buf[512] = {};
        switch (r.bRequest) {
            case GET_LEN:
                buf[0] = static_cast<std::uint8_t>(len);
                buf[1] = static_cast<std::uint8_t>(len >> 8);
                return reply(buf, 2, wLength);
            case GET_INFO:
                buf[0] = 0x03;  // GET and SET supported
                return reply(buf, 1, wLength);
            case GET_MIN:
            case GET_MAX:
            case GET_RES:
            case GET_DEF:
                return reply(buf, len, wLength);
            case GET_CUR:
                if (wLength != len || !m_controls.get(h264, selector, buf, len)) return stall(true);
                return reply(buf, len, wLength);
            case SET_CUR: {
                if (wLength != len || wLength > sizeof buf) return stall(false);
                const ssize_t n = ::read(m_fd, buf, wLength);
                if (n != wLength) return;
                // the status stage has been sent by the read: a refused set cannot stall now, so
                // the camera model records it as failed for the next request to see
                m_controls.set(h264, selector, buf, len);
                return;
            }
            default:
                return stall(in);
        }
    }

private:
    void streaming(std::uint8_t request, std::uint8_t selector, bool in, std::uint16_t wLength) {
        if (selector != 1 && selector != 2) return stall(in);
        if (request == SET_CUR) {
            std::uint8_t buf[64];
            const ssize_t n = ::read(m_fd, buf, wLength < sizeof buf ? wLength : sizeof buf);
            if (n > 0)
                std::memcpy(m_probe.data(), buf, static_cast<std::size_t>(n) < m_probe.size() ? n : m_probe.size());
            return;
        }
        if (request == GET_LEN) {
            std::uint8_t b[2] = {34, 0};
            return reply(b, 2, wLength);
        }
        if (request == GET_INFO) {
            std::uint8_t b[1] = {0x03};
            return reply(b, 1, wLength);
        }
        return reply(m_probe.data(), 34, wLength);
    }
    void reply(const std::uint8_t* data, std::uint16_t len, std::uint16_t wLength) {
        const std::uint16_t n = len < wLength ? len : wLength;
        if (::write(m_fd, data, n) < 0 && m_verbose) std::perror("gadget: ep0 write");
    }
    void ack() {
        if (::read(m_fd, nullptr, 0) < 0 && m_verbose) std::perror("gadget: ep0 ack");
    }
    // the opposite direction stalls ep0
    void stall(bool in) {
        std::uint8_t dummy = 0;
        if (in) {
            [[maybe_unused]] ssize_t r = ::read(m_fd, &dummy, 0);
        } else {
            [[maybe_unused]] ssize_t r = ::write(m_fd, &dummy, 0);
        }
    }

    int m_fd;
    IUnitControls& m_controls;
    bool m_verbose;
    std::array<std::uint8_t, 34> m_probe{};
};

}  // namespace

int runGadget(const std::string& controllerPath, const GadgetIdentity& id, IUnitControls& controls, bool verbose) {
    const int fd = ::open(controllerPath.c_str(), O_RDWR);
    if (fd < 0) {
        std::perror("gadget: open controller");
        return 1;
    }
    std::vector<std::uint8_t> init = {0, 0, 0, 0};  // format tag 0
    const auto fs = buildConfigDescriptor(false), hs = buildConfigDescriptor(true), dev = buildDeviceDescriptor(id);
    init.insert(init.end(), fs.begin(), fs.end());
    init.insert(init.end(), hs.begin(), hs.end());
    init.insert(init.end(), dev.begin(), dev.end());
    if (::write(fd, init.data(), init.size()) != static_cast<ssize_t>(init.size())) {
        std::perror("gadget: write descriptors");
        ::close(fd);
        return 1;
    }
    // dummy_hcd completes a control write's status stage as soon as its data has arrived, so the
    // host may send its next request before we have collected the data; gadgetfs then takes the
    // new request for the old one. Running ahead of every host program closes that window.
    sched_param priority{};
    priority.sched_priority = 50;
    if (sched_setscheduler(0, SCHED_FIFO, &priority) != 0 && verbose) std::perror("gadget: real-time priority");
    Session session(fd, controls, verbose);
    for (;;) {
        // one event a read: a setup must be answered before the next event is collected
        usb_gadgetfs_event events[1];
        const ssize_t n = ::read(fd, events, sizeof events);
        if (n < 0) {
            // EL2HLT: a request was still pending when the controller moved on (the read stalled
            // it); EIDRM: the host aborted a request; ECANCELED: a reset overtook it. None of
            // these end the camera.
            if (errno == EINTR || errno == EAGAIN || errno == EL2HLT || errno == EIDRM || errno == ECANCELED ||
                errno == ESHUTDOWN) {
                if (verbose) std::fprintf(stderr, "gadget: events: %s\n", std::strerror(errno));
                continue;
            }
            std::perror("gadget: read events");
            break;
        }
        for (ssize_t i = 0; i < n / static_cast<ssize_t>(sizeof(usb_gadgetfs_event)); ++i) {
            // connects, disconnects (enumeration resets the port) and suspends need no answer
            if (events[i].type == GADGETFS_SETUP) session.setup(events[i].u.setup);
        }
    }
    ::close(fd);
    return 1;
}

}  // namespace lumo::kerneltest
