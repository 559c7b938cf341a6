#include "net/connection_reads.h"

#include "net/service_threads.h"
#include "platform/sock_wake.h"

namespace net {

std::optional<std::span<const std::uint8_t>> readWhatArrived(Service& service,
                                                             const ListenerRun& run, sock::Socket s,
                                                             ReadBuffer& buffer) {
    for (;;) {
        if (service.stopSeen(run)) return std::nullopt;
        const int got =
            sock::recv(s, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()));
        if (got > 0)
            return std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(got));
        if (got == 0) {
            if (!service.stopSeen(run)) service.showPeerLabel(run.slot, "", &run);
            return std::nullopt;
        }
        const int error = sock::lastError();
        if (error != sock::wsaEWOULDBLOCK) {
            if (!service.stopSeen(run)) traceLine(service.window(), "recv error: %d \r\n", error);
            return std::nullopt;
        }
        if (!service.waitReadable(run, s)) return std::nullopt;
    }
}

bool sendWhole(Service& service, const ListenerRun& run, sock::Socket s, std::string_view bytes) {
    const sock::Sent sent =
        sock::sendWholeUnlessWoken(s, bytes.data(), static_cast<int>(bytes.size()), run.wakeUp);
    if (sent == sock::Sent::Failed && !service.stopSeen(run)) {
        traceLine(service.window(), "send error: %d \r\n", sock::lastError());
    }
    return sent == sock::Sent::Whole;
}

}  // namespace net
