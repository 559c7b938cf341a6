// Figures of one monitor program's network service, run in-process on the
// headless window, beside the same figures of the reference server, on
// loopback. It prints; it asserts nothing.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
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
constexpr int roundTripFrames = 20'000;
constexpr int pipelinedFrames = 100'000;
constexpr int idleSeconds = 3;
constexpr int idleDeviceCounts[] = {0, 4, 32, 128};
constexpr int stopDevicesPerPort = 8;

// Process CPU time (every thread) per second of wall time, in percent of one
// core, while devices stay connected and quiet.
double idleCpuPercent() {
    std::clock_t cpuBefore = std::clock();
    auto wallBefore = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    double cpu = static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    std::chrono::duration<double> wall = Clock::now() - wallBefore;
    return 100.0 * cpu / wall.count();
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

void benchReference() {
    bench::ReferenceServer reference;
    if (!reference.start(serverAddress, referencePorts)) {
        std::printf("reference server: cannot listen on %s\n", serverAddress.c_str());
        return;
    }
    measure("reference server", referencePorts);
    printIdleFigures("reference server", referencePorts);
}

bool allIdle(const CMonitorDlg& dlg) {
    for (const auto& slot : dlg.portSlots) {
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
    for (const auto& slot : dlg.portSlots) {
        if (slot.state.load() != Listening) {
            std::printf("%s: the server did not start on ports %d to %d\n", variant::productName,
                        monitorPorts.front(), monitorPorts.back());
            return;
        }
    }
    std::string who = std::string(variant::productName) + ", logging off";
    measure(who.c_str(), monitorPorts);

    w.setCheck(ids::loggingCheck, true);
    auto logged = bench::measurePipelined(serverAddress, {monitorPorts[0]}, pipelinedFrames / 10);
    std::printf("%-28s pipelined, one connection: %.0f frames/s (%ld wrong or missing)\n",
                (std::string(variant::productName) + ", logging on").c_str(),
                logged.framesPerSecond, logged.mismatches);
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
