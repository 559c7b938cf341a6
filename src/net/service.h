// The network service: the port slots, the listeners' runs, the guards of
// the connection the output sender uses, the peer labels on their way to
// the window and Kelvane's output senders.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "net/port_slot.h"
#include "platform/sock.h"

namespace net {

struct ListenerRun;
struct OutputSenders;

class Service {
public:
    Service();
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // The end of the window: every listener and connection is asked to stop
    // and every blocked socket woken, without waiting for any of them, since
    // they may be waiting for the window thread.
    void stopForClose();
    // Kelvane: drops the frames not yet sent and ends a connect in progress;
    // a stop also waits for the senders, the close does not.
    void stopOutputSenders(bool waitForThem);

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
    // Peer labels. A connection hands its text over without waiting; the
    // window thread compares and writes, the newest text of a slot winning.
    // peerLabelTexts is what the label shows or is about to show, so that a
    // frame that changes nothing costs no trip to the window thread.
    struct PendingPeerLabel {
        std::string text;
        const ListenerRun* run;  // written only while it is the slot's run
    };
    std::mutex peerLabelGuard;
    std::array<std::optional<std::string>, portSlotCount> peerLabelTexts;
    std::array<std::optional<PendingPeerLabel>, portSlotCount> pendingPeerLabels;
    bool peerLabelWriteQueued = false;
    // Kelvane: the ON/OFF buttons have been enabled since the last disable.
    std::atomic<std::int32_t> outputButtonsEnabled{0};
    // Kelvane: the frames of the clicks go out from a sender per port. A
    // stop or the close drops the frames not yet sent and ends a connect in
    // progress; a stop also waits for the senders.
    std::unique_ptr<OutputSenders> outputSenders;
};

}  // namespace net
