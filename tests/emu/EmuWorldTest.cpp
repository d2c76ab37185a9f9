// The world: plug and unplug notices, faults, line files and ROM backing files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>

#include "platform/emu/EmuLineFollower.h"
#include "tests/emu/EmuTestClient.h"

namespace lumo::os::emu::test {
namespace {

using EmuWorldT = EmuFixture;

struct Notice {
    std::uint32_t type;
    Guid cls;
    std::wstring name;
};

TEST_F(EmuWorldT, PlugAndUnplugNoticeEveryInterface) {
    std::vector<Notice> seen;
    std::uint32_t err = 0;
    DeviceInterfaceNotice all;
    const auto h = world->RegisterDeviceNotification(
        [&](std::uint32_t t, const DeviceInterfaceNotice& n) {
            seen.push_back({t, n.classGuid, n.name});
        },
        all, DEVICE_NOTIFY_ALL_INTERFACE_CLASSES, &err);
    DeviceInterfaceNotice only;
    only.classGuid = guids::kVideoCaptureInterfaceClass;
    int capture = 0;
    world->RegisterDeviceNotification([&](std::uint32_t, const DeviceInterfaceNotice&) { ++capture; }, only, 0, &err);
    add(CameraConfig{});
    world->unplug(0);
    world->settle();
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(capture, 2);
    EXPECT_EQ(seen[0].type, DBT_DEVICEARRIVAL);
    EXPECT_EQ(seen[3].type, DBT_DEVICEREMOVECOMPLETE);
    std::wstring upperName = seen[0].name;
    for (auto& c : upperName) c = static_cast<wchar_t>(std::towupper(c));
    EXPECT_EQ(upperName, cam().devicePath());
    Bytes hw(1);
    EXPECT_FALSE(client().get(0x0A, hw));
    EXPECT_EQ(client().lastError(), ERROR_DEVICE_NOT_CONNECTED);
    std::shared_ptr<IEnumMoniker> e;
    EXPECT_EQ(world->CreateClassEnumerator(guids::kVideoInputDeviceCategory, &e), S_FALSE);
    EXPECT_TRUE(world->UnregisterDeviceNotification(h, &err));
    world->plug(0);
    world->settle();
    EXPECT_EQ(seen.size(), 6u);
    EXPECT_EQ(capture, 3);
}

TEST_F(EmuWorldT, FaultsDoWhatTheySay) {
    add(CameraConfig{});
    Bytes hw(1);
    Faults f;
    f.failRequest = cam().requestCount() + 2;
    f.failSelector = 0x0C;
    cam().setFaults(f);
    EXPECT_TRUE(client().get(0x0A, hw));
    EXPECT_FALSE(client().get(0x0A, hw));
    EXPECT_TRUE(client().get(0x0A, hw));
    Bytes sf(12);
    EXPECT_FALSE(client().get(0x0C, sf));
    f = {};
    f.vanishAtRequest = cam().requestCount() + 1;
    cam().setFaults(f);
    EXPECT_FALSE(client().get(0x0A, hw));
    EXPECT_FALSE(cam().present());
    EXPECT_FALSE(client().get(0x0A, hw));
}

TEST_F(EmuWorldT, FlashBusyForeverFailsRomRequests) {
    add(CameraConfig{});
    Faults f;
    f.flashBusyForever = true;
    cam().setFaults(f);
    EXPECT_EQ(client().spiStatus() & 1, 1);
    Bytes b;
    EXPECT_FALSE(client().read(0x03, 0, 8, &b));
}

TEST_F(EmuWorldT, UntouchedCameraKeepsItsRom) {
    CameraConfig c;
    c.image.resize(0x10000);
    for (std::size_t i = 0; i < c.image.size(); ++i) c.image[i] = static_cast<std::uint8_t>(i * 13 + 1);
    add(c);
    add(CameraConfig{});
    // traffic to the other camera and identification-style reads on this one
    ASSERT_TRUE(client(1).romChunk(0, Bytes(32, 0), true));
    Bytes b;
    ASSERT_TRUE(client(0).read(0x03, 0x40, 24, &b));
    Bytes fw(11);
    ASSERT_TRUE(client(0).get(0x0D, fw));
    EXPECT_EQ(cam(0).rom(), c.image);
}

class LineFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir =
            std::filesystem::temp_directory_path() / ("lumo-emu-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string write(const std::string& text) {
        const auto p = dir / "line.ini";
        std::ofstream(p) << text;
        return p.string();
    }
    std::filesystem::path dir;
};

TEST_F(LineFile, DescribesCamerasInPlugOrderWithBackedRoms) {
    {
        std::ofstream img(dir / "fw.bin", std::ios::binary);
        img << "HELLO";
    }
    const std::string path = write(
        "; two cameras\n[line]\nromdir = roms\n\n[camera 1]\nchip = QT7421\nctrl = none\nrom = spi:WINBOND W25X10CL\n"
        "driver = class\nimage = fw.bin\n\n[camera 2]\nchip = QT7233\nctrl = XU,EM\nrom = eeprom:4096\n"
        "driver = maker\nvid = 0x1234\npid = 0x5678\nlatency_us = 0\n");
    std::string error;
    {
        auto w = loadLineFile(path, &error);
        ASSERT_TRUE(w) << error;
        ASSERT_EQ(w->cameraCount(), 2u);
        EXPECT_EQ(w->camera(0).config().name, "camera 1");
        EXPECT_EQ(w->camera(0).rom()[0], 'H');
        EXPECT_EQ(w->camera(1).config().driver, DriverMode::Maker);
        EXPECT_EQ(w->camera(1).romSize(), 4096u);
        EXPECT_TRUE(w->camera(1).config().xu && w->camera(1).config().em);
        w->camera(0).writeRom(0, {'J'});
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "roms" / "camera-1.rom"));
    auto again = loadLineFile(path, &error);
    ASSERT_TRUE(again) << error;
    EXPECT_EQ(again->camera(0).rom()[0], 'J') << "the next run sees the same ROM";
}

