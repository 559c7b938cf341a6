// Window updates shared by the listeners, the connections and the server
// button: the peer labels and Kelvane's ON/OFF buttons.
#include "net/listener_run.h"
#include "net/service.h"

namespace net {

void Service::onWindowWhileRunning(const ListenerRun& run, const std::function<void()>& fn) {
    window_.callOnWindow([&] {
        if (!run.stopping.load()) fn();
    });
}

// On the window thread: writes the texts the connections handed over, each
// only while its run is the slot's run and not stopping.
void Service::writePendingPeerLabels() {
    const auto writes = peerLabels_.take([this](PeerLabels& labels) {
        std::array<std::optional<std::string>, portSlotCount> taken;
        for (std::size_t i = 0; i < taken.size(); ++i) {
            auto& pending = labels.pending[i];
            if (!pending) continue;
            const bool current =
                listenerRuns[i].get() == pending->run && !listenerRuns[i]->stopping.load();
            if (current && labels.shown[i] != pending->text) {
                // Recorded before the write, so that a frame that wants
                // the text the write replaces hands it over again.
                labels.shown[i] = pending->text;
                taken[i] = std::move(pending->text);
            }
            pending.reset();
        }
        return taken;
    });
    for (std::size_t i = 0; i < writes.size(); ++i) {
        if (writes[i]) window_.showPeerLabel(static_cast<int>(i), *writes[i]);
    }
}

void Service::showPeerLabel(int slot, const std::string& text, const ListenerRun* run) {
    const auto index = static_cast<std::size_t>(slot);
    if (run == nullptr) {
        peerLabels_.with([&](PeerLabels& labels) {
            labels.shown[index] = text;
            labels.pending[index].reset();
        });
        window_.showPeerLabel(slot, text);
        return;
    }
    peerLabels_.give(
        [&](PeerLabels& labels) {
            auto& pending = labels.pending[index];
            if (pending ? pending->text == text : labels.shown[index] == text) return false;
            pending = PendingPeerLabel{text, run};
            return true;
        },
        [this] { window_.postToWindow([this] { writePendingPeerLabels(); }); });
}

std::optional<std::string> Service::peerLabelOnItsWay(int slot) {
    return peerLabels_.with([slot](PeerLabels& labels) -> std::optional<std::string> {
        const auto& pending = labels.pending[static_cast<std::size_t>(slot)];
        if (!pending) return std::nullopt;
        return pending->text;
    });
}

void Service::enableOutputButtons(const ListenerRun& run) {
    if (outputButtonsEnabled_.load() != 0) return;
    onWindowWhileRunning(run, [&] {
        window_.enableOutputButtons(true);
        outputButtonsEnabled_.store(1);
    });
}

void Service::disableOutputButtons() {
    window_.enableOutputButtons(false);
    outputButtonsEnabled_.store(0);
}

}  // namespace net
