// Backend-independent part of the dialog framework: the dialog base class,
// control handles, the call gate between threads and the worker set.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <utility>

#include "ui.h"
#include "ui_backend.h"

namespace ui {

namespace {
const char* g_applicationName = "";
// The modal runs of this thread, innermost last.
thread_local std::vector<Dialog*> t_modalRuns;
}  // namespace

void setApplicationName(const char* nameUtf8) {
    g_applicationName = nameUtf8;
}
const char* applicationName() {
    return g_applicationName;
}

// ---- Control ----------------------------------------------------------------

namespace {
template <class F>
void onWindow(Dialog* dialog, F&& fn) {
    if (dialog != nullptr) dialog->CallOnWindowThread(std::forward<F>(fn));
}
}  // namespace

std::string Control::text() const {
    std::string result;
    onWindow(dialog_, [&] { result = dialog_->backend()->text(id_); });
    return result;
}
void Control::setText(std::string_view cp932) const {
    onWindow(dialog_, [&] { dialog_->backend()->setText(id_, cp932); });
}
void Control::enable(bool enabled) const {
    onWindow(dialog_, [&] { dialog_->backend()->enable(id_, enabled); });
}
bool Control::isEnabled() const {
    bool result = false;
    onWindow(dialog_, [&] { result = dialog_->backend()->isEnabled(id_); });
    return result;
}
void Control::show(bool visible) const {
    onWindow(dialog_, [&] { dialog_->backend()->show(id_, visible); });
}
void Control::invalidate() const {
    if (dialog_ == nullptr) return;
    if (dialog_->IsWindowThread()) {
        dialog_->CallOnWindowThread([&] { dialog_->backend()->invalidate(id_); });
    } else {
        dialog_->invalidateFromWorker(id_);
    }
}
void Control::limitText(int bytes) const {
    onWindow(dialog_, [&] { dialog_->backend()->limitText(id_, bytes); });
}
void Control::replaceSel(std::string_view cp932) const {
    onWindow(dialog_, [&] { dialog_->backend()->replaceSel(id_, cp932); });
}
void Control::addString(std::string_view cp932) const {
    onWindow(dialog_, [&] { dialog_->backend()->addString(id_, cp932); });
}
void Control::resetContent() const {
    onWindow(dialog_, [&] { dialog_->backend()->resetContent(id_); });
}
void Control::setCurSel(int index) const {
    onWindow(dialog_, [&] { dialog_->backend()->setCurSel(id_, index); });
}
int Control::curSel() const {
    int result = -1;
    onWindow(dialog_, [&] { result = dialog_->backend()->curSel(id_); });
    return result;
}
bool Control::isChecked() const {
    bool result = false;
    onWindow(dialog_, [&] { result = dialog_->backend()->isChecked(id_); });
    return result;
}
void Control::setChecked(bool checked) const {
    onWindow(dialog_, [&] { dialog_->backend()->setChecked(id_, checked); });
}
void Control::setFont(const Font& font) const {
    onWindow(dialog_, [&] { dialog_->backend()->setFont(id_, font); });
}
void Control::moveTo(const Rect& pixels) const {
    onWindow(dialog_, [&] { dialog_->backend()->moveTo(id_, pixels); });
}
Rect Control::place() const {
    Rect result;
    onWindow(dialog_, [&] { result = dialog_->backend()->place(id_); });
    return result;
}
void Control::setScroll(int max, int page, int pos) const {
    onWindow(dialog_, [&] { dialog_->backend()->setScroll(id_, max, page, pos); });
}
int Control::scrollPos() const {
    int result = 0;
    onWindow(dialog_, [&] { result = dialog_->backend()->scrollPos(id_); });
    return result;
}
Image Control::capture() const {
    Image result;
    onWindow(dialog_, [&] { result = dialog_->backend()->capture(id_); });
    return result;
}

// ---- Dialog -----------------------------------------------------------------

Dialog::Dialog(const DialogLayout& layout, Dialog* owner)
    : layout_(layout), owner_(owner), workers_(std::make_unique<detail::WorkerSet>()) {}

Dialog::~Dialog() {
    // Only the base OnDestroy can run here, the derived part being gone: a
    // window with clean-up of its own is closed before (its owner's close
    // closes it). This only keeps a forgotten one from outliving us.
    if (IsWindowOpen()) backend_->destroy();
    if (owner_ != nullptr) std::erase(owner_->modelessWindows_, this);
    workers_->joinAll();
}

void Dialog::closeModelessWindows() {
    while (!modelessWindows_.empty()) {
        Dialog* window = modelessWindows_.back();
        modelessWindows_.pop_back();
        window->DestroyWindow();
    }
}

void Dialog::openBackend() {
    windowOwner_ =
        owner_ != nullptr ? owner_ : (t_modalRuns.empty() ? nullptr : t_modalRuns.back());
    backend_ = detail::createBackend(*this);
    gate_ = std::make_unique<detail::CallGate>(*backend_);
    // What a closed window's deliveries never took is nobody's now.
    pendingRepaints_.take([](std::vector<int>& ids) { ids.clear(); });
}

int Dialog::DoModal() {
    modeless_ = false;
    openBackend();
    t_modalRuns.push_back(this);
    const int code = backend_->runModal();
    std::erase(t_modalRuns, this);
    workers_->joinAll();
    // The gate refers to the backend: they go together.
    gate_.reset();
    backend_.reset();
    return code;
}

void Dialog::EndDialog(int code) {
    if (backend_) backend_->endDialog(code);
}

bool Dialog::Create() {
    if (IsWindowOpen()) return true;
    modeless_ = true;
    openBackend();
    if (!backend_->create()) return false;
    if (owner_ != nullptr) owner_->modelessWindows_.push_back(this);
    return true;
}

void Dialog::DestroyWindow() {
    if (!IsWindowOpen()) return;
    if (owner_ != nullptr) std::erase(owner_->modelessWindows_, this);
    backend_->destroy();
}

bool Dialog::IsWindowOpen() const {
    return modeless_ && backend_ && backend_->isOpen();
}

void Dialog::BringToFront() {
    if (IsWindowOpen()) backend_->bringToFront();
}

Rect Dialog::MapDialogRect(const Rect& dialogUnits) {
    Rect result;
    CallOnWindowThread([&] { result = backend_->mapDialogRect(dialogUnits); });
    return result;
}

void Dialog::SetTimer(int id, int intervalMs) {
    CallOnWindowThread([&] { backend_->setTimer(id, intervalMs); });
}

void Dialog::KillTimer(int id) {
    CallOnWindowThread([&] { backend_->killTimer(id); });
}

int Dialog::FocusedControl() {
    int result = idNone;
    CallOnWindowThread([&] { result = backend_->focusedControl(); });
    return result;
}

bool Dialog::CopyImageToClipboard(const Image& image) {
    bool copied = false;
    CallOnWindowThread([&] { copied = backend_->copyImage(image); });
    return copied;
}

bool Dialog::CopyTextToClipboard(std::string_view cp932) {
    bool copied = false;
    CallOnWindowThread([&] { copied = backend_->copyText(cp932); });
    return copied;
}

void Dialog::SetTitle(std::string_view cp932) {
    CallOnWindowThread([&] { backend_->setCaption(cp932); });
}
std::string Dialog::Title() {
    std::string result;
    CallOnWindowThread([&] { result = backend_->caption(); });
    return result;
}
void Dialog::SetIcon(int iconResourceId, bool big) {
    CallOnWindowThread([&] { backend_->setIcon(iconResourceId, big); });
}
bool Dialog::IsIconic() {
    bool result = false;
    CallOnWindowThread([&] { result = backend_->isIconic(); });
    return result;
}
Size Dialog::GetClientSize() {
    Size result;
    CallOnWindowThread([&] { result = backend_->clientSize(); });
    return result;
}
Size Dialog::SystemIconSize() {
    return detail::systemIconSize();
}

void Dialog::ShowMessage(std::string_view cp932) {
    CallOnWindowThread([&] { backend_->messageBox(cp932); });
}

FileChoice Dialog::FileDialog(const FileDialogRequest& request) {
    FileChoice result;
    CallOnWindowThread([&] { result = backend_->fileDialog(request); });
    return result;
}

bool Dialog::StartWorker(std::function<void()> body) {
    if (!gate_ || gate_->closing()) return false;
    return workers_->start(std::move(body));
}

bool Dialog::StartWorkerLetGoAtClose(std::function<void()> body) {
    if (!gate_ || gate_->closing()) return false;
    return workers_->start(std::move(body), true);
}

bool Dialog::CallOnWindowThread(const std::function<void()>& fn) {
    if (!backend_ || !gate_) return false;
    return gate_->call(fn);
}

void Dialog::invalidateFromWorker(int id) {
    // The worker hands the request over and goes on; the colour is decided
    // when the control repaints.
    pendingRepaints_.give(
        [id](std::vector<int>& ids) {
            if (std::find(ids.begin(), ids.end(), id) != ids.end()) return false;
            ids.push_back(id);
            return true;
        },
        [this] { PostToWindowThread([this] { repaintHandedOver(); }); });
}

void Dialog::repaintHandedOver() {
    const std::vector<int> ids =
        pendingRepaints_.take([](std::vector<int>& waiting) { return std::exchange(waiting, {}); });
    for (const int id : ids) backend_->invalidate(id);
}

void Dialog::PostToWindowThread(std::function<void()> fn) {
    if (gate_) gate_->post(std::move(fn));
}

bool Dialog::IsWindowThread() const {
    return backend_ && backend_->isWindowThread();
}

namespace {

bool isPushButton(Kind kind) {
    return kind == Kind::PushButton || kind == Kind::DefPushButton;
}

}  // namespace

// As the platform's dialog manager: Enter presses the focused push button;
// with the focus elsewhere it is the command of the default push button, or
// OK where the template has none.
bool Dialog::pressEnter() {
    const int focused = backend_ ? backend_->focusedControl() : idNone;
    int command = idOk;
    for (const ControlLayout& control : layout_.controls) {
        if (control.id == focused && isPushButton(control.kind)) {
            command = focused;
            break;
        }
        if (control.kind == Kind::DefPushButton) command = control.id;
    }
    if (backend_ && command != idOk && !backend_->isEnabled(command)) return true;
    OnCommand(Notification::Clicked, command);
    return true;
}

bool Dialog::PreTranslateMessage(const KeyMessage& message) {
    switch (message.key) {
        case Key::Enter:
            return pressEnter();
        case Key::Escape:
            OnCancel();
            return true;
        case Key::Other:
            break;
    }
    return false;
}

const Brush* Dialog::OnCtlColor(CtlColorRequest&) {
    return nullptr;
}
bool Dialog::OnPaint(PaintContext&) {
    return false;
}
void Dialog::closeWith(int code) {
    if (modeless_) {
        DestroyWindow();
    } else {
        EndDialog(code);
    }
}
void Dialog::OnOK() {
    closeWith(idOk);
}
void Dialog::OnCancel() {
    closeWith(idCancel);
}
bool Dialog::OnCommand(Notification notification, int controlId) {
    if (notification != Notification::Clicked) return false;
    if (controlId == idOk) {
        OnOK();
        return true;
    }
    if (controlId == idCancel) {
        OnCancel();
        return true;
    }
    return false;
}

namespace detail {

// ---- WindowBackend ----------------------------------------------------------

void WindowBackend::destroySequence() {
    // As the platform destroys owned windows with their owner, while each
    // is whole, so that its own OnDestroy runs.
    dialog_.closeModelessWindows();
    dialog_.OnDestroy();
    dialog_.gate()->beginClose();
    dialog_.workers_->joinAll();
}

// ---- CallGate ---------------------------------------------------------------

struct CallGate::Pending {
    const std::function<void()>* fn = nullptr;
    bool started = false;
    bool done = false;
    bool abandoned = false;
};

bool CallGate::call(const std::function<void()>& fn) {
    if (backend_.runsCallsDirectly()) {
        {
            std::lock_guard direct(directLock());
            if (closing()) return false;
            if (backend_.takesWorkerCalls()) {
                backend_.workerCallStarts();
                fn();
                return true;
            }
        }
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closing_; });
        return false;
    }
    if (backend_.isWindowThread()) {
        if (closing()) return false;
        fn();
        return true;
    }
    auto pending = std::make_shared<Pending>();
    pending->fn = &fn;
    {
        std::lock_guard lock(mutex_);
        if (closing_) return false;
    }
    backend_.post([this, pending] {
        {
            std::lock_guard lock(mutex_);
            if (pending->abandoned) return;
            pending->started = true;
        }
        (*pending->fn)();
        {
            std::lock_guard lock(mutex_);
            pending->done = true;
        }
        changed_.notify_all();
    });
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending->done || (closing_ && !pending->started); });
    if (!pending->done) {
        pending->abandoned = true;
        return false;
    }
    return true;
}

