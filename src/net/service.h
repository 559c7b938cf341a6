// The network service: the port slots, the listeners' runs, the guards of
// the connection the output sender uses, the peer labels on their way to
// the window and Kelvane's output senders. The window calls it on the
// window thread; its own threads reach the window only through the
// WindowPort it was given.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "net/port_slot.h"
#include "net/window_port.h"
#include "platform/hand_over.h"
#include "platform/sock.h"

namespace net {

struct ListenerRun;
struct OutputSenders;

// Why a start listens on no port: two fields name one port; a socket call
// failed at a step ("S" socket, "B" bind, "L" listen) with a code; or no
// listener thread could be started (the window is closing).
struct StartFailure {
    enum class Kind { DuplicatePorts, SocketCall, NoThread };
    Kind kind = Kind::SocketCall;
    const char* step = "";
    int code = 0;
};

class Service {
public:
    explicit Service(WindowPort& window);
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    WindowPort& window() const { return window_; }

    // Window thread. Listens on the ports given (a slot without one stays
    // idle); nothing listens when it fails.
    std::optional<StartFailure> start(
        const std::array<std::optional<std::uint16_t>, portSlotCount>& ports);
    // Window thread. Stops every listener and its connections and waits
    // until they are idle; clears the peer labels; Kelvane's senders drop
    // the frames not yet sent, and the ON/OFF buttons are disabled.
    void stop();
    // The end of the window: every listener and connection is asked to stop
    // and every blocked socket woken, without waiting for any of them, since
    // they may be waiting for the window thread.
    void stopForClose();

    // Kelvane, window thread: the frame with the output states goes to the
    // device behind every listening port, to port destPort.
    void sendOutputs(int destPort, std::uint8_t bits);
    // Kelvane: drops the frames not yet sent and ends a connect in progress;
    // a stop also waits for the senders, the close does not.
    void stopOutputSenders(bool waitForThem);

    // Peer labels. A connection (run given) hands its text over without
    // waiting and only when it changes the label; the window thread (run
    // null) writes at once. The newest text of a slot wins.
    void showPeerLabel(int slot, const std::string& text, const ListenerRun* run);
    // The text a connection handed over that the window has not yet taken.
    std::optional<std::string> peerLabelOnItsWay(int slot);
    // Kelvane: a frame enables the ON/OFF buttons once; the window thread
    // disables them.
    void enableOutputButtons(const ListenerRun& run);
    void disableOutputButtons();

    // An accepted connection joins its run; false (it is not recorded) when
    // the run is stopping. In Kelvane it names itself in the slot's
    // connSock, which the output sender uses, only when it comes from the
    // slot's peer (the device reconnecting while its old connection is
    // half-open) or when no connection is named there: a port scan or a
    // second device does not take the device's outputs.
    bool acceptConnection(ListenerRun& run, sock::Socket s, std::uint32_t peerAddr);
    // A connection leaves its run before its thread closes it. In Kelvane,
    // when it is the one named in connSock, the newest other open connection
    // from the slot's peer is named instead, or none.
    void endConnection(ListenerRun& run, sock::Socket s);

    // The connection must end: its port stops or has stopped.
    bool stopSeen(const ListenerRun& run) const;
    // Waits until the socket is readable or the run is woken; false when the
    // connection must end instead.
    bool waitReadable(const ListenerRun& run, sock::Socket s) const;

    std::array<PortSlot, portSlotCount> portSlots;
    // The run each slot started last; window thread only.
    std::array<std::shared_ptr<ListenerRun>, portSlotCount> listenerRuns;
    // Counts the starts of the server. A listener's clean-up leaves the
    // window alone once a newer start owns it (a settings load stops and
    // starts again before the listeners' clean-up reaches the window).
    std::atomic<std::uint32_t> serverGeneration{0};
    // Kelvane: the output sender never sends on a connection whose thread
    // is closing it; both take the slot's guard around PortSlot.connSock.
    std::array<std::mutex, portSlotCount> connSockGuards;
    // Kelvane: the frames of the clicks go out from a sender per port.
    std::unique_ptr<OutputSenders> outputSenders;

private:
    // Runs fn on the window thread unless the run has stopped by then, so
    // that an ended connection never writes into a window a newer start owns.
    void onWindowWhileRunning(const ListenerRun& run, const std::function<void()>& fn);
    std::optional<StartFailure> openListenSockets();
    void stopListeners();
    void writePendingPeerLabels();

    WindowPort& window_;
    // What each label shows or is about to show, so that a frame that
    // changes nothing costs no trip to the window thread, and the texts on
    // their way there.
    struct PendingPeerLabel {
        std::string text;
        const ListenerRun* run;  // written only while it is the slot's run
    };
    struct PeerLabels {
        std::array<std::optional<std::string>, portSlotCount> shown;
        std::array<std::optional<PendingPeerLabel>, portSlotCount> pending;
    };
    ui::HandOver<PeerLabels> peerLabels_;
    // Kelvane: the ON/OFF buttons have been enabled since the last disable.
    std::atomic<std::int32_t> outputButtonsEnabled_{0};
};

}  // namespace net
