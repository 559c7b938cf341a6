// device_sim: plays a digital-I/O device against a monitor (see --help).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "device_sim/device_session.h"
#include "device_sim/load_run.h"
#include "device_sim/options.h"
#include "device_sim/output_listener.h"
#include "device_sim/printer.h"
#include "device_sim/script.h"
#include "platform/sock.h"

namespace devsim {
namespace {

using Clock = std::chrono::steady_clock;

// The actions of a run: the script file, or one send per --send.
bool loadActions(const Options& options, std::vector<Action>& actions) {
    if (options.scriptPath.empty()) {
        for (const auto& bytes : options.sends)
            actions.push_back(Action{Action::Kind::Send, bytes, 0});
        return true;
    }
    std::ifstream file(options.scriptPath, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "device_sim: cannot read the script %s\n", options.scriptPath.c_str());
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    ParsedScript script = parseScript(text.str());
    if (!script.error.empty()) {
        std::fprintf(stderr, "device_sim: %s:%d: %s\n", options.scriptPath.c_str(),
                     script.errorLine, script.error.c_str());
        return false;
    }
    actions = std::move(script.actions);
    return true;
}

Clock::time_point listenDeadline(const Options& options, Clock::time_point start) {
    if (options.duration <= 0) return Clock::time_point::max();
    return start + std::chrono::duration_cast<Clock::duration>(
                       std::chrono::duration<double>(options.duration));
}

int listenerStatus(const Options& options, const OutputListener& listener, Printer& printer) {
    printer.summary("output frames received " + std::to_string(listener.framesReceived()));
    if (listener.sawStrayBytes()) return exitCheckFailed;
    if (options.outputFrames > 0 && !listener.reachedWantedFrames()) return exitCheckFailed;
    return exitOk;
}

int run(const Options& options) {
    Printer printer(options.quiet);
    if (options.mode == Mode::Load) return runLoad(options, printer);

    std::vector<Action> actions;
    if (options.mode == Mode::Device && !loadActions(options, actions)) return exitUsage;

    auto start = Clock::now();
    OutputListener listener(options, printer);
    std::atomic<bool> stopListener{false};
    std::thread listening;
    if (options.listenPort != 0) {
        std::string failure = listener.open();
        if (!failure.empty()) {
            printer.error(failure);
            return exitNetwork;
        }
        listening = std::thread([&] { listener.run(stopListener); });
    }

    int status = exitOk;
    if (options.mode == Mode::Device) {
        status = runDevice(options, actions, printer);
        // Alone, the listener ends with the device; with --outputs or
        // --duration it runs to its own end.
        if (options.outputFrames == 0 && options.duration <= 0) stopListener = true;
    }
    if (listening.joinable()) {
        auto deadline = listenDeadline(options, start);
        while (!stopListener.load() && !listener.reachedWantedFrames() && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        stopListener = true;
        listening.join();
        int listened = listenerStatus(options, listener, printer);
        if (status == exitOk) status = listened;
    }
    return status;
}

}  // namespace
}  // namespace devsim

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    devsim::ParsedOptions parsed = devsim::parseOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "device_sim: %s\n", parsed.error.c_str());
        return devsim::exitUsage;
    }
    if (parsed.options.mode == devsim::Mode::Help) {
        std::fputs(devsim::helpText().c_str(), stdout);
        return devsim::exitOk;
    }
    sock::startup();
    int status = devsim::run(parsed.options);
    sock::cleanup();
    return status;
}
