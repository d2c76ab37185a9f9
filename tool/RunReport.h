#pragma once
// The run report of a production line: one CSV line per camera and run, appended to a file
// beside the program. Each line goes to the file in one write on an append-mode descriptor,
// so a crash or a second writer never leaves half a line; the header is written once, when
// the file is new or empty.
#include <mutex>
#include <string>
#include <vector>

#include "tool/RunResult.h"

namespace lumo::tool {

// What the report says about the image of a run.
struct MP_IMAGE_INFO {
    std::string szName;  // file name of the image
    std::uint32_t dwLength = 0;
    std::uint16_t wCrc16 = 0;
};

class CRunReport {
public:
    static constexpr const char* kFileName = "LumoMP-results.csv";

    void SetPath(std::string path);
    const std::string& Path() const { return m_path; }

    // Appends the camera's line; false with the reason when it could not be written whole.
    bool Append(const MP_IMAGE_INFO& image, const MP_CAMERA_RESULT& camera, std::string* error);

    static std::string HeaderLine();
    // The line without its newline; the time and host are given.
    static std::string Line(const std::string& dateTime, const std::string& host, const MP_IMAGE_INFO& image,
                            const MP_CAMERA_RESULT& camera);
    // A CSV field: quoted, with its quotes doubled, when it holds a comma, a quote or a line break.
    static std::string Field(const std::string& value);

private:
    std::mutex m_mutex;  // one header, however many workers end at once
    std::string m_path;
};

}  // namespace lumo::tool
