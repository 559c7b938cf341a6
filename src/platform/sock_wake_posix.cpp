// The wake-up handle as an event descriptor in the poll set.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>

#include "platform/sock_posix_error.h"
#include "platform/sock_wake.h"

namespace sock {

namespace {

using Clock = std::chrono::steady_clock;

int fdOf(Socket s) {
    if (s > static_cast<Socket>(INT_MAX)) return -1;
    return static_cast<int>(s);
}

// Polls the entries until one is ready or the deadline passes; the poll's
// result, with interruptions by signals waited out.
int pollUntil(pollfd* entries, nfds_t count, long timeoutMicroseconds) {
    const auto deadline = Clock::now() + std::chrono::microseconds(timeoutMicroseconds);
    for (;;) {
        timespec left{};
        timespec* limit = nullptr;
        if (timeoutMicroseconds >= 0) {
            const auto rest =
                std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
            const long long nanoseconds = rest.count() > 0 ? rest.count() : 0;
            left.tv_sec = static_cast<time_t>(nanoseconds / 1'000'000'000);
            left.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
            limit = &left;
        }
        const int ready = ::ppoll(entries, count, limit, nullptr);
        if (ready >= 0 || errno != EINTR) return ready;
    }
}

}  // namespace

WakeUp::WakeUp() {
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        error_ = detail::winsockErrorOf(errno);
        return;
    }
    waitEnd_ = static_cast<Socket>(fd);
    signalEnd_ = waitEnd_;
}

WakeUp::~WakeUp() {
    if (valid()) ::close(fdOf(waitEnd_));
}

void WakeUp::signal() {
    if (!valid() || signalled_.exchange(true)) return;
    // The counter stays non-zero, as nothing reads it: the descriptor stays
    // readable for every later wait.
    const std::uint64_t one = 1;
    while (::write(fdOf(signalEnd_), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

namespace {

// Waits until s has one of the events or the wake-up is signalled.
Wait waitForOrWoken(Socket s, short events, const WakeUp& wakeUp, long timeoutMicroseconds) {
    const int fd = fdOf(s);
    if (fd < 0) {
        detail::fail(wsaENOTSOCK);
        return Wait::Failed;
    }
    pollfd entries[2] = {{fd, events, 0}, {fdOf(wakeUp.waitEnd()), POLLIN, 0}};
    const nfds_t count = wakeUp.valid() ? 2 : 1;
    const int ready = pollUntil(entries, count, timeoutMicroseconds);
    if (ready < 0) {
        detail::failFromErrno();
        return Wait::Failed;
    }
    if (count == 2 && entries[1].revents != 0) return Wait::Woken;
    if (ready == 0) return Wait::TimedOut;
    if ((entries[0].revents & POLLNVAL) != 0) {
        detail::fail(wsaENOTSOCK);
        return Wait::Failed;
    }
    return Wait::Readable;
}

}  // namespace

Wait waitReadableOrWoken(Socket s, const WakeUp& wakeUp, long timeoutMicroseconds) {
    return waitForOrWoken(s, POLLIN, wakeUp, timeoutMicroseconds);
}

Wait waitWritableOrWoken(Socket s, const WakeUp& wakeUp) {
    return waitForOrWoken(s, POLLOUT, wakeUp, noTimeLimit);
}

bool sleepUnlessWoken(const WakeUp& wakeUp, long timeoutMicroseconds) {
    pollfd entry{fdOf(wakeUp.waitEnd()), POLLIN, 0};
    const nfds_t count = wakeUp.valid() ? 1 : 0;
    return pollUntil(&entry, count, timeoutMicroseconds) > 0;
}

}  // namespace sock
