#include "reference_server.h"

#include <algorithm>

namespace bench {

bool ReferenceServer::start(const std::string& address, const std::vector<int>& ports) {
    for (int port : ports) {
        sock::Socket listener = sock::tcpSocket();
        sock::SockAddrIn where;
        sock::inetPton(address, &where.addr);
        where.port = sock::htons(static_cast<std::uint16_t>(port));
        sock::setReuseAddr(listener);
        if (sock::bind(listener, where) != 0 || sock::listen(listener, 5) != 0) {
            sock::closesocket(listener);
            stop();
            return false;
        }
        listeners_.push_back(listener);
        acceptors_.emplace_back([this, listener] { acceptLoop(listener); });
    }
    return true;
}

void ReferenceServer::acceptLoop(sock::Socket listener) {
    while (!stopping_.load()) {
        sock::SockAddrIn peer;
        sock::Socket connection = sock::accept(listener, &peer);
        if (connection == sock::invalidSocket) continue;
        sock::setNoDelay(connection);
        std::lock_guard lock(mutex_);
        connections_.push_back(connection);
        if (style_ == Style::Batched) {
            servers_.emplace_back([connection] { serveBatched(connection); });
        } else {
            servers_.emplace_back([connection] { serve(connection); });
        }
    }
}

void ReferenceServer::serve(sock::Socket connection) {
    char frame[3];
    int have = 0;
    while (true) {
        int got = sock::recv(connection, frame + have, 3 - have);
        if (got <= 0) return;
        have += got;
        if (have < 3) continue;
        const char reply[2] = {static_cast<char>(0xF0), frame[2]};
        sock::send(connection, reply, 2);
        have = 0;
    }
}

void ReferenceServer::serveBatched(sock::Socket connection) {
    char bytes[4096];
    char replies[sizeof bytes];
    int have = 0;
    while (true) {
        const int got = sock::recv(connection, bytes + have, static_cast<int>(sizeof bytes) - have);
        if (got <= 0) return;
        have += got;
        int answered = 0;
        int at = 0;
        for (; at + 3 <= have; at += 3) {
            replies[answered++] = static_cast<char>(0xF0);
            replies[answered++] = bytes[at + 2];
        }
        for (int sent = 0; sent < answered;) {
            const int put = sock::send(connection, replies + sent, answered - sent);
            if (put <= 0) return;
            sent += put;
        }
        std::copy(bytes + at, bytes + have, bytes);
        have -= at;
    }
}

void ReferenceServer::stop() {
    stopping_ = true;
    for (sock::Socket listener : listeners_) sock::closesocket(listener);
    for (auto& acceptor : acceptors_) acceptor.join();
    listeners_.clear();
    acceptors_.clear();
    for (sock::Socket connection : connections_) sock::shutdownBoth(connection);
    for (auto& server : servers_) server.join();
    for (sock::Socket connection : connections_) sock::closesocket(connection);
    connections_.clear();
    servers_.clear();
}

}  // namespace bench
