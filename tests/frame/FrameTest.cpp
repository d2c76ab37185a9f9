#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sdk/ExportFrame.h"
#include "sdk/LumoCtrl.h"
#include "sdk/LumoSDK.h"

using namespace lumo::frame;

namespace {

struct FakeDev {
    std::uint8_t m_bH264Support = 0;
};

struct Case {
    const char* name;
    std::int32_t count;
    std::size_t devices;
    std::uint8_t index;
    std::uint32_t length;
    std::uint8_t h264;
    bool passes;
};

template <unsigned Checks>
void runCases(const std::vector<Case>& cases) {
    for (const auto& c : cases) {
        std::vector<FakeDev> store(c.devices);
        std::vector<FakeDev*> devs;
        for (auto& d : store) {
            d.m_bH264Support = c.h264;
            devs.push_back(&d);
        }
        FakeDev* got = checkedDevice<Checks>(devs, c.count, c.index, c.length);
        EXPECT_EQ(got != nullptr, c.passes) << c.name;
        if (got != nullptr) {
            EXPECT_EQ(got, devs[c.index]) << c.name;
        }
    }
}

}  // namespace

TEST(ExportFrame, IndexChecks) {
    runCases<I>({
        {"no device", 0, 0, 0, 1, 0, false},
        {"first of one", 1, 1, 0, 1, 0, true},
        {"index equal to the count", 2, 2, 2, 1, 0, false},
        {"index 255 with one device", 1, 1, 255, 1, 0, false},
        {"last of 255", 255, 255, 254, 1, 0, true},
        {"count ahead of the array", 3, 1, 2, 1, 0, false},
        {"negative count", -1, 1, 0, 1, 0, false},
    });
}

TEST(ExportFrame, LengthAndH264ChecksInOrder) {
    runCases<I | L>({
        {"length 0", 1, 1, 0, 0, 1, false},
        {"length 1", 1, 1, 0, 1, 0, true},
    });
    runCases<I | H>({
        {"no H.264 unit", 1, 1, 0, 0, 0, false},
        {"H.264 unit", 1, 1, 0, 0, 1, true},
        {"bad index before the H.264 flag is read", 1, 1, 1, 0, 1, false},
    });
    runCases<I | L | H>({
        {"length before H.264", 1, 1, 0, 0, 1, false},
        {"all pass", 1, 1, 0, 4, 1, true},
    });
}

TEST(ExportFrame, EmptyRegistryRefusesEveryCall) {
    const CLumoCtrl& ctrl = CLumoCtrl::Instance();
    EXPECT_TRUE(ctrl.m_oDevs.empty());
    EXPECT_EQ(ctrl.m_nDevCount, 0);
    EXPECT_EQ(ctrl.m_hDevNotify, 0u);
    EXPECT_EQ(ctrl.m_nRefDevIdx, 0);
    int reached = 0;
    EXPECT_EQ(withDevice<I>(0, [&](CLumoDev&) { return ++reached; }), 0);
    EXPECT_EQ(withDevice<I | L>(0, 4, [&](CLumoDev&) { return ++reached; }), 0);
    EXPECT_EQ(withRegistry([&](CLumoCtrl&) { return ++reached; }), 0);
    EXPECT_EQ(reached, 0);

    std::uint8_t count = 7;
    TAVIX_GetDevCount(&count);
    EXPECT_EQ(count, 0);
    TAVIX_GetDevCount(nullptr);  // no crash
}

TEST(ProductVersion, OfTheLibraryFile) {
    std::wstring v = L"before";
    ASSERT_EQ(TAVIX_GetProductVersion(L"" LUMO_SDK_FILE, v), 1);
    EXPECT_EQ(v, L"v1.1.1000.0");
}

TEST(ProductVersion, MissingOrTruncatedLeavesTheString) {
    const std::string lib = LUMO_SDK_FILE;
    std::ifstream in(lib, std::ios::binary);
    const std::string image((std::istreambuf_iterator<char>(in)), {});
    const auto cut = std::filesystem::temp_directory_path() / "lumo-frame-cut.so";
    std::ofstream(cut, std::ios::binary) << image.substr(0, image.size() / 2);

    for (const std::wstring& path : {std::wstring(L"/no/such/file"), std::wstring(L"/bin/sh"), cut.wstring()}) {
        std::wstring v = L"before";
        EXPECT_EQ(TAVIX_GetProductVersion(path.c_str(), v), 0);
        EXPECT_EQ(v, L"before");
    }
    std::wstring v = L"before";
    EXPECT_EQ(TAVIX_GetProductVersion(nullptr, v), 0);
    std::filesystem::remove(cut);
}
