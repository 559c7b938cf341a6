// The thread rule on the headless backend: worker calls run under the
// window's lock, end without effect once the window closes, never deadlock
// the close, and posted work never waits for the window.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "platform/ui_headless.h"
#include "ui_test_dialog.h"

namespace {

using ui::headless::Window;
using namespace uitest;
using namespace std::chrono_literals;

class HeadlessThreadTest : public ::testing::Test {
protected:
    void SetUp() override { ui::headless::resetSession(); }
    void TearDown() override { ui::headless::resetSession(); }
};

// Calls the window from a worker until the window refuses, for at most 10 s.
bool callUntilRefused(ui::Dialog& dialog, std::atomic<int>& succeeded) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!dialog.CallOnWindowThread([] {})) return true;
        ++succeeded;
        std::this_thread::sleep_for(100us);
    }
    return false;
}

TEST_F(HeadlessThreadTest, AWorkersCallsRunOnTheWorkerAndReachTheControls) {
    std::atomic<bool> workerSawWindowThread{true};
    std::atomic<bool> callRan{false};
    std::atomic<bool> done{false};
    TestDialog dlg;
    dlg.onInit = [&](TestDialog& d) {
        d.StartWorker([&] {
            workerSawWindowThread = d.IsWindowThread();
            d.CallOnWindowThread([&] { callRan = true; });
            d.item(editId).setText("from worker");
            d.ShowMessage(text::jp("ワーカー"));
            done = true;
        });
    };
    Watchdog watchdog("worker calls");
    ui::headless::queueModalScript([&](Window& w) {
        EXPECT_TRUE(w.dialog().IsWindowThread());
        ASSERT_TRUE(waitUntil([&] { return done.load(); }));
        EXPECT_EQ(w.text(editId), "from worker");
    });
    dlg.DoModal();
    EXPECT_FALSE(workerSawWindowThread);
    EXPECT_TRUE(callRan);
    EXPECT_EQ(dlg.editChanges, 1);  // the change handler ran for the worker's text
    EXPECT_EQ(ui::headless::messageBoxes(), (std::vector<std::string>{text::jp("ワーカー")}));
}

TEST_F(HeadlessThreadTest, OnceTheWindowClosesWorkersCallsPostsAndStartsHaveNoEffect) {
    std::atomic<int> succeeded{0};
    std::atomic<bool> refused{false};
    std::atomic<bool> lateCallRan{false};
    std::atomic<bool> lateCallAccepted{true};
    std::atomic<bool> latePostRan{false};
    std::atomic<bool> lateStartAccepted{true};
    TestDialog dlg;
    dlg.onInit = [&](TestDialog& d) {
        d.StartWorker([&] {
            refused = callUntilRefused(d, succeeded);
            if (!refused) return;
            lateCallAccepted = d.CallOnWindowThread([&] { lateCallRan = true; });
            d.item(editId).setText("late");
            d.PostToWindowThread([&] { latePostRan = true; });
            lateStartAccepted = d.StartWorker([] {});
        });
    };
    Watchdog watchdog("close with a calling worker");
    ui::headless::queueModalScript(
        [&](Window&) { EXPECT_TRUE(waitUntil([&] { return succeeded.load() > 0; })); });
    dlg.DoModal();
    EXPECT_TRUE(refused);
    EXPECT_FALSE(lateCallAccepted);
    EXPECT_FALSE(lateCallRan);
    EXPECT_FALSE(latePostRan);
    EXPECT_FALSE(lateStartAccepted);
    EXPECT_EQ(dlg.editChanges, 0);
}

// The window thread is busy in its destroy handler, as a real one is: a
// worker's calls wait, run none of their work beside the handler, and are
// refused at the close, which they never hold up.
TEST_F(HeadlessThreadTest, WorkersCallingWhileTheDestroyHandlerRunsWaitForTheClose) {
    std::atomic<int> succeeded{0};
    std::atomic<bool> refused{false};
    bool progressedDuringDestroy = true;
    TestDialog dlg;
    dlg.onInit = [&](TestDialog& d) {
        d.StartWorker([&] { refused = callUntilRefused(d, succeeded); });
    };
    dlg.onDestroy = [&](TestDialog& d) {
        d.item(editId).setText("closing");
        const int before = succeeded.load();
        // Long enough for calls run beside the handler to show.
        progressedDuringDestroy = waitUntil([&] { return succeeded.load() > before + 1; }, 300ms);
    };
    ui::headless::queueModalScript(
        [&](Window&) { EXPECT_TRUE(waitUntil([&] { return succeeded.load() > 0; })); });
    Watchdog watchdog("destroy with a calling worker");
    dlg.DoModal();
    EXPECT_FALSE(progressedDuringDestroy);
    EXPECT_TRUE(refused);
    EXPECT_EQ(dlg.editTextsSeen, (std::vector<std::string>{"closing"}));
}

TEST_F(HeadlessThreadTest, EveryWorkerHasEndedWhenDoModalReturns) {
    std::atomic<int> finished{0};
    std::atomic<int> succeeded{0};
    TestDialog dlg;
    EXPECT_FALSE(dlg.StartWorker([] {}));  // no window yet
    dlg.onInit = [&](TestDialog& d) {
        for (int i = 1; i <= 3; ++i) {
            ASSERT_TRUE(d.StartWorker([&finished, i] {
                std::this_thread::sleep_for(i * 40ms);
                ++finished;
            }));
        }
        d.StartWorker([&] {
            callUntilRefused(d, succeeded);
            ++finished;
        });
    };
    Watchdog watchdog("joining workers");
    dlg.DoModal();
    EXPECT_EQ(finished.load(), 4);
}

TEST_F(HeadlessThreadTest, PostingNeverWaitsForTheWindowAndRunsInOrderOnceItIsFree) {
    std::atomic<bool> posted{false};
    bool postReturnedWhileBusy = false;
    std::string logWhileBusy = "unset";
    TestDialog dlg;
    dlg.onButton = [&](TestDialog& d) {
        d.StartWorker([&] {
            for (const char* line : {"1;", "2;", "3;"}) {
                d.PostToWindowThread([&d, line] { d.item(logEditId).replaceSel(line); });
            }
            posted = true;
        });
        // The click holds the window; a post that waited for it would time out here.
        postReturnedWhileBusy = waitUntil([&] { return posted.load(); });
        logWhileBusy = d.item(logEditId).text();
    };
    Watchdog watchdog("posting while busy");
    ui::headless::queueModalScript([&](Window& w) {
        w.click(buttonId);
        EXPECT_EQ(w.text(logEditId), "1;2;3;");
    });
    dlg.DoModal();
    EXPECT_TRUE(postReturnedWhileBusy);
    EXPECT_EQ(logWhileBusy, "");
}

TEST_F(HeadlessThreadTest, WorkPostedWhileTheWindowIsIdleRunsAtOnce) {
    std::atomic<bool> go{false};
    std::atomic<bool> ran{false};
    std::atomic<bool> ranBeforePostReturned{false};
    std::atomic<bool> done{false};
    TestDialog dlg;
    dlg.onInit = [&](TestDialog& d) {
        d.StartWorker([&] {
            if (!waitUntil([&] { return go.load(); })) return;
            d.PostToWindowThread([&ran] { ran = true; });
            ranBeforePostReturned = ran.load();
            done = true;
        });
    };
    Watchdog watchdog("posting while idle");
    ui::headless::queueModalScript([&](Window&) {
        go = true;
        EXPECT_TRUE(waitUntil([&] { return done.load(); }));
    });
    dlg.DoModal();
    EXPECT_TRUE(ranBeforePostReturned);
}

}  // namespace
