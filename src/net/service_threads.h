// The threads of the network service: a listener per port and a connection
// thread per accepted device.
#pragma once

#include <memory>
#include <string>

#include "net/frames.h"
#include "net/listener_run.h"
#include "net/service.h"
#include "variant_constants.h"

namespace net {

// Accepts each connection on the run's listening socket and hands it to a
// connection thread; cleans the slot up when it is asked to stop.
void listenThread(Service& service, const std::shared_ptr<ListenerRun>& run);

// Serves one accepted connection and closes it.
void connectionThread(Service& service, const std::shared_ptr<ListenerRun>& run, sock::Socket s,
                      const sock::SockAddrIn& peer);
void serveKelvaneDevice(Service& service, ListenerRun& run, sock::Socket s,
                        const sock::SockAddrIn& peer);
void serveSorrelDevice(Service& service, ListenerRun& run, sock::Socket s,
                       const sock::SockAddrIn& peer);

std::string connectedFromText(const std::string& peerAddress);

}  // namespace net
