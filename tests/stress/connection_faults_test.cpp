// Connections that come and go in great numbers, that never speak, or that
// end with a reset: the monitor keeps serving and gives back every thread
// and descriptor.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "net/net_fixture.h"
#include "stress/stress_support.h"

namespace {

using namespace nettest;

class ConnectionFaults : public NetTest {};

// Takes every descriptor the process may still open: the gaps below the
// highest one are filled and the limit is set just above it. Gives
// everything back at the end.
class DescriptorsTaken {
public:
    DescriptorsTaken() {
        getrlimit(RLIMIT_NOFILE, &saved_);
        int highest = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            highest = std::max(highest, std::stoi(entry.path().filename().string()));
        }
        for (;;) {
            const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
            fillers_.push_back(fd);
            if (fd < 0 || fd >= highest) break;
        }
        rlimit lowered = saved_;
        lowered.rlim_cur = static_cast<rlim_t>(fillers_.back() + 1);
        setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~DescriptorsTaken() {
        setrlimit(RLIMIT_NOFILE, &saved_);
        for (int fd : fillers_) close(fd);
    }
    DescriptorsTaken(const DescriptorsTaken&) = delete;
    DescriptorsTaken& operator=(const DescriptorsTaken&) = delete;

private:
    rlimit saved_{};
    std::vector<int> fillers_;
};

// CPU time of the whole process, in percent of one core, over a pause.
double processCpuPercent(std::chrono::milliseconds pause) {
    const auto cpuNow = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    const double before = cpuNow();
    std::this_thread::sleep_for(pause);
    return 100.0 * (cpuNow() - before) / (static_cast<double>(pause.count()) / 1000.0);
}

TEST_F(ConnectionFaults, TwoThousandConnectAndDropCyclesGiveBackEveryThreadAndDescriptor) {
    const int cycles = stress::scaled(2000);
    const int port = freePort();
    int served = 0;
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        const int baseThreads = threadCount();
        const int baseDescriptors = stress::descriptorCount();
        for (int cycle = 0; cycle < cycles; cycle += 2) {
            // A device that drops at once, then one that is served: its
            // reply shows that the one before it has been taken off the
            // queue, so the listen backlog never overflows.
            Device(port).close();
            Device device(port);
            ASSERT_TRUE(device.connected()) << "cycle " << cycle;
            const auto exchange = stress::exchangeNumber(static_cast<std::uint32_t>(cycle));
            device.send(exchange.frame);
            ASSERT_TRUE(exchange.answeredBy(device.receive(2))) << "cycle " << cycle;
            ++served;
        }
        EXPECT_TRUE(
            eventually([&] { return threadCount() == baseThreads; }, stress::stretched(2000ms)))
            << threadCount() << " threads, " << baseThreads << " before";
        EXPECT_TRUE(eventually([&] { return stress::descriptorCount() == baseDescriptors; },
                               stress::stretched(2000ms)))
            << stress::descriptorCount() << " descriptors, " << baseDescriptors << " before";
        EXPECT_EQ(dlg.service.portSlots[0].state.load(), Listening);
        EXPECT_TRUE(looksRunning(w));
    });
    stress::reportFigures("connect and drop", std::to_string(cycles) + " connections cycled, " +
                                                  std::to_string(served) + " of them served");
}

