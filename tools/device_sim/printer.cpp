#include "device_sim/printer.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace devsim {
namespace {

std::string timeOfDay() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(now);
    auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    char text[32];
    std::tm* local = std::localtime(&seconds);
    std::size_t length = std::strftime(text, sizeof text, "%H:%M:%S", local);
    std::snprintf(text + length, sizeof text - length, ".%03d", static_cast<int>(millis));
    return text;
}

}  // namespace

void Printer::event(const std::string& text) {
    if (quiet_) return;
    std::lock_guard lock(mutex_);
    std::printf("%s %s\n", timeOfDay().c_str(), text.c_str());
    std::fflush(stdout);
}

void Printer::summary(const std::string& text) {
    std::lock_guard lock(mutex_);
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

void Printer::error(const std::string& text) {
    std::lock_guard lock(mutex_);
    std::fprintf(stderr, "device_sim: %s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace devsim
