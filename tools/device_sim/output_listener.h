// Stands in for the device's own port, to which Kelvane's output sender
// connects when the device holds no connection open: accepts connections
// one after another and prints every output frame.
#pragma once

#include <atomic>
#include <string>

#include "device_sim/options.h"
#include "device_sim/printer.h"
#include "platform/sock.h"

namespace devsim {

class OutputListener {
public:
    OutputListener(const Options& options, Printer& printer)
        : options_(options), printer_(printer) {}
    OutputListener(const OutputListener&) = delete;
    OutputListener& operator=(const OutputListener&) = delete;
    ~OutputListener();

    // Binds and listens; an empty text on success, else what failed.
    std::string open();
    // Serves connections until stop is set, --outputs frames have arrived or
    // the time of --duration is up.
    void run(const std::atomic<bool>& stop);

    long framesReceived() const { return frames_.load(); }
    bool sawStrayBytes() const { return stray_.load(); }
    bool reachedWantedFrames() const;

private:
    bool finished(const std::atomic<bool>& stop) const;
    void serve(sock::Socket connection, const std::string& peer, const std::atomic<bool>& stop);

    const Options& options_;
    Printer& printer_;
    sock::Socket listener_ = sock::invalidSocket;
    std::atomic<long> frames_{0};
    std::atomic<bool> stray_{false};
};

}  // namespace devsim
