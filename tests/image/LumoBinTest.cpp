#include "sdk/image/LumoBin.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A scratch directory with image files, and a loader whose reference camera the test sets.
class LumoBinTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("lumobin-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
        m_buffer.assign(kMaxBinFileSize + 16, 0xAA);
    }
    void TearDown() override {
        lumo::os::installOpenFileChooser(nullptr);
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    // An image of `size` bytes (byte i = i & 0x7F, never 0) with `sig` at 0x40.
    std::wstring makeFile(const std::string& name, std::size_t size, const std::string& sig = "AB") {
        std::vector<char> bytes(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i & 0x7F) | 1);
        for (std::size_t i = 0; i < sig.size() && kBinSignatureOffset + i < size; ++i)
            bytes[kBinSignatureOffset + i] = sig[i];
        std::ofstream(m_dir / name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
        return (m_dir / name).wstring();
    }

    CLumoBin makeLoader() {
        return CLumoBin([this]() -> std::optional<std::string> {
            ++m_sourceCalls;
            return m_camera;
        });
    }

    fs::path m_dir;
    std::vector<std::uint8_t> m_buffer;
    std::optional<std::string> m_camera;  // nothing: no camera registered
    int m_sourceCalls = 0;
};

struct SizeCase {
    std::size_t size;
    int skip;
    bool camera;
    int expected;
};

// The size rules with and without the skip flag; the signature matches whenever tested.
TEST_F(LumoBinTest, SizeRules) {
    const SizeCase cases[] = {
        {0, 0, false, 1},     {0, 1, false, 1},     {0, 0, true, 0},  // nothing at 0x40 to compare
        {512, 0, true, 1},    {1000, 0, false, 0},  {1000, 1, true, 1},   {65536, 0, true, 1},
        {65537, 1, false, 0}, {65537, 0, false, 0}, {66048, 0, false, 0},  // a multiple of 512 above the limit
    };
    for (const auto& c : cases) {
        m_camera = c.camera ? std::optional<std::string>("AB") : std::nullopt;
        CLumoBin bin([this] { return m_camera; });
        const std::wstring path = makeFile("img" + std::to_string(c.size) + ".bin", c.size);
        EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), path.c_str(), c.skip), c.expected)
            << "size " << c.size << " skip " << c.skip << " camera " << c.camera;
        if (c.expected == 1) {
            EXPECT_EQ(bin.GetBytesRead(), c.size);
            EXPECT_EQ(m_buffer[c.size], 0xAA) << "wrote past the file's length";
            if (c.size > 0) {
                EXPECT_EQ(m_buffer[c.size - 1], static_cast<std::uint8_t>(((c.size - 1) & 0x7F) | 1));
            }
        }
    }
}

struct NameCase {
    const wchar_t* name;  // created in the scratch directory unless null
    int expected;
};

TEST_F(LumoBinTest, NameRules) {
    auto bin = makeLoader();
    const NameCase cases[] = {
        {L"image.bin", 1}, {L"IMAGE.BIN", 1}, {L"image.bin.old", 1}, {L"image.Bin", 0}, {L"image.img", 0},
    };
    for (const auto& c : cases) {
        const std::wstring path = makeFile(fs::path(c.name).string(), 512);
        EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), path.c_str(), 0), c.expected) << fs::path(c.name);
    }
    EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), L"", 0), 0);
    EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), nullptr, 0), 0);
    EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), (m_dir / "missing.bin").wstring().c_str(), 0), 0);
}

TEST_F(LumoBinTest, PathThatCannotBeOpenedAsAnImage) {
    auto bin = makeLoader();
    fs::create_directories(m_dir / "folder.bin");
    EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), (m_dir / "folder.bin").wstring().c_str(), 1), 0);
    ASSERT_EQ(::mkfifo((m_dir / "pipe.bin").c_str(), 0600), 0);
    EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), (m_dir / "pipe.bin").wstring().c_str(), 1), 0);
    const std::wstring tooLong = (m_dir / (std::string(300, 'x') + ".bin")).wstring();
    EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), tooLong.c_str(), 1), 0);
    EXPECT_EQ(bin.LoadBinFileFromPath(nullptr, makeFile("a.bin", 512).c_str(), 1), 0);
}

TEST_F(LumoBinTest, FileHeldByAnotherProgramIsRefused) {
    auto bin = makeLoader();
    const std::wstring path = makeFile("held.bin", 512);
    int fd = ::open((m_dir / "held.bin").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_SH), 0);
    EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), path.c_str(), 0), 0);
    ::close(fd);
    EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), path.c_str(), 0), 1);
    // The loader let go of its own lock on the way out.
    fd = ::open((m_dir / "held.bin").c_str(), O_RDONLY);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

// A file system without locks cannot tell whether the file is held: the image is read
// without the lock. A lock that someone else holds still refuses it.
TEST_F(LumoBinTest, FileSystemWithoutLocksIsReadWithoutTheLock) {
    struct Case {
        int error;
        int expected;
    };
    static int s_error = 0;
    CBinFile::SetLockFunction([](int, int) {
        errno = s_error;
        return -1;
    });
    const std::wstring path = makeFile("nfs.bin", 512);
    for (const Case& c : {Case{ENOLCK, 1}, Case{EBADF, 1}, Case{EWOULDBLOCK, 0}}) {
        s_error = c.error;
        auto bin = makeLoader();
        std::fill(m_buffer.begin(), m_buffer.end(), 0xAA);
        EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), path.c_str(), 1), c.expected) << "errno " << c.error;
        if (c.expected == 1) {
            EXPECT_EQ(bin.GetBytesRead(), 512u);
            EXPECT_EQ(m_buffer[0x10], 0x11);  // the file's bytes, not the fill
        }
    }
    CBinFile::SetLockFunction(nullptr);
}

