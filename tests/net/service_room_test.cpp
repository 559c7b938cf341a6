// The network service on its own, with no dialog: a window port of the
// test's own stands in for the window, and the test's thread is its window
// thread.
#include <algorithm>
#include <deque>
#include <mutex>
#include <random>
#include <thread>

#include "net/net_test_support.h"
#include "net/service.h"
#include "platform/text.h"

namespace {

using namespace nettest;

class TestWindow : public net::WindowPort {
public:
    ~TestWindow() { joinWorkers(); }
    // As the window joins its workers at its close, before the service
    // they run in goes.
    void joinWorkers() {
        std::vector<std::thread> workers;
        {
            std::lock_guard lock(guard_);
            workers.swap(workers_);
        }
        for (auto& worker : workers) worker.join();
    }
    // Runs fn as the window thread does, then the work posted meanwhile.
    template <class Fn>
    void onWindow(Fn&& fn) {
        std::unique_lock lock(window_);
        fn();
        for (;;) {
            std::function<void()> work;
            {
                std::lock_guard queued(guard_);
                if (posted_.empty()) return;
                work = std::move(posted_.front());
                posted_.pop_front();
            }
            work();
        }
    }
    std::uint8_t inputs() const { return states_.load(); }
    std::vector<std::string> logged() {
        std::lock_guard lock(guard_);
        return logged_;
    }
    std::string peerLabel(int slot) {
        std::lock_guard lock(guard_);
        return peerLabels_[static_cast<std::size_t>(slot)];
    }
    int stoppedLooks() {
        std::lock_guard lock(guard_);
        return stoppedLooks_;
    }

private:
    bool startWorker(std::function<void()> body) override {
        std::lock_guard lock(guard_);
        workers_.emplace_back(std::move(body));
        return true;
    }
    void postToWindow(std::function<void()> work) override {
        std::lock_guard lock(guard_);
        posted_.push_back(std::move(work));
    }
    bool callOnWindow(const std::function<void()>& work) override {
        std::lock_guard lock(window_);
        work();
        return true;
    }
    void traceText(std::string_view) override {}
    std::uint8_t inputStates() const override { return states_.load(); }
    void applyInputs(frames::InputUpdate update, history::Source) override {
        states_.store(frames::applyUpdate(states_.load(), update));
    }
    void repaintInputs(std::uint8_t) override {}
    void clearInputs() override { states_.store(0); }
    void logFrame(const std::string& peerAddress, std::string& lines) override {
        lines.append(peerAddress).push_back('\n');
    }
    void logRead(std::string& lines) override {
        std::lock_guard lock(guard_);
        for (std::size_t start = 0; start < lines.size();) {
            const std::size_t end = lines.find('\n', start);
            logged_.push_back(lines.substr(start, end - start));
            start = end + 1;
        }
        lines.clear();
    }
    void showPeerLabel(int slot, const std::string& text) override {
        std::lock_guard lock(guard_);
        peerLabels_[static_cast<std::size_t>(slot)] = text;
    }
    void enableOutputButtons(bool) override {}
    void showServerStopped() override {
        std::lock_guard lock(guard_);
        ++stoppedLooks_;
    }

