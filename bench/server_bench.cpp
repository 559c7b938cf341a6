// Figures of one monitor program's network service, run in-process on the
// headless window, beside the same figures of the reference server, on
// loopback. It prints; it asserts nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "frame_client.h"
#include "platform/fs.h"
#include "platform/iphelp_fake.h"
#include "platform/sock.h"
#include "platform/ui_headless.h"
#include "reference_server.h"
#include "variant_constants.h"
#include "window/control_ids.h"
#include "window/monitor_dlg.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr bool isKelvane = variant::product == variant::Product::Kelvane;
// The fake adapter table's first row, to which Kelvane binds; Sorrel binds
// to every address.
const std::string serverAddress = isKelvane ? "127.0.0.2" : "127.0.0.1";
const std::vector<int> monitorPorts = {21003, 21004, 21005, 21006};
const std::vector<int> referencePorts = {22003, 22004, 22005, 22006};
const std::vector<int> batchedPorts = {22013, 22014, 22015, 22016};
constexpr int roundTripFrames = 20'000;
constexpr int pipelinedFrames = 100'000;
// Logging on: a short run, and one long enough for a writer that falls
// behind to fill the queue of owed lines.
constexpr int loggedFrameCounts[] = {pipelinedFrames, 10 * pipelinedFrames};
constexpr int idleSeconds = 3;
constexpr int idleDeviceCounts[] = {0, 4, 32, 128};
constexpr int stopDevicesPerPort = 8;
constexpr int pacedDevices = 16;
constexpr std::chrono::milliseconds pacedPeriod{10};
constexpr std::chrono::milliseconds pacedLength{4'000};
constexpr std::chrono::milliseconds outageLength{60'000};
constexpr int deadDevicePort = 23003;

// Process CPU time (every thread) per second of wall time while work runs,
// in percent of one core.
template <class Work>
double cpuPercentWhile(Work&& work) {
    std::clock_t cpuBefore = std::clock();
    auto wallBefore = Clock::now();
    work();
    double cpu = static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    std::chrono::duration<double> wall = Clock::now() - wallBefore;
    return 100.0 * cpu / wall.count();
}

// While devices stay connected and quiet.
double idleCpuPercent() {
    return cpuPercentWhile([] { std::this_thread::sleep_for(std::chrono::seconds(idleSeconds)); });
}

// Process CPU while devices on the 4 ports send at their pace, each frame
// after the reply to the one before. The devices run in this process too,
// so both servers' figures carry the same devices' share.
void printPacedCpuFigure(const char* who, const std::vector<int>& ports) {
    std::vector<long> answered(pacedDevices, 0);
    const double percent = cpuPercentWhile([&] {
        std::vector<std::jthread> devices;
        for (int i = 0; i < pacedDevices; ++i) {
            devices.emplace_back([i, &ports, &answered] {
                answered[static_cast<std::size_t>(i)] = bench::sendPaced(
                    serverAddress, ports[static_cast<std::size_t>(i) % ports.size()], pacedPeriod,
                    pacedLength);
            });
        }
    });
    long total = 0;
    for (const long count : answered) total += count;
    std::printf(
        "%-28s %d devices at %lld frames/s on 4 ports for %lld s: %.2f %% of one core, %ld "
        "frames answered\n",
        who, pacedDevices, static_cast<long long>(1000 / pacedPeriod.count()),
        static_cast<long long>(pacedLength.count() / 1000), percent, total);
    std::fflush(stdout);
}

void measure(const char* who, const std::vector<int>& ports) {
    auto trips = bench::measureRoundTrips(serverAddress, ports[0], roundTripFrames);
    std::printf(
        "%-28s round trip over %zu frames: median %.1f us, p90 %.1f us, p99 %.1f us, max %.1f us\n",
        who, trips.count, trips.median, trips.p90, trips.p99, trips.max);
    auto one = bench::measurePipelined(serverAddress, {ports[0]}, pipelinedFrames);
    std::printf("%-28s pipelined, one connection: %.0f frames/s (%ld wrong or missing)\n", who,
                one.framesPerSecond, one.mismatches);
    auto four = bench::measurePipelined(serverAddress, ports, pipelinedFrames / 4);
    std::printf("%-28s pipelined, 4 ports at once: %.0f frames/s (%ld wrong or missing)\n", who,
                four.framesPerSecond, four.mismatches);
    std::fflush(stdout);
}

// Process CPU while 4 ports listen, with 0, 4, 32 and 128 quiet devices.
void printIdleFigures(const char* who, const std::vector<int>& ports) {
    for (int count : idleDeviceCounts) {
        bench::IdleDevices idle(serverAddress, ports, count);
        if (!idle.allConnected()) std::printf("%s: not every idle device got its reply\n", who);
        std::printf("%-28s idle, 4 ports, %3d quiet devices: %.2f %% of one core\n", who, count,
                    idleCpuPercent());
        std::fflush(stdout);
    }
}

// BENCH_WIRE_ONLY set: the round trips and rates only, for quick rounds.
bool wireOnly() {
    return std::getenv("BENCH_WIRE_ONLY") != nullptr;
}

void benchReference() {
    {
        bench::ReferenceServer batched(bench::ReferenceServer::Style::Batched);
        if (!batched.start(serverAddress, batchedPorts)) {
            std::printf("batched server: cannot listen on %s\n", serverAddress.c_str());
            return;
        }
        measure("batched reference server", batchedPorts);
    }
    bench::ReferenceServer reference;
    if (!reference.start(serverAddress, referencePorts)) {
        std::printf("reference server: cannot listen on %s\n", serverAddress.c_str());
        return;
    }
    measure("reference server", referencePorts);
    if (wireOnly()) return;
    printIdleFigures("reference server", referencePorts);
    printPacedCpuFigure("reference server", referencePorts);
}

std::size_t linesIn(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return static_cast<std::size_t>(
        std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

// The lines of a growing file, each look reading only what came since the
// one before, so that looking often takes little from the writer.
class LineCount {
public:
    explicit LineCount(std::string path) : path_(std::move(path)) {}
    std::size_t now() {
        std::ifstream in(path_, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(offset_));
        char bytes[65536];
        while (in.read(bytes, sizeof bytes) || in.gcount() > 0) {
            const auto got = static_cast<std::size_t>(in.gcount());
            lines_ += static_cast<std::size_t>(std::count(bytes, bytes + got, '\n'));
            offset_ += got;
        }
        return lines_;
    }

private:
    std::string path_;
    std::size_t offset_ = 0;
    std::size_t lines_ = 0;
};

// The pipelined rate with logging on, and whether the log keeps up: every
// answered frame's line on disk, and how long after the last reply the last
// line got there.
void printLoggedRun(CMonitorDlg& dlg, int frames) {
    LineCount log(dlg.eventLog.path());
    const std::size_t before = log.now();
    auto logged = bench::measurePipelined(serverAddress, {monitorPorts[0]}, frames);
    const auto answered = Clock::now();
    // An empty log gets its header before the first line.
    const std::size_t expected = before + static_cast<std::size_t>(frames) + (before == 0 ? 1 : 0);
    const auto deadline = answered + std::chrono::seconds(10);
    std::size_t lines = log.now();
    while (lines < expected && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        lines = log.now();
    }
    const std::chrono::duration<double, std::milli> lag = Clock::now() - answered;
    std::printf(
        "%-28s pipelined, one connection, %d frames: %.0f frames/s (%ld wrong or missing); "
        "%zu of %d lines on disk %.1f ms after the last reply\n",
        (std::string(variant::productName) + ", logging on").c_str(), frames,
        logged.framesPerSecond, logged.mismatches, lines - (expected - frames), frames,
        lag.count());
    std::fflush(stdout);
}

// Another opener holds the log while four devices send ten frames a second
// each; then it lets go, and the figure is how long the log's writer takes
// to put every owed line on disk.
void printOutageFigure(CMonitorDlg& dlg) {
    const std::string path = dlg.eventLog.path();
    // The lines of the frames before are all on disk first.
    std::size_t before = linesIn(path);
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const std::size_t now = linesIn(path);
        if (now == before) break;
        before = now;
    }
    auto held = fs::TextFile::open(path, fs::OpenMode::Append);
    if (!held) {
        std::printf("%s: cannot hold the log %s\n", variant::productName, path.c_str());
        return;
    }
    std::vector<long> answered(monitorPorts.size(), 0);
    {
        std::vector<std::jthread> devices;
        for (std::size_t i = 0; i < monitorPorts.size(); ++i) {
            devices.emplace_back([i, &answered] {
                answered[i] = bench::sendPaced(serverAddress, monitorPorts[i],
                                               std::chrono::milliseconds(100), outageLength);
            });
        }
    }
    long owed = 0;
    for (long count : answered) owed += count;
    held.reset();
    const auto released = Clock::now();
    const auto deadline = released + std::chrono::seconds(30);
    std::size_t lines = linesIn(path);
    while (lines < before + static_cast<std::size_t>(owed) && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        lines = linesIn(path);
    }
    const std::chrono::duration<double, std::milli> took = Clock::now() - released;
    std::printf(
        "%-28s log held %lld s under 4 devices at 10 frames/s: %ld frames answered, "
        "%zu of their lines on disk %.1f ms after the release\n",
        variant::productName, static_cast<long long>(outageLength.count() / 1000), owed,
        lines - before, took.count());
    std::fflush(stdout);
}

// Kelvane: the window's time for a click while the device behind the port
// is gone and its port drops the connect (its accept queue is full), and
// the time of the stop that follows, which ends that connect.
void printClickFigure(ui::headless::Window& w, CMonitorDlg& dlg) {
    const auto server = [] {
        std::uint32_t address = 0;
        sock::inetPton(serverAddress, &address);
        return address;
    }();
    std::uint32_t deviceAddress = 0;
    sock::inetPton("127.0.0.1", &deviceAddress);
    const auto devicePort = static_cast<std::uint16_t>(deadDevicePort);
    const sock::Socket dead = sock::tcpSocket();
    sock::bind(dead, {sock::htons(devicePort), deviceAddress});
    sock::listen(dead, 1);
    std::vector<sock::Socket> queued;
    sock::setConnectTimeout(300);
    for (int n = 0; n < 8; ++n) {
        const sock::Socket s = sock::tcpSocket();
        queued.push_back(s);
        if (sock::connect(s, {sock::htons(devicePort), deviceAddress}) != 0) break;
    }
    sock::setConnectTimeout(21000);
    w.type(ids::destPortEdit, std::to_string(deadDevicePort));
    {
        const sock::Socket device = sock::tcpSocket();
        sock::connect(device, {sock::htons(static_cast<std::uint16_t>(monitorPorts[0])), server});
        const char frame[3] = {static_cast<char>(0xFA), static_cast<char>(0xF0), 0};
        char reply[2];
        sock::send(device, frame, 3);
        sock::recv(device, reply, 2);
        sock::closesocket(device);
    }
    while (dlg.service.portSlots[0].connSock.load() != 0) std::this_thread::yield();
    const auto clicked = Clock::now();
    w.click(ids::outputButton1);
    const std::chrono::duration<double, std::micro> click = Clock::now() - clicked;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto stopped = Clock::now();
    w.click(ids::serverButton);
    const std::chrono::duration<double, std::milli> stop = Clock::now() - stopped;
    std::printf(
        "%-28s click while the device's port drops the connect: the window waits "
        "%.1f us; the stop that ends the connect takes %.2f ms\n",
        variant::productName, click.count(), stop.count());
    std::fflush(stdout);
    for (const sock::Socket s : queued) sock::closesocket(s);
    sock::closesocket(dead);
}

bool allIdle(const CMonitorDlg& dlg) {
    for (const auto& slot : dlg.service.portSlots) {
        if (slot.state.load() != Idle) return false;
    }
    return true;
}

void benchMonitor(ui::headless::Window& w, CMonitorDlg& dlg) {
    const int portEdits[] = {ids::portEdit1, ids::portEdit2, ids::portEdit3, ids::portEdit4};
    for (std::size_t i = 0; i < monitorPorts.size(); ++i) {
        w.type(portEdits[i], std::to_string(monitorPorts[i]));
    }
    w.click(ids::serverButton);
    for (const auto& slot : dlg.service.portSlots) {
        if (slot.state.load() != Listening) {
            std::printf("%s: the server did not start on ports %d to %d\n", variant::productName,
                        monitorPorts.front(), monitorPorts.back());
            return;
        }
    }
    std::string who = std::string(variant::productName) + ", logging off";
    measure(who.c_str(), monitorPorts);

    w.setCheck(ids::loggingCheck, true);
    for (const int frames : loggedFrameCounts) printLoggedRun(dlg, frames);
    const auto loggedTrips =
        bench::measureRoundTrips(serverAddress, monitorPorts[0], roundTripFrames);
    std::printf("%-28s round trip over %zu frames: median %.1f us, p90 %.1f us, p99 %.1f us\n",
                (std::string(variant::productName) + ", logging on").c_str(), loggedTrips.count,
                loggedTrips.median, loggedTrips.p90, loggedTrips.p99);
    if (wireOnly()) {
        w.setCheck(ids::loggingCheck, false);
        w.click(ids::serverButton);
        return;
    }
    printOutageFigure(dlg);
    printPacedCpuFigure((std::string(variant::productName) + ", logging on").c_str(), monitorPorts);
    w.setCheck(ids::loggingCheck, false);

    printIdleFigures(variant::productName, monitorPorts);

    const int stopDevices = stopDevicesPerPort * static_cast<int>(monitorPorts.size());
    bench::IdleDevices idle(serverAddress, monitorPorts, stopDevices);
    if (!idle.allConnected()) std::printf("%s: not every device got its reply\n", who.c_str());
    auto clicked = Clock::now();
    w.click(ids::serverButton);
    std::chrono::duration<double, std::milli> toIdle = Clock::now() - clicked;
    auto closed = idle.awaitServerClose(clicked, std::chrono::milliseconds(2000));
    std::chrono::duration<double, std::milli> toClosed = closed;
    char closedText[32] = "more than 2000 ms";
    if (closed.count() >= 0) {
        std::snprintf(closedText, sizeof closedText, "%.2f ms", toClosed.count());
    }
    std::printf(
        "%-28s stop click, 4 ports x %d devices: every slot Idle after %.2f ms (%s), the "
        "devices' connections closed after %s\n",
        variant::productName, stopDevicesPerPort, toIdle.count(),
        allIdle(dlg) ? "checked" : "NOT IDLE", closedText);
    std::fflush(stdout);
    if constexpr (isKelvane) {
        w.click(ids::serverButton);
        printClickFigure(w, dlg);
    }
}

}  // namespace

int main() {
    sock::startup();
    std::printf("%s network service, headless window, loopback %s\n", variant::productName,
                serverAddress.c_str());
    benchReference();

    auto folder = std::filesystem::temp_directory_path() /
                  ("bench-" + std::string(variant::productName) + "-" +
                   std::to_string(Clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(folder);
    ui::headless::resetSession();
    ui::setApplicationName(variant::productName);
    iphelp::fake::tables() = iphelp::fake::standardTables();
    fs::overrideModulePathForTesting((folder / variant::productName).string());
    {
        CMonitorDlg dlg;
        ui::headless::queueModalScript([&dlg](ui::headless::Window& w) { benchMonitor(w, dlg); });
        dlg.DoModal();
    }
    std::filesystem::remove_all(folder);
    sock::cleanup();
    return 0;
}
