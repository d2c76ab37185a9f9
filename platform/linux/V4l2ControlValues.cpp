#include "platform/linux/V4l2ControlValues.h"

#include <linux/videodev2.h>

#include "platform/linux/ErrnoStatus.h"

namespace lumo::os::linuxworld {
namespace {

struct ControlMap {
    std::int32_t property;
    std::uint32_t cid;
    std::uint32_t autoCid;  // 0: none
};

constexpr ControlMap kProcAmp[] = {
    {0, V4L2_CID_BRIGHTNESS, 0},
    {1, V4L2_CID_CONTRAST, 0},
    {2, V4L2_CID_HUE, V4L2_CID_HUE_AUTO},
    {3, V4L2_CID_SATURATION, 0},
    {4, V4L2_CID_SHARPNESS, 0},
    {5, V4L2_CID_GAMMA, 0},
    {7, V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE},
    {8, V4L2_CID_BACKLIGHT_COMPENSATION, 0},
    {9, V4L2_CID_GAIN, V4L2_CID_AUTOGAIN},
    {13, V4L2_CID_POWER_LINE_FREQUENCY, 0},
    // 6 (colour enable) has no V4L2 control
};

constexpr ControlMap kCameraControl[] = {
    {0, V4L2_CID_PAN_ABSOLUTE, 0},
    {1, V4L2_CID_TILT_ABSOLUTE, 0},
    {3, V4L2_CID_ZOOM_ABSOLUTE, 0},
    {4, V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO},
    {5, V4L2_CID_IRIS_ABSOLUTE, 0},
    {6, V4L2_CID_FOCUS_ABSOLUTE, V4L2_CID_FOCUS_AUTO},
    {19, V4L2_CID_EXPOSURE_AUTO_PRIORITY, 0},
    // 2 (roll) has no V4L2 control
};

const ControlMap* find(ControlFamily family, std::int32_t property) {
    if (family == ControlFamily::ProcAmp) {
        for (const auto& m : kProcAmp)
            if (m.property == property) return &m;
    } else {
        for (const auto& m : kCameraControl)
            if (m.property == property) return &m;
    }
    return nullptr;
}

// 0 with the control's description, or -errno (a disabled control counts as absent)
int queryControl(CLinuxCameraSession& s, int fd, std::uint32_t cid, v4l2_queryctrl* q) {
    *q = v4l2_queryctrl{};
    q->id = cid;
    const int rc = s.io().Ioctl(fd, VIDIOC_QUERYCTRL, q);
    if (rc != 0) return rc;
    return (q->flags & V4L2_CTRL_FLAG_DISABLED) ? -EINVAL : 0;
}

int getControl(CLinuxCameraSession& s, int fd, std::uint32_t cid, std::int32_t* value) {
    v4l2_control c{};
    c.id = cid;
    const int rc = s.io().Ioctl(fd, VIDIOC_G_CTRL, &c);
    if (rc == 0) *value = c.value;
    return rc;
}

bool isAuto(std::uint32_t autoCid, std::int32_t value) {
    // exposure's menu: manual is one of four modes; the other automatic switches are booleans
    if (autoCid == V4L2_CID_EXPOSURE_AUTO) return value != V4L2_EXPOSURE_MANUAL;
    return value != 0;
}

constexpr HRESULT kPropIdUnsupported = hresultFromError(ERROR_NOT_FOUND);

}  // namespace

HRESULT CV4l2ControlValues::GetRange(std::int32_t property, std::int32_t* min, std::int32_t* max, std::int32_t* step,
                                     std::int32_t* defaultValue, std::int32_t* flags) {
    if (!min || !max || !step || !defaultValue || !flags) return E_POINTER;
    const ControlMap* map = find(m_family, property);
    if (!map) return kPropIdUnsupported;
    const int fd = m_session->Fd();
    if (fd < 0) return hresultFromError(openErrnoToError(-fd));
    v4l2_queryctrl q;
    if (const int rc = queryControl(*m_session, fd, map->cid, &q)) return hresultFromError(ioctlErrnoToError(-rc));
    *min = q.minimum;
    *max = q.maximum;
    *step = q.step;
    *defaultValue = q.default_value;
    v4l2_queryctrl qa;
    *flags = kControlFlagsManual;
    if (map->autoCid && queryControl(*m_session, fd, map->autoCid, &qa) == 0) *flags |= kControlFlagsAuto;
    return S_OK;
}

HRESULT CV4l2ControlValues::Get(std::int32_t property, std::int32_t* value, std::int32_t* flags) {
    if (!value || !flags) return E_POINTER;
    const ControlMap* map = find(m_family, property);
    if (!map) return kPropIdUnsupported;
    const int fd = m_session->Fd();
    if (fd < 0) return hresultFromError(openErrnoToError(-fd));
    std::int32_t v = 0;
    if (const int rc = getControl(*m_session, fd, map->cid, &v)) return hresultFromError(ioctlErrnoToError(-rc));
    std::int32_t automatic = 0;
    *value = v;
    *flags =
        (map->autoCid && getControl(*m_session, fd, map->autoCid, &automatic) == 0 && isAuto(map->autoCid, automatic))
            ? kControlFlagsAuto
            : kControlFlagsManual;
    return S_OK;
}

}  // namespace lumo::os::linuxworld
