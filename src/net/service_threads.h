// The threads of the network service and the window updates they share.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/frames.h"
#include "net/listener_run.h"
#include "net/service.h"
#include "window/monitor_dlg.h"

namespace net {

// Accepts each connection on the run's listening socket and hands it to a
// connection thread; cleans the slot up when it is asked to stop.
void listenThread(CMonitorDlg& dlg, const std::shared_ptr<ListenerRun>& run);

// Serves one accepted connection and closes it.
void connectionThread(CMonitorDlg& dlg, const std::shared_ptr<ListenerRun>& run, sock::Socket s,
                      const sock::SockAddrIn& peer);
void serveKelvaneDevice(CMonitorDlg& dlg, ListenerRun& run, sock::Socket s,
                        const sock::SockAddrIn& peer);
void serveSorrelDevice(CMonitorDlg& dlg, ListenerRun& run, sock::Socket s,
                       const sock::SockAddrIn& peer);

// Runs fn on the window thread unless the run has stopped by then, so that
// an ended connection never writes into a window a newer start owns.
void onWindowWhileRunning(CMonitorDlg& dlg, const ListenerRun& run,
                          const std::function<void()>& fn);

// The input states as bits (bit k-1 for input k), and a frame's update.
std::uint8_t inputBits(const CMonitorDlg& dlg);
// The frame's device and port go into the history with the change.
void applyInputUpdate(CMonitorDlg& dlg, frames::InputUpdate update, history::Source source);

// Peer labels: a connection thread hands its text over without waiting and
// only when it changes the label (run given); the window thread writes at
// once (run null). The newest text of a slot wins.
void showPeerLabel(CMonitorDlg& dlg, int slot, const std::string& text, const ListenerRun* run);
std::string connectedFromText(const std::string& peerAddress);

// Kelvane: the three ON/OFF buttons.
void enableOutputButtons(CMonitorDlg& dlg, const ListenerRun& run);
void disableOutputButtons(CMonitorDlg& dlg);

}  // namespace net
