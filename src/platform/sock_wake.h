// Waiting without polling: a thread blocks until its socket is readable or
// its run is woken (a stop, or the window's close), and nothing else wakes
// it. One implementation per platform.
#pragma once

#include <atomic>

#include "platform/sock.h"

namespace sock {

// A wake-up handle. Once signalled it stays signalled: every wait that
// includes it, now or later, returns at once. All the threads of one run
// share one, so that one signal ends every wait of the run.
class WakeUp {
public:
    WakeUp();
    ~WakeUp();
    WakeUp(const WakeUp&) = delete;
    WakeUp& operator=(const WakeUp&) = delete;

    // false when the system had no handle to give; error() says why, as a
    // Winsock error number.
    bool valid() const { return waitEnd_ != invalidSocket; }
    int error() const { return error_; }
    // From any thread, any number of times.
    void signal();

    // The handle a wait watches, and the one a signal writes to (the same on
    // platforms with an event descriptor).
    Socket waitEnd() const { return waitEnd_; }

private:
    Socket waitEnd_ = invalidSocket;
    Socket signalEnd_ = invalidSocket;
    int error_ = 0;
    std::atomic<bool> signalled_{false};
};

enum class Wait { Readable, Woken, TimedOut, Failed };

inline constexpr long noTimeLimit = -1;

// Blocks until s is readable (a byte, its end, a pending connection, or an
// error for the next call to report), or the wake-up is signalled, or the
// time has passed. Woken wins when both hold. Failed (lastError() says why)
// when s is no socket.
Wait waitReadableOrWoken(Socket s, const WakeUp& wakeUp, long timeoutMicroseconds = noTimeLimit);
// The same for room to send: Readable stands for "s takes bytes again"
// (or has an error for the next send to report).
Wait waitWritableOrWoken(Socket s, const WakeUp& wakeUp);
// Sends every byte on a non-blocking socket, waiting for room while it has
// none: a partial send is never the end. Woken when the wake-up came first
// (some bytes may have gone); Failed when a send or the wait failed, with
// lastError() saying why.
enum class Sent { Whole, Woken, Failed };
Sent sendWholeUnlessWoken(Socket s, const char* data, int length, const WakeUp& wakeUp);
// Blocks until the wake-up is signalled or the time has passed; true when
// woken.
bool sleepUnlessWoken(const WakeUp& wakeUp, long timeoutMicroseconds);
// connect, except that a signal of the wake-up, before or while it waits
// for the peer's answer, makes it fail at once with wsaEINTR.
int connectUnlessWoken(Socket s, const SockAddrIn& address, const WakeUp& wakeUp);

}  // namespace sock