std::recursive_mutex& CallGate::directLock() {
    static std::recursive_mutex windowThread;
    return windowThread;
}

// Never waits, in either mode: a direct-mode backend runs or queues fn
// itself, since the window thread may hold the direct lock for a long time.
void CallGate::post(std::function<void()> fn) {
    if (closing()) return;
    backend_.post(std::move(fn));
}

void CallGate::beginClose() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
}

bool CallGate::closing() const {
    std::lock_guard lock(mutex_);
    return closing_;
}

// ---- WorkerSet --------------------------------------------------------------

// Whether a worker's body has returned; shared with its thread, which may
// outlive the set once let go.
struct WorkerEnd {
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;

    void finish() {
        {
            std::lock_guard lock(mutex);
            finished = true;
        }
        ended.notify_all();
    }
    bool finishedWithin(std::chrono::milliseconds grace) {
        std::unique_lock lock(mutex);
        return ended.wait_for(lock, grace, [this] { return finished; });
    }
};

struct WorkerSet::Worker {
    std::thread thread;
    std::shared_ptr<WorkerEnd> end = std::make_shared<WorkerEnd>();
    bool letGoAtClose = false;
};

namespace {
// A worker to be let go that is only on its way out still gets joined.
constexpr auto letGoGrace = std::chrono::milliseconds(200);
}  // namespace

