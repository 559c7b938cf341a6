// How a worker that the window's close lets go still hands work to the
// window: through a link the window cuts when it ends, under a lock of its
// own, so that nothing handed over after the cut reaches a window that is
// gone, and a cut never waits for a worker stuck in the file system.
#pragma once

#include <functional>
#include <mutex>
#include <utility>

template <class Work>
class WindowLink {
public:
    using Post = std::function<void(Work)>;

    explicit WindowLink(Post post) : post_(std::move(post)) {}

    // Any thread. A window that is idle may run the work at once on this
    // thread; the work may ask what the worker shares with the window.
    void toWindow(Work work) {
        std::lock_guard lock(mutex_);
        if (post_) post_(std::move(work));
    }
    // Nothing more reaches the window.
    void cut() {
        std::lock_guard lock(mutex_);
        post_ = nullptr;
    }

private:
    std::mutex mutex_;
    Post post_;
};
