// The console front end on the stand-in of the library: its exit codes, the result lines, and
// the operator's keys while a run is on.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "tests/tool/FakeFixture.h"
#include "tool/console/ConsoleFrontEnd.h"

namespace lumo::tool::test {
namespace {

using fake::Camera;
using fake::Sdk;

// The front end on its own thread, its keys through a pipe and its output collected.
class Console : public ToolFake {
protected:
    void TearDown() override {
        if (m_keys) std::fclose(m_keys);
        if (m_front.valid()) m_front.wait();
        if (m_reader.joinable()) m_reader.join();
        ToolFake::TearDown();
    }

    void start(bool run) {
        int in[2], out[2];
        ASSERT_EQ(::pipe(in), 0);
        ASSERT_EQ(::pipe(out), 0);
        m_keys = ::fdopen(in[1], "w");
        std::FILE* keysIn = ::fdopen(in[0], "r");
        std::FILE* screen = ::fdopen(out[1], "w");
        const int outRead = out[0];
        m_reader = std::thread([this, outRead] {
            char buf[4096];
            for (ssize_t n; (n = ::read(outRead, buf, sizeof buf)) > 0;) {
                std::lock_guard lock(m_mutex);
                m_output.append(buf, static_cast<std::size_t>(n));
            }
            ::close(outRead);
        });
        ConsoleOptions options;
        options.run = run;
        options.modulePath = programPath();
        m_front = std::async(std::launch::async, [options, keysIn, screen] {
            const int code = RunConsoleFrontEnd(options, keysIn, screen, false);
            std::fclose(screen);  // the reader sees the end; keysIn stays with the detached key reader
            return code;
        });
    }
    void key(const char* line) {
        std::fputs(line, m_keys);
        std::fflush(m_keys);
    }
    void closeKeys() {
        std::fclose(m_keys);
        m_keys = nullptr;
    }
    int exitCode() {
        if (m_front.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
            ADD_FAILURE() << "the front end did not end";
            Sdk::get().holdWrites = false;
        }
        const int code = m_front.get();
        m_reader.join();
        return code;
    }
    std::string output() {
        std::lock_guard lock(m_mutex);
        return m_output;
    }
    bool waitForOutput(const std::string& text) {
        for (int i = 0; i < 6000; ++i) {
            if (output().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    std::FILE* m_keys = nullptr;
    std::future<int> m_front;
    std::thread m_reader;
    std::mutex m_mutex;
    std::string m_output;
};

struct ExitCase {
    const char* name;
    bool loadOk;
    int failWriteAt;
    const char* ini;
    int code;
    const char* line;
};

TEST_F(Console, RunExitsWithTheRunsCode) {
    const ExitCase cases[] = {
        {"ok", true, -1, "", 0, "Run result: Upgrade OK, 2 of 2 cameras OK"},
        {"fail", true, 0x0040, "", 1, "Run result: Upgrade FW Fail, 1 of 2 cameras failed"},
        {"load-refused", false, -1, "", 2, "Run refused: nothing was written."},
        {"count-refused", true, -1, "ExpectedCount=3\n", 2, "ERROR: LumoMP: ExpectedCount is 3, but 2 cameras"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sdk::get().reset();
        m_output.clear();
        Sdk::get().addCamera(cam());
        Camera second = cam();
        second.failWriteAt = c.failWriteAt;
        Sdk::get().addCamera(second);
        Sdk::get().setImage(makeImage(4096), c.loadOk);
        writeIni(std::string("[SETTING]\n") + c.ini);
        start(true);
        EXPECT_EQ(exitCode(), c.code);
        EXPECT_NE(output().find(c.line), std::string::npos) << output();
        if (c.code != 2) {
            EXPECT_NE(output().find("camera 0   1234:5678  TV5640    whole erase  OK"), std::string::npos) << output();
        }
        closeKeys();
        m_front = {};
    }
}

TEST_F(Console, EnterDuringARunOnlySaysThatTheRunIsInProgress) {
    Sdk::get().addCamera(cam());
    Sdk::get().setImage(makeImage(4096));
    Sdk::get().holdWrites = true;
    start(true);
    ASSERT_TRUE(waitForOutput("Status: Upgrade FW"));
    key("\n");
    ASSERT_TRUE(waitForOutput("A run is in progress"));
    Sdk::get().holdWrites = false;
    EXPECT_EQ(exitCode(), 0);
    EXPECT_NE(output().find("Run result: Upgrade OK"), std::string::npos) << output();
    EXPECT_EQ(output().find("not available"), std::string::npos) << output();
}

TEST_F(Console, QDuringARunWaitsForItsEndAndExitsWithItsCode) {
    for (bool run : {true, false}) {
        SCOPED_TRACE(run ? "--run" : "keys");
        Sdk::get().reset();
        m_output.clear();
        Camera bad = cam();
        bad.failWriteAt = 0x0100;
        Sdk::get().addCamera(bad);
        Sdk::get().setImage(makeImage(4096));
        Sdk::get().holdWrites = true;
        start(run);
        if (!run) {
            ASSERT_TRUE(waitForOutput("Upgrade FW: ready"));
            key("\n");
        }
        ASSERT_TRUE(waitForOutput("Status: Upgrade FW"));
        key("q\n");
        ASSERT_TRUE(waitForOutput("waiting for the run to end"));
        Sdk::get().holdWrites = false;
        EXPECT_EQ(exitCode(), 1);
        EXPECT_NE(output().find("Run result: Upgrade FW Fail"), std::string::npos) << output();
        EXPECT_NE(output().find("write failed at 0x0100"), std::string::npos) << output();
        closeKeys();
        m_front = {};
    }
}

TEST_F(Console, ClosingWithoutAClickExitsZero) {
    Sdk::get().addCamera(cam());
    start(false);
    ASSERT_TRUE(waitForOutput("MPtool Ready"));
    key("q\n");
    EXPECT_EQ(exitCode(), 0);
}

}  // namespace
}  // namespace lumo::tool::test
