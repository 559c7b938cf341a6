// The open connections of a run, and in Kelvane which of them the slot's
// connSock names: the connection of the device at PortSlot.peerAddr.
#include "net/listener_run.h"
#include "net/service.h"
#include "variant_constants.h"

namespace net {

namespace {

constexpr bool hasOutputs = variant::outputCount > 0;

}  // namespace

bool Service::acceptConnection(ListenerRun& run, sock::Socket s, std::uint32_t peerAddr) {
    return run.onConnections([&](std::vector<ListenerRun::Connection>& connections, bool stopping) {
        if (stopping) return false;
        connections.push_back({s, peerAddr});
        if constexpr (hasOutputs) {
            const auto index = static_cast<std::size_t>(run.slot);
            PortSlot& slot = portSlots[index];
            std::lock_guard lock(connSockGuards[index]);
            if (slot.connSock.load() == 0 || slot.peerAddr.load() == peerAddr) {
                slot.connSock.store(s);
            }
        }
        return true;
    });
}

void Service::endConnection(ListenerRun& run, sock::Socket s) {
    run.onConnections([&](std::vector<ListenerRun::Connection>& connections, bool stopping) {
        std::erase_if(connections,
                      [s](const ListenerRun::Connection& open) { return open.socket == s; });
        if constexpr (hasOutputs) {
            const auto index = static_cast<std::size_t>(run.slot);
            PortSlot& slot = portSlots[index];
            std::lock_guard lock(connSockGuards[index]);
            if (slot.connSock.load() != s) return;
            sock::Socket next = 0;
            if (!stopping) {
                const std::uint32_t device = slot.peerAddr.load();
                for (auto open = connections.rbegin(); open != connections.rend(); ++open) {
                    if (open->peerAddr == device) {
                        next = open->socket;
                        break;
                    }
                }
            }
            slot.connSock.store(next);
        }
    });
}

}  // namespace net
