// Lines on standard output, from any of the simulator's threads, each
// event with the local time to the millisecond.
#pragma once

#include <mutex>
#include <string>

namespace devsim {

class Printer {
public:
    explicit Printer(bool quiet) : quiet_(quiet) {}

    // "12:34:56.789 <text>"; left out with --quiet.
    void event(const std::string& text);
    // Summaries: always printed, without a time.
    void summary(const std::string& text);
    // Failures, on standard error.
    void error(const std::string& text);

private:
    std::mutex mutex_;
    bool quiet_;
};

}  // namespace devsim
