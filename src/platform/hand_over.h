// What workers hand to the window thread without waiting for it. They add
// to what is gathered under a short lock, and at most one delivery is queued
// at a time: however fast they give, the window thread gets one trip that
// takes everything gathered until it runs.
#pragma once

#include <mutex>
#include <utility>

namespace ui {

template <class Gathered>
class HandOver {
public:
    // Any thread. gather(Gathered&) runs under the lock and returns whether
    // it left the window thread something new to do; the first such give
    // since the last take calls post(), which queues the delivery and must
    // not wait. A post that throws queues nothing: the throw goes on to the
    // caller, and the next give posts for what is still gathered, even when
    // it adds nothing itself.
    template <class Gather, class Post>
    void give(Gather&& gather, Post&& post) {
        {
            std::lock_guard lock(mutex_);
            const bool added = gather(gathered_);
            if (queued_ || !(added || unposted_)) return;
            queued_ = true;
            unposted_ = false;
        }
        try {
            post();
        } catch (...) {
            std::lock_guard lock(mutex_);
            queued_ = false;
            unposted_ = true;
            throw;
        }
    }

    // The delivery, on the window thread: runs take(Gathered&) under the
    // lock and returns what it returns; a give after it queues a new one.
    template <class Take>
    auto take(Take&& take) {
        std::lock_guard lock(mutex_);
        queued_ = false;
        unposted_ = false;
        return take(gathered_);
    }

    // Runs fn(Gathered&) under the lock, queueing nothing: for the window
    // thread's own writes to what the deliveries compare against.
    template <class Fn>
    auto with(Fn&& fn) {
        std::lock_guard lock(mutex_);
        return fn(gathered_);
    }

private:
    std::mutex mutex_;
    Gathered gathered_{};
    bool queued_ = false;
    // Gathered with no delivery queued for it: its post threw.
    bool unposted_ = false;
};

}  // namespace ui