TEST_F(ConnectionFaults, ASilentDeviceNeitherDelaysAStopNorTheClose) {
    const int port = freePort();
    const int baseThreads = threadCount();
    std::unique_ptr<Device> lingering;
    const auto runUntilClosed = [&] {
        runMonitor([&](Window& w, CMonitorDlg& dlg) {
            startWith(w, {str(port), "", "", ""});
            const int listening = threadCount();
            Device silent(port);
            ASSERT_TRUE(silent.connected());
            ASSERT_TRUE(eventually([&] { return threadCount() == listening + 1; }));

            const auto before = std::chrono::steady_clock::now();
            w.click(ids::serverButton);
            const auto stopTook = std::chrono::steady_clock::now() - before;
            EXPECT_LT(stopTook, hangGuard);
            stress::reportFigures(
                "stop with a silent device",
                std::to_string(
                    std::chrono::duration_cast<std::chrono::microseconds>(stopTook).count()) +
                    " us");
            for (const PortSlot& slot : dlg.service.portSlots) EXPECT_EQ(slot.state.load(), Idle);
            EXPECT_TRUE(silent.closedByPeer(hangGuard));
            EXPECT_TRUE(eventually([&] { return threadCount() == listening - 1; }));

            // Silent again, and this time the window closes on it.
            startWith(w, {str(port), "", "", ""});
            lingering = std::make_unique<Device>(port);
            ASSERT_TRUE(lingering->connected());
            ASSERT_TRUE(eventually([&] { return threadCount() == listening + 1; }));
        });
        return std::chrono::steady_clock::now();
    };
    const auto before = std::chrono::steady_clock::now();
    const auto closed = runUntilClosed();
    // Kelvane pauses 100 ms per port slot when its window goes.
    EXPECT_LT(closed - before, hangGuard);
    EXPECT_TRUE(lingering->closedByPeer(hangGuard));
    EXPECT_EQ(threadCount(), baseThreads);
}

TEST_F(ConnectionFaults, OutOfDescriptorsTheListenerWaitsAndServesAgainOnceDevicesLeave) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        std::vector<std::unique_ptr<Device>> served;
        for (int i = 0; i < 2; ++i) {
            served.push_back(std::make_unique<Device>(port));
            served.back()->send({0xFC, 0x01, 0x01});
            ASSERT_EQ(served.back()->receive(2).size(), 2u);
        }
        // The knocking devices' own sockets exist before the descriptors
        // run out; the monitor finds none for its ends, and the connections
        // stay queued.
        std::vector<sock::Socket> knocking;
        for (int i = 0; i < 4; ++i) {
            knocking.push_back(sock::tcpSocket());
            sock::bind(knocking.back(), {0, deviceAddress()});
        }
        const sock::SockAddrIn monitor{sock::htons(static_cast<std::uint16_t>(port)),
                                       serverAddress()};
        const Bytes frame{0xFC, 0x02, 0x02};
        double cpu = 0;
        {
            DescriptorsTaken taken;
            for (const sock::Socket s : knocking) {
                ASSERT_EQ(sock::connect(s, monitor), 0) << sock::lastError();
                sock::send(s, reinterpret_cast<const char*>(frame.data()), 3);
            }
            std::this_thread::sleep_for(50ms);
            cpu = processCpuPercent(500ms);
            EXPECT_LT(cpu, 3.0);
            for (const sock::Socket s : knocking) EXPECT_TRUE(receiveFrom(s, 2, 20ms).empty());
            EXPECT_EQ(dlg.service.portSlots[0].state.load(), Listening);
        }
        // Devices leave; the waiting ones are served without a new knock.
        served.clear();
        for (const sock::Socket s : knocking) {
            EXPECT_EQ(receiveFrom(s, 2, stress::stretched(2000ms)).size(), 2u);
            sock::closesocket(s);
        }
        if constexpr (!isKelvane) {
            const std::string trace = w.text(ids::traceEdit);
            const std::string line = "accept error: 10024 \r\n";
            const auto first = trace.find(line);
            EXPECT_NE(first, std::string::npos) << trace;
            EXPECT_EQ(trace.find(line, first + 1), std::string::npos) << "traced more than once";
        }
        EXPECT_TRUE(looksRunning(w));
        stress::reportFigures("CPU while out of descriptors", std::to_string(cpu) + " %");
    });
}