TEST_F(LumoBinTest, HugeFileIsNotTakenForItsLow32Bits) {
    auto bin = makeLoader();
    const fs::path p = m_dir / "huge.bin";
    { std::ofstream(p, std::ios::binary).put('x'); }
    std::error_code ec;
    fs::resize_file(p, (std::uint64_t{1} << 32) + 512, ec);
    if (ec) GTEST_SKIP() << "no sparse files here";
    EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), p.wstring().c_str(), 0), 0);
    EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), p.wstring().c_str(), 1), 0);
}

struct SignatureCase {
    const char* fileSig;
    std::optional<std::string> camera;
    int skip;
    int expected;
};

TEST_F(LumoBinTest, SignatureAgainstTheReferenceCamera) {
    const SignatureCase cases[] = {
        {"AB", "AB", 0, 1},         {"CD", "AB", 0, 0}, {"CD", "AB", 1, 1},
        {"CD", std::nullopt, 0, 1}, {"AB", "A", 0, 1},  // the camera's text is looked for inside the two characters
        {"AB", "", 0, 1},           {"A", "AB", 0, 0},
    };
    for (const auto& c : cases) {
        m_camera = c.camera;
        m_sourceCalls = 0;
        auto bin = makeLoader();
        std::string sig = c.fileSig;
        if (sig.size() == 1) sig += '\0';
        const std::wstring path = makeFile("sig.bin", 1024, sig);
        EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), path.c_str(), c.skip), c.expected)
            << c.fileSig << " vs " << c.camera.value_or("(none)");
        // Bytes read holds the length even when the signature test failed.
        EXPECT_EQ(bin.GetBytesRead(), 1024u);
        if (c.skip) {
            EXPECT_EQ(m_sourceCalls, 0) << "skip flag still consulted the camera";
        }
    }
}

TEST_F(LumoBinTest, BytesReadKeepsItsValueWhenALoadFailsBeforeReading) {
    auto bin = makeLoader();
    ASSERT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), makeFile("a.bin", 1536).c_str(), 0), 1);
    EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), makeFile("b.bin", 1000).c_str(), 0), 0);
    EXPECT_EQ(bin.LoadBinFileFromPath(m_buffer.data(), L"none.txt", 0), 0);
    EXPECT_EQ(bin.GetBytesRead(), 1536u);
}

TEST_F(LumoBinTest, DialogLoadOffersTheLastChosenPath) {
    auto bin = makeLoader();
    m_camera = "AB";
    const std::wstring good = makeFile("pick.bin", 2048);
    std::vector<std::wstring> offered;
    std::vector<std::wstring> answers{good, L"", (m_dir / "gone.bin").wstring()};
    std::size_t call = 0;
    lumo::os::installOpenFileChooser(
        [&](const std::wstring& initial, const lumo::os::OpenFileName& ofn, std::wstring* chosen) {
            offered.push_back(initial);
            EXPECT_EQ(ofn.lpstrFilter.size(), 1u);
            EXPECT_EQ(ofn.lpstrFilter.at(0).first, L"Bin");
            EXPECT_EQ(ofn.lpstrFilter.at(0).second, L"*.bin");
            EXPECT_EQ(ofn.nMaxFile, 260u);
            const std::wstring answer = answers.at(call++);
            if (answer.empty()) return false;  // cancelled
            *chosen = answer;
            return true;
        });
    EXPECT_EQ(bin.LoadBinFile(m_buffer.data(), 0), 1);
    EXPECT_EQ(bin.GetBytesRead(), 2048u);
    EXPECT_EQ(m_buffer[2048], 0xAA);
    EXPECT_EQ(bin.LoadBinFile(m_buffer.data(), 0), 0);  // cancelled
    EXPECT_EQ(bin.LoadBinFile(m_buffer.data(), 0), 0);  // chosen file cannot be opened
    ASSERT_EQ(offered.size(), 3u);
    EXPECT_EQ(offered[0], L"");
    EXPECT_EQ(offered[1], good);
    EXPECT_EQ(offered[2], good);
}

TEST_F(LumoBinTest, DialogLoadAppliesTheSameRules) {
    auto bin = makeLoader();
    m_camera = "AB";
    std::wstring next;
    lumo::os::installOpenFileChooser([&](const std::wstring&, const lumo::os::OpenFileName&, std::wstring* chosen) {
        *chosen = next;
        return true;
    });
    next = makeFile("odd.bin", 1000);
    EXPECT_EQ(bin.LoadBinFile(m_buffer.data(), 0), 0);
    EXPECT_EQ(bin.LoadBinFile(m_buffer.data(), 1), 1);
    next = makeFile("big.bin", 65537);
    EXPECT_EQ(bin.LoadBinFile(m_buffer.data(), 1), 0);
    next = makeFile("other.bin", 512, "CD");
    EXPECT_EQ(bin.LoadBinFile(m_buffer.data(), 0), 0);
    EXPECT_EQ(bin.GetBytesRead(), 512u);
    // The dialog may return any name; only the path form tests it.
    next = makeFile("image.img", 512);
    EXPECT_EQ(bin.LoadBinFile(m_buffer.data(), 0), 1);
    // A chosen path longer than the dialog's buffer is not accepted.
    next = std::wstring(300, L'y');
    EXPECT_EQ(bin.LoadBinFile(m_buffer.data(), 0), 0);
}

TEST_F(LumoBinTest, DialogWithoutAnyChooserCancels) {
    // Standard input of a test run is not a terminal and the test has no display.
    if (::isatty(STDIN_FILENO)) GTEST_SKIP() << "interactive run";
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    auto bin = makeLoader();
    EXPECT_EQ(bin.LoadBinFile(m_buffer.data(), 1), 0);
}

}  // namespace