    std::recursive_mutex window_;
    std::mutex guard_;
    std::vector<std::thread> workers_;
    std::deque<std::function<void()>> posted_;
    std::atomic<std::uint8_t> states_{0};
    std::vector<std::string> logged_;
    std::array<std::string, portSlotCount> peerLabels_;
    int stoppedLooks_ = 0;
};

// Stops the service on every way out of a test, so that no thread of it
// outlives the window it reports to.
struct StoppedAtTheEnd {
    TestWindow& window;
    net::Service& service;
    ~StoppedAtTheEnd() {
        window.onWindow([this] { service.stop(); });
        service.stopForClose();
        window.joinWorkers();
    }
};

TEST(ServiceRoom, ADeviceIsServedLoggedAndLabelledAndTheStopEndsItWithNoDialog) {
    bindAddress.store(serverAddress());
    const int port = freePort();
    TestWindow window;
    {
        net::Service service(window);
        const StoppedAtTheEnd stopped{window, service};
        const auto at = static_cast<std::uint16_t>(port);
        window.onWindow([&] {
            const auto twice = service.start({at, std::nullopt, at, std::nullopt});
            ASSERT_TRUE(twice.has_value());
            EXPECT_EQ(twice->kind, net::StartFailure::Kind::DuplicatePorts);
            EXPECT_FALSE(service.start({std::nullopt, at, std::nullopt, std::nullopt}));
        });
        Device device(port);
        device.send({0xFC, 0x01, 0x01});
        EXPECT_EQ(device.receive(2), (Bytes{0xFC, 0x01}));
        EXPECT_EQ(window.inputs(), 1u);
        EXPECT_EQ(window.logged(), (std::vector<std::string>{deviceAddressText}));
        const std::string connected = text::jp("接続元 : ") + deviceAddressText;
        EXPECT_TRUE(eventually([&] {
            window.onWindow([] {});
            return window.peerLabel(1) == connected;
        }));

        window.onWindow([&] { service.stop(); });
        EXPECT_TRUE(device.closedByPeer(hangGuard));
        EXPECT_TRUE(eventually([&] { return window.stoppedLooks() == 1; }));
        EXPECT_EQ(window.inputs(), 0u);
        EXPECT_EQ(window.peerLabel(1), "");
    }
}

}  // namespace

namespace {

// The replies to a byte stream as the recogniser gives them fed byte by
// byte, with the input states each frame leaves.
Bytes repliesFedByteByByte(const Bytes& stream) {
    Bytes replies;
    std::uint8_t inputs = 0;
    frames::AssemblyWindow window;
    frames::SorrelReader reader;
    for (const std::uint8_t byte : stream) {
        std::optional<frames::FrameEffect> effect;
        if constexpr (isKelvane) {
            if (const auto frame = frames::kelvaneFeed(window, byte)) {
                effect = frames::kelvaneEffect(*frame, inputs);
            }
        } else {
            if (const auto frame = reader.feed(byte)) effect = frames::sorrelEffect(*frame, inputs);
        }
        if (!effect) continue;
        inputs = frames::applyUpdate(inputs, effect->update);
        replies.insert(replies.end(), effect->reply.begin(), effect->reply.end());
    }
    return replies;
}

TEST(ServiceRoom, FramesAndNoiseCutIntoReadsAnywhereAreAnsweredAsByteByByte) {
    bindAddress.store(serverAddress());
    const int port = freePort();
    std::mt19937 random(20261209);
    Bytes stream;
    const std::uint8_t pieces[] = {0xFC, 0xFA, 0xF0, 0x00, 0x01, 0x05, 0x07, 0x1F, 0xFF, 0x42};
    for (int n = 0; n < 3000; ++n) stream.push_back(pieces[random() % std::size(pieces)]);
    const Bytes expected = repliesFedByteByByte(stream);
    ASSERT_GT(expected.size(), 200u);

    TestWindow window;
    net::Service service(window);
    const StoppedAtTheEnd stopped{window, service};
    window.onWindow([&] {
        EXPECT_FALSE(service.start(
            {static_cast<std::uint16_t>(port), std::nullopt, std::nullopt, std::nullopt}));
    });
    Device device(port);
    device.sendAtOnce();
    Bytes replies;
    // Each piece goes once the replies of the one before have come, so that
    // reads end wherever a piece ends: in a frame, between frames, in noise.
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t length = std::min<std::size_t>(1 + random() % 7, stream.size() - at);
        const Bytes piece(stream.begin() + static_cast<std::ptrdiff_t>(at),
                          stream.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
        device.send(piece);
        const std::size_t owed =
            repliesFedByteByByte(
                Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(at)))
                .size();
        const Bytes got = device.receive(owed - replies.size());
        replies.insert(replies.end(), got.begin(), got.end());
        ASSERT_EQ(replies.size(), owed) << "after " << at << " bytes";
    }
    EXPECT_EQ(replies, expected);
}

}  // namespace
