// What every headless window of a test shares with the test's driver: the
// queued scripts and answers, and the records of what the windows showed.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui_headless.h"

namespace ui::headless {

struct Session {
    std::mutex mutex;
    std::deque<std::function<void(Window&)>> scripts;
    std::deque<FileChoice> fileDialogAnswers;
    std::vector<std::string> messageBoxes;
    std::vector<std::string> messageBoxCaptions;
    std::vector<FileDialogRequest> fileDialogRequests;
    std::atomic<bool> failNextWorkerCall{false};
    std::vector<Image> clipboardImages;
    std::optional<std::string> clipboardText;
};

Session& session();
// Throws, once, when the test asked the next worker call to fail.
void throwIfAWorkerCallMustFail();
std::optional<std::function<void(Window&)>> takeModalScript();

}  // namespace ui::headless
