// The call gate between worker threads and the window thread, over a backend
// whose window thread is a loop the test pumps by hand.
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/ui_backend.h"
#include "ui_test_dialog.h"

namespace {

using namespace uitest;

// Queues posted work until the test pumps it on the thread it names the
// window thread. Every control call is inert: the gate is what is tested.
class PumpedBackend : public ui::detail::WindowBackend {
public:
    PumpedBackend(ui::Dialog& dialog, bool direct) : WindowBackend(dialog), direct_(direct) {}

    void post(std::function<void()> fn) override {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(fn));
        ++posts_;
    }
    bool isWindowThread() const override { return std::this_thread::get_id() == windowThread_; }
    bool runsCallsDirectly() const override { return direct_; }

    void becomeWindowThread() { windowThread_ = std::this_thread::get_id(); }
    int posts() {
        std::lock_guard lock(mutex_);
        return posts_;
    }
    // Runs what is queued now on the calling thread; the number run.
    int pump() {
        std::deque<std::function<void()>> batch;
        {
            std::lock_guard lock(mutex_);
            batch.swap(queue_);
        }
        for (auto& fn : batch) fn();
        return static_cast<int>(batch.size());
    }

    int runModal() override { return ui::idCancel; }
    void endDialog(int) override {}
    std::string text(int) override { return {}; }
    void setText(int, std::string_view) override {}
    void enable(int, bool) override {}
    bool isEnabled(int) override { return false; }
    void show(int, bool) override {}
    void invalidate(int) override {}
    void limitText(int, int) override {}
    void replaceSel(int, std::string_view) override {}
    void addString(int, std::string_view) override {}
    void setCurSel(int, int) override {}
    int curSel(int) override { return -1; }
    bool isChecked(int) override { return false; }
    void setChecked(int, bool) override {}
    void setFont(int, const ui::Font&) override {}
    void setCaption(std::string_view) override {}
    std::string caption() override { return {}; }
    void setIcon(int, bool) override {}
    bool isIconic() override { return false; }
    ui::Size clientSize() override { return {}; }
    void messageBox(std::string_view) override {}
    ui::FileChoice fileDialog(const ui::FileDialogRequest&) override { return {}; }
    bool create() override { return false; }
    void destroy() override {}
    bool isOpen() const override { return false; }
    void bringToFront() override {}
    void resetContent(int) override {}
    void moveTo(int, const ui::Rect&) override {}
    ui::Rect place(int) override { return {}; }
    void setScroll(int, int, int, int) override {}
    int scrollPos(int) override { return 0; }
    ui::Image capture(int) override { return {}; }
    ui::Rect mapDialogRect(const ui::Rect&) override { return {}; }
    void setTimer(int, int) override {}
    void killTimer(int) override {}
    bool copyImage(const ui::Image&) override { return false; }
    bool copyText(std::string_view) override { return false; }

private:
    const bool direct_;
    std::atomic<std::thread::id> windowThread_{};
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
    int posts_ = 0;
};

class QueuedGateTest : public ::testing::Test {
protected:
    TestDialog dialog;
    PumpedBackend backend{dialog, false};
    ui::detail::CallGate gate{backend};
};

TEST_F(QueuedGateTest, AWorkersCallRunsOnTheWindowThreadAndWaitsForIt) {
    Watchdog watchdog("queued call");
    std::atomic<bool> stop{false};
    std::atomic<std::thread::id> ranOn{};
    std::thread window([&] {
        backend.becomeWindowThread();
        waitUntil([&] {
            backend.pump();
            return stop.load();
        });
    });
    int value = 0;
    const bool accepted = gate.call([&] {
        ranOn = std::this_thread::get_id();
        value = 42;
    });
    stop = true;
    const std::thread::id windowId = window.get_id();
    window.join();
    EXPECT_TRUE(accepted);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(ranOn.load(), windowId);
}

TEST_F(QueuedGateTest, TheWindowThreadsOwnCallRunsAtOnce) {
    backend.becomeWindowThread();
    bool ran = false;
    EXPECT_TRUE(gate.call([&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(backend.posts(), 0);
}

TEST_F(QueuedGateTest, ClosingReleasesAWaitingCallWhoseWorkThenNeverRuns) {
    Watchdog watchdog("released call");
    std::atomic<bool> ran{false};
    std::atomic<bool> accepted{true};
    std::thread worker([&] { accepted = gate.call([&] { ran = true; }); });
    ASSERT_TRUE(waitUntil([&] { return backend.posts() == 1; }));
    gate.beginClose();
    worker.join();
    EXPECT_FALSE(accepted);
    backend.becomeWindowThread();
    EXPECT_EQ(backend.pump(), 1);
    EXPECT_FALSE(ran);
}

TEST_F(QueuedGateTest, ACallAlreadyRunningFinishesBeforeItsCallerGoesOn) {
    Watchdog watchdog("running call");
    std::atomic<bool> started{false};
    std::atomic<bool> closeBegun{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> accepted{false};
    std::atomic<bool> finishedWhenReturned{false};
    std::thread worker([&] {
        accepted = gate.call([&] {
            started = true;
            waitUntil([&] { return closeBegun.load(); });
            finished = true;
        });
        finishedWhenReturned = finished.load();
    });
    ASSERT_TRUE(waitUntil([&] { return backend.posts() == 1; }));
    std::thread window([&] {
        backend.becomeWindowThread();
        backend.pump();
    });
    ASSERT_TRUE(waitUntil([&] { return started.load(); }));
    gate.beginClose();
    closeBegun = true;
    window.join();
    worker.join();
    EXPECT_TRUE(accepted);
    EXPECT_TRUE(finishedWhenReturned);
}

TEST_F(QueuedGateTest, AfterCloseCallsAndPostsAreRefusedWithoutReachingTheWindow) {
    gate.beginClose();
    bool ran = false;
    std::thread worker([&] {
        EXPECT_FALSE(gate.call([&] { ran = true; }));
        gate.post([&] { ran = true; });
    });
    worker.join();
    EXPECT_EQ(backend.posts(), 0);
    EXPECT_FALSE(ran);
}

class DirectGateTest : public ::testing::Test {
protected:
    TestDialog dialog;
    PumpedBackend backend{dialog, true};
    ui::detail::CallGate gate{backend};
};

TEST_F(DirectGateTest, CallsRunOnTheCallerUntilTheGateCloses) {
    std::atomic<std::thread::id> ranOn{};
    std::thread worker(
        [&] { EXPECT_TRUE(gate.call([&] { ranOn = std::this_thread::get_id(); })); });
    const std::thread::id workerId = worker.get_id();
    worker.join();
    EXPECT_EQ(ranOn.load(), workerId);
    gate.beginClose();
    bool ran = false;
    EXPECT_FALSE(gate.call([&] { ran = true; }));
    EXPECT_FALSE(ran);
}

TEST_F(DirectGateTest, PostHandsWorkToTheBackendWithoutTakingTheLock) {
    Watchdog watchdog("direct post");
    std::lock_guard busyWindow(gate.directLock());
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        gate.post([] {});
        returned = true;
    });
    EXPECT_TRUE(waitUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_EQ(backend.posts(), 1);
}

}  // namespace
