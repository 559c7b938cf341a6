// What the network service asks of the window: the window implements it,
// and the service never sees a control. Calls marked "any thread" never
// wait for the window thread, which may itself be waiting on the network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "history/change.h"
#include "net/frames.h"

namespace net {

class WindowPort {
public:
    // Any thread: starts body on a worker the window joins at its close;
    // false when no thread could be started.
    virtual bool startWorker(std::function<void()> body) = 0;
    // Any thread: queues work for the window thread and returns at once;
    // work queued after the window closed never runs. Throws when it
    // cannot be queued.
    virtual void postToWindow(std::function<void()> work) = 0;
    // Any thread but the window's: runs work on the window thread and
    // waits for it; false when the window is gone. The caller holds no
    // lock and no state the window thread may be waiting for.
    virtual bool callOnWindow(const std::function<void()>& work) = 0;
    // Any thread: a developer trace line (CP932).
    virtual void traceText(std::string_view line) = 0;

    // Any thread: the input states as bits (bit k-1 for input k).
    virtual std::uint8_t inputStates() const = 0;
    // Any thread: a frame's inputs, with the device and port for the
    // history.
    virtual void applyInputs(frames::InputUpdate update, history::Source source) = 0;
    // Any thread: the lamps of the inputs (bit k-1 for input k) repaint,
    // once for every frame of a read.
    virtual void repaintInputs(std::uint8_t inputs) = 0;
    // Any thread: every input off, as the end of a listener leaves them.
    virtual void clearInputs() = 0;
    // Any thread: the log line of the frame a device sent from peerAddress,
    // made now and added to lines, "\n"-ended (nothing while logging is
    // off); logRead hands a read's lines to the log together, in order, and
    // empties them.
    virtual void logFrame(const std::string& peerAddress, std::string& lines) = 0;
    virtual void logRead(std::string& lines) = 0;

    // Window thread: the peer label under a port.
    virtual void showPeerLabel(int slot, const std::string& text) = 0;
    // Window thread, Kelvane: the ON/OFF buttons.
    virtual void enableOutputButtons(bool enable) = 0;
    // Window thread: the server button and status as a stopped server shows
    // them, when the last start's listener ended on its own.
    virtual void showServerStopped() = 0;

protected:
    ~WindowPort() = default;
};

// A developer trace line, formatted like printf into at most 255 bytes cut
// on a whole character; Kelvane keeps no trace and formats nothing. Text
// from outside is always an argument.
void traceLine(WindowPort& window, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
// What the trace box keeps of a burst, in bytes: formatting more is waste.
inline constexpr std::size_t traceKeptBytes = 32 * 1024;

}  // namespace net
