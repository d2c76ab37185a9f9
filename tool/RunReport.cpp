#include "tool/RunReport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "tool/ResultText.h"

namespace lumo::tool {
namespace {

std::string hex4(unsigned v) {
    char s[16];
    std::snprintf(s, sizeof s, "%04X", v & 0xFFFFu);
    return s;
}

std::string localDateTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char s[32] = "";
    if (::localtime_r(&now, &local) != nullptr) std::strftime(s, sizeof s, "%Y-%m-%d %H:%M:%S", &local);
    return s;
}

std::string hostName() {
    char name[256] = "";
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

// One write() of the whole text on an append-mode descriptor.
bool writeWhole(int fd, const std::string& text, std::string* error) {
    ssize_t n;
    do {
        n = ::write(fd, text.data(), text.size());
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(text.size())) return true;
    if (error) *error = n < 0 ? std::strerror(errno) : "short write";
    return false;
}

}  // namespace

void CRunReport::SetPath(std::string path) {
    std::lock_guard lock(m_mutex);
    m_path = std::move(path);
}

std::string CRunReport::Field(const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string CRunReport::HeaderLine() {
    return "date_time,host,image,image_length,image_crc16,camera,vid_pid,release,part_no,rom_type,rom_size,plan,"
           "result,reason,first_bad_address,seconds";
}

std::string CRunReport::Line(const std::string& dateTime, const std::string& host, const MP_IMAGE_INFO& image,
                             const MP_CAMERA_RESULT& c) {
    const std::vector<std::string> fields = {
        dateTime,
        host,
        image.szName,
        std::to_string(image.dwLength),
        "0x" + hex4(image.wCrc16),
        std::to_string(c.bDevIdx),
        hex4(c.wVid) + ":" + hex4(c.wPid),
        hex4(c.wBcdDevice),
        c.szPartNo,
        RomTypeText(c.dwRomSize),
        std::to_string(c.dwRomSize),
        c.szPlan,
        OutcomeText(c.eOutcome),
        c.szReason,
        c.dwBadAddr ? "0x" + hex4(*c.dwBadAddr) : std::string(),
        ResultSeconds(c),
    };
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "," : "") + Field(fields[i]);
    return line;
}

bool CRunReport::Append(const MP_IMAGE_INFO& image, const MP_CAMERA_RESULT& camera, std::string* error) {
    const std::string line = Line(localDateTime(), hostName(), image, camera) + "\n";
    std::lock_guard lock(m_mutex);
    const int fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) *error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok && error) *error = std::strerror(errno);
    if (ok && st.st_size == 0) ok = writeWhole(fd, HeaderLine() + "\n", error);
    if (ok) ok = writeWhole(fd, line, error);
    if (::close(fd) != 0 && ok) {
        if (error) *error = std::strerror(errno);
        ok = false;
    }
    return ok;
}

}  // namespace lumo::tool