TEST_F(LineFile, FollowingTheFileDiffsCameraSections) {
    auto path = write("[camera a]\n[camera b]\n");
    std::string error;
    auto w = loadLineFile(path, &error);
    ASSERT_TRUE(w) << error;
    LineDescription line;
    ASSERT_TRUE(parseLineFile(write("[camera b]\n[camera c]\n"), &line, &error)) << error;
    followLine(*w, line);
    ASSERT_EQ(w->cameraCount(), 3u);
    EXPECT_FALSE(w->camera(0).present());
    EXPECT_TRUE(w->camera(1).present());
    EXPECT_EQ(w->camera(2).config().name, "camera c");
    ASSERT_TRUE(parseLineFile(write("[camera a]\n"), &line, &error)) << error;
    followLine(*w, line);
    EXPECT_TRUE(w->camera(0).present());
    EXPECT_FALSE(w->camera(1).present());
}

TEST_F(LineFile, ARunningWorldFollowsItsFileWithNotices) {
    auto path = write("[camera a]\n");
    std::string error;
    auto loaded = loadLineFile(path, &error);
    ASSERT_TRUE(loaded) << error;
    EmuLineFollower line(loaded, path);
    std::vector<std::uint32_t> events;
    std::uint32_t err = 0;
    line.RegisterDeviceNotification(
        [&](std::uint32_t t, const DeviceInterfaceNotice& n) {
            if (n.classGuid == guids::kVideoCaptureInterfaceClass) events.push_back(t);
        },
        DeviceInterfaceNotice{}, DEVICE_NOTIFY_ALL_INTERFACE_CLASSES, &err);
    loaded->settle();
    events.clear();

    write("[camera a]\n[camera b]\n");
    line.poll();
    loaded->settle();
    EXPECT_EQ(events, std::vector<std::uint32_t>{DBT_DEVICEARRIVAL}) << "a section added is a plug";
    ASSERT_EQ(loaded->cameraCount(), 2u);

    write("[camera a]\nchip = QT9999\n");
    line.poll();
    loaded->settle();
    EXPECT_EQ(events.size(), 1u) << "a file that does not parse keeps the line";
    EXPECT_TRUE(loaded->camera(1).present());

    write("[camera b]\n");
    line.poll();
    loaded->settle();
    EXPECT_EQ(events, (std::vector<std::uint32_t>{DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE}));
    EXPECT_FALSE(loaded->camera(0).present()) << "a section removed is an unplug";
}