TEST_F(ConnectionFaults, DevicesThatResetRightAfterTheirFrameLeaveThePortServing) {
    const int resets = stress::scaled(200);
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        const int listening = threadCount();
        const int baseDescriptors = stress::descriptorCount();

        // One that waits for its reply first: the frame has taken effect.
        ASSERT_EQ(stress::sendThenReset(port, {0xFC, 0x01, 0x01}, 2), (Bytes{0xFC, 0x01}));
        EXPECT_TRUE(eventually([&] { return threadCount() == listening; }));
        EXPECT_EQ(inputs(dlg), 0x01u);
        // A reset is a receive error, not a close: the label stays.
        EXPECT_EQ(w.text(ids::peerLabel1), connectedFrom(deviceAddressText));
        if (isKelvane) {
            EXPECT_TRUE(eventually([&] { return dlg.service.portSlots[0].connSock.load() == 0u; }));
        } else {
            EXPECT_TRUE(eventually([&] {
                return w.text(ids::traceEdit).find("recv error: 10054 \r\n") != std::string::npos;
            }));
        }

        // Many that reset before their reply can go out: a reply sent into
        // a reset connection must not take the process down.
        // Every fourth device waits for its reply: then the ones before it
        // have been taken off the queue, and the listen backlog never
        // overflows into the client's one-second SYN retry.
        for (int n = 0; n < resets; ++n) {
            const auto exchange = stress::exchangeNumber(static_cast<std::uint32_t>(n));
            const bool paced = n % 4 == 3;
            const auto reply = stress::sendThenReset(port, exchange.frame, paced ? 2 : 0);
            ASSERT_TRUE(reply) << "device " << n;
            if (paced) {
                EXPECT_TRUE(exchange.answeredBy(*reply)) << "device " << n;
            }
        }
        EXPECT_TRUE(
            eventually([&] { return threadCount() == listening; }, stress::stretched(2000ms)));
        EXPECT_TRUE(eventually([&] { return stress::descriptorCount() == baseDescriptors; },
                               stress::stretched(2000ms)));

        Device last(port);
        last.send({0xFC, 0x06, 0x06});
        EXPECT_EQ(last.receive(2).size(), 2u);
        EXPECT_EQ(inputs(dlg) & 0x06u, 0x06u);
        EXPECT_TRUE(looksRunning(w));
    });
    stress::reportFigures("reset devices", std::to_string(resets + 1) + " connections reset");
}

}  // namespace

namespace {

TEST_F(ConnectionFaults, AWorkerThatThrowsHangsNeitherTheStopNorTheClose) {
    const int port = freePort();
    const int baseThreads = threadCount();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        const int listening = threadCount();
        Device device(port);
        ASSERT_TRUE(eventually([&] { return threadCount() == listening + 1; }));
        // The frame's hand-over to the window fails: the connection's thread
        // ends with the failure, and its bookkeeping with it.
        ui::headless::failNextWorkerCall();
        device.send({0xFC, 0x01, 0x01});
        EXPECT_TRUE(device.closedByPeer(hangGuard));
        EXPECT_TRUE(eventually([&] { return threadCount() == listening; }));
        // The next device is served, and its lamp repainted, as usual.
        const int paints = w.invalidationCount(ids::inputLamp1);
        Device next(port);
        next.send({0xFC, 0x01, 0x01});
        EXPECT_EQ(next.receive(2), (Bytes{0xFC, 0x01}));
        EXPECT_TRUE(eventually([&] { return w.invalidationCount(ids::inputLamp1) > paints; }));
        // The frame's last hand-over, its peer label, is taken before the
        // next hand-over is made to fail, so that the failure is the
        // listener's own.
        EXPECT_TRUE(eventually(
            [&] { return w.text(ids::peerLabel1) == connectedFrom(deviceAddressText); }));
        if constexpr (!isKelvane) {
            // Sorrel's listener traces every pending connection: that
            // hand-over fails, and the listener ends with its slot Idle.
            ui::headless::failNextWorkerCall();
            Device knocking(port);
            EXPECT_TRUE(eventually([&] { return dlg.service.portSlots[0].state.load() == Idle; },
                                   hangGuard));
        }
        const auto stopping = std::chrono::steady_clock::now();
        w.click(ids::serverButton);
        EXPECT_LT(std::chrono::steady_clock::now() - stopping, hangGuard);
        EXPECT_TRUE(looksStopped(w));
    });
    EXPECT_EQ(threadCount(), baseThreads);
}

}  // namespace
