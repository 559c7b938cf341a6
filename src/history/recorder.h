// The live history: every change of the program's inputs and outputs from
// start-up, recorded by whichever thread makes it, within its bound. A
// change costs the recorder's lock for the length of an append; the window
// copies what it shows without holding that lock while it draws.
#pragma once

#include <functional>
#include <mutex>

#include "history/timeline.h"

namespace history {

// What a change of the program's states did: the rows it wrote and the
// values it wrote into them.
struct RowWrite {
    RowMask written = 0;
    RowMask values = 0;
};

class Recorder {
public:
    // clock gives the local wall-clock time in milliseconds.
    Recorder(RowSet rows, std::function<TimeMs()> clock, Bound bound = {});

    // Runs apply under the recorder's lock, so that changes are kept in the
    // order they were made; apply changes the program's states and returns
    // what it wrote.
    template <class Apply>
    void change(Source source, Apply&& apply) {
        std::lock_guard lock(mutex_);
        const RowWrite write = apply();
        Change next = state_;
        next.on =
            static_cast<RowMask>((state_.on & ~write.written) | (write.values & write.written));
        // Most frames repeat the states: they cost no clock reading.
        if (next.on != state_.on) commit(source, next);
    }
    void serverStarted();
    void serverStopped();

    // Brings a copy of the history up to date (see Timeline::follow).
    void copyTo(Timeline& copy) const;

private:
    void commit(Source source, Change next);
    void setStopped(bool stopped);

    mutable std::mutex mutex_;
    std::function<TimeMs()> clock_;
    Timeline timeline_;
    Change state_;
};

}  // namespace history