TEST_F(LineFile, ErrorsNameFileAndLine) {
    struct Case {
        const char* text;
        const char* where;
    } cases[] = {
        {"[camera 1]\nchip = QT9999\n", ":2: "},
        {"[camera 1]\nchip = QT7421\ncolour = red\n", ":3: "},
        {"[camera 1]\nrom = eeprom:1000\n", ":2: "},
        {"[camera 1]\nrom = spi:NOBODY X1\n", ":2: "},
        {"[camera 1]\nctrl = XY\n", ":2: "},
        {"[camera 1]\ndriver = fancy\n", ":2: "},
        {"[camera 1]\nvid = 0x10000\n", ":2: "},
        {"[line]\nromdir = r\nfoo = 1\n", ":3: "},
        {"[cam]\n", ":1: "},
        {"[camera 1]\n[camera 1]\n", ":2: "},
        {"[camera 1]\nimage = missing.bin\n", ":2: "},
    };
    for (const auto& c : cases) {
        std::string error;
        const std::string path = write(c.text);
        EXPECT_EQ(loadLineFile(path, &error), nullptr) << c.text;
        EXPECT_EQ(error.rfind(path, 0), 0u) << error;
        EXPECT_NE(error.find(c.where), std::string::npos) << error;
    }
}

TEST_F(LineFile, ImageIsABoundedRegularFile) {
    // Each would hang the load (a FIFO without writer, an endless device), exhaust memory or
    // pass as an empty image (a folder).
    ASSERT_EQ(::mkfifo((dir / "pipe.bin").c_str(), 0600), 0);
    std::filesystem::create_directories(dir / "folder.bin");
    { std::ofstream touch(dir / "huge.bin"); }
    std::filesystem::resize_file(dir / "huge.bin", (16u << 20) + 1);  // sparse: costs no disk
    for (const char* image : {"pipe.bin", "/dev/zero", "folder.bin", "huge.bin"}) {
        std::string error;
        const std::string path = write(std::string("[camera 1]\nimage = ") + image + "\n");
        EXPECT_EQ(loadLineFile(path, &error), nullptr) << image;
        EXPECT_NE(error.find(":2: "), std::string::npos) << error;
    }
}

TEST_F(LineFile, TheLineFileItselfIsARegularFile) {
    // A FIFO named as the line file would block the load until a writer came.
    ASSERT_EQ(::mkfifo((dir / "line.fifo").c_str(), 0600), 0);
    for (const std::string& path : {(dir / "line.fifo").string(), std::string("/dev/zero"), dir.string()}) {
        std::string error;
        auto load = std::async(std::launch::async, [&] { return loadLineFile(path, &error) == nullptr; });
        if (load.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            // Become the FIFO's writer so that the test fails instead of hanging.
            const int fd = ::open((dir / "line.fifo").c_str(), O_WRONLY | O_NONBLOCK);
            load.wait();
            if (fd >= 0) ::close(fd);
            ADD_FAILURE() << "the load blocked on " << path;
            continue;
        }
        EXPECT_TRUE(load.get()) << path;
        EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    }
}

TEST_F(LineFile, SampleLineLoads) {
    std::string error;
    // a copy, so the ROM files land in the test's folder
    const auto sample = (dir / "line4.ini").string();
    std::filesystem::copy_file(std::string(LUMO_SOURCE_DIR) + "/samples/line4.ini", sample);
    auto w = loadLineFile(sample, &error);
    ASSERT_TRUE(w) << error;
    EXPECT_EQ(w->cameraCount(), 4u);
    EXPECT_EQ(w->camera(0).romSize(), 0x10000u);
}

}  // namespace
}  // namespace lumo::os::emu::test
