#include "history/recorder.h"

#include <utility>

namespace history {

Recorder::Recorder(RowSet rows, std::function<TimeMs()> clock, Bound bound)
    : clock_(std::move(clock)), timeline_(rows, bound) {
    // The history begins at start-up, with the server stopped.
    state_.stopped = 1;
    state_.time = clock_();
    timeline_.append(state_);
}

void Recorder::commit(Source source, Change next) {
    next.address = source.address;
    next.port = source.port;
    next.time = clock_();
    // Kept whole even when nothing drawn changed: an input cleared while
    // the server is stopped must not show as on after the next start.
    state_ = next;
    timeline_.append(next);
}

void Recorder::setStopped(bool stopped) {
    std::lock_guard lock(mutex_);
    Change next = state_;
    next.stopped = stopped ? 1 : 0;
    commit({}, next);
}

void Recorder::serverStarted() {
    setStopped(false);
}

void Recorder::serverStopped() {
    setStopped(true);
}

void Recorder::copyTo(Timeline& copy) const {
    std::lock_guard lock(mutex_);
    copy.follow(timeline_);
}

}  // namespace history
