// The window thread's queue: calls from other threads are served while the window thread
// waits, posted tasks are not.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tool/WindowThread.h"

namespace lumo::tool {
namespace {

TEST(WindowThread, ServeCallsUntilServesCallsButLeavesPostedTasks) {
    CWindowThread wt;
    std::atomic<bool> done{false};
    int served = 0, posted = 0;
    wt.Post([&] { ++posted; });
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) wt.Call([&] { ++served; });
        done = true;
        wt.Wake();
    });
    wt.ServeCallsUntil([&] { return done.load(); });
    worker.join();
    EXPECT_EQ(served, 3);
    EXPECT_EQ(posted, 0);
    EXPECT_TRUE(wt.PumpPending());
    EXPECT_EQ(posted, 1);
}

TEST(WindowThread, CallOnTheWindowThreadRunsAtOnceAndRunEndsOnQuit) {
    CWindowThread wt;
    int n = 0;
    wt.Call([&] { ++n; });
    EXPECT_EQ(n, 1);
    std::thread other([&] {
        wt.Call([&] { ++n; });
        wt.Post([&] { wt.Quit(); });
    });
    wt.Run();
    other.join();
    EXPECT_EQ(n, 2);
}

}  // namespace
}  // namespace lumo::tool