WorkerSet::~WorkerSet() {
    joinAll();
}

bool WorkerSet::start(std::function<void()> body, bool letGoAtClose) {
    reapFinished();
    auto worker = std::make_unique<Worker>();
    worker->letGoAtClose = letGoAtClose;
    try {
        worker->thread = std::thread([end = worker->end, body = std::move(body)] {
            try {
                body();
            } catch (...) {
                // A worker's failure must not end the process; it simply ends.
            }
            end->finish();
        });
    } catch (...) {
        return false;
    }
    std::lock_guard lock(mutex_);
    workers_.push_back(std::move(worker));
    return true;
}

void WorkerSet::reapFinished() {
    std::list<std::unique_ptr<Worker>> finished;
    {
        std::lock_guard lock(mutex_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            if ((*it)->end->finishedWithin(std::chrono::milliseconds(0))) {
                finished.push_back(std::move(*it));
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& worker : finished) worker->thread.join();
}

void WorkerSet::joinAll() {
    for (;;) {
        std::list<std::unique_ptr<Worker>> batch;
        {
            std::lock_guard lock(mutex_);
            if (workers_.empty()) return;
            batch.swap(workers_);
        }
        for (auto& worker : batch) {
            if (worker->letGoAtClose && !worker->end->finishedWithin(letGoGrace)) {
                worker->thread.detach();
            } else {
                worker->thread.join();
            }
        }
    }
}

}  // namespace detail
}  // namespace ui
