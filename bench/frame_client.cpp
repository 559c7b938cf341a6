#include "frame_client.h"

#include <thread>

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

sock::Socket connectTo(const std::string& address, int port) {
    sock::Socket s = sock::tcpSocket();
    if (s == sock::invalidSocket) return s;
    sock::SockAddrIn where;
    sock::inetPton(address, &where.addr);
    where.port = sock::htons(static_cast<std::uint16_t>(port));
    sock::setNoDelay(s);
    if (sock::connect(s, where) != 0) {
        sock::closesocket(s);
        return sock::invalidSocket;
    }
    return s;
}

bool receiveExactly(sock::Socket s, char* buffer, int length) {
    int have = 0;
    while (have < length) {
        int got = sock::recv(s, buffer + have, length - have);
        if (got <= 0) return false;
        have += got;
    }
    return true;
}

// 0xFF is left out: Sorrel answers it with nothing.
char frameValue(long n) {
    return static_cast<char>(n % 0x20);
}

}  // namespace

devsim::RoundTripSummary measureRoundTrips(const std::string& address, int port, int frames) {
    sock::Socket s = connectTo(address, port);
    if (s == sock::invalidSocket) return {};
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(frames));
    for (int n = 0; n < frames; ++n) {
        const char frame[3] = {static_cast<char>(0xFA), static_cast<char>(0xF0), frameValue(n)};
        char reply[2];
        auto sentAt = Clock::now();
        if (sock::send(s, frame, 3) != 3 || !receiveExactly(s, reply, 2)) break;
        std::chrono::duration<double, std::micro> trip = Clock::now() - sentAt;
        samples.push_back(trip.count());
    }
    sock::closesocket(s);
    return devsim::summarise(std::move(samples));
}

long sendPaced(const std::string& address, int port, std::chrono::milliseconds period,
               std::chrono::milliseconds duration) {
    sock::Socket s = connectTo(address, port);
    if (s == sock::invalidSocket) return 0;
    long answered = 0;
    const auto end = Clock::now() + duration;
    for (auto next = Clock::now(); next < end; next += period) {
        std::this_thread::sleep_until(next);
        const char frame[3] = {static_cast<char>(0xFA), static_cast<char>(0xF0),
                               frameValue(answered)};
        char reply[2];
        if (sock::send(s, frame, 3) != 3 || !receiveExactly(s, reply, 2)) break;
        ++answered;
    }
    sock::closesocket(s);
    return answered;
}

Throughput measurePipelined(const std::string& address, const std::vector<int>& ports,
                            int framesPerConnection) {
    std::vector<sock::Socket> sockets;
    for (int port : ports) sockets.push_back(connectTo(address, port));
    for (sock::Socket s : sockets) {
        if (s == sock::invalidSocket) return {};
    }
    std::vector<long> mismatches(sockets.size(), 0);
    std::vector<long> received(sockets.size(), 0);
    auto start = Clock::now();
    {
        std::vector<std::jthread> threads;
        for (std::size_t i = 0; i < sockets.size(); ++i) {
            sock::Socket s = sockets[i];
            threads.emplace_back([s, framesPerConnection] {
                constexpr int batch = 64;
                char bytes[batch * 3];
                for (int n = 0; n < framesPerConnection; n += batch) {
                    int count = std::min(batch, framesPerConnection - n);
                    for (int k = 0; k < count; ++k) {
                        bytes[k * 3] = static_cast<char>(0xFA);
                        bytes[k * 3 + 1] = static_cast<char>(0xF0);
                        bytes[k * 3 + 2] = frameValue(n + k);
                    }
                    if (sock::send(s, bytes, count * 3) != count * 3) return;
                }
            });
            // Reads what has arrived, so that the client is never the
            // slowest side of the batched server.
            threads.emplace_back([s, framesPerConnection, &mismatches, &received, i] {
                char bytes[4096];
                std::string pending;
                long n = 0;
                while (n < framesPerConnection) {
                    const int got = sock::recv(s, bytes, sizeof bytes);
                    if (got <= 0) break;
                    pending.append(bytes, static_cast<std::size_t>(got));
                    std::size_t at = 0;
                    for (; at + 2 <= pending.size() && n < framesPerConnection; at += 2, ++n) {
                        ++received[i];
                        if (pending[at] != static_cast<char>(0xF0) ||
                            pending[at + 1] != frameValue(n)) {
                            ++mismatches[i];
                        }
                    }
                    pending.erase(0, at);
                }
            });
        }
    }
    std::chrono::duration<double> elapsed = Clock::now() - start;
    Throughput result;
    long total = 0;
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        total += received[i];
        result.mismatches += mismatches[i] + (framesPerConnection - received[i]);
        sock::closesocket(sockets[i]);
    }
    result.framesPerSecond = static_cast<double>(total) / elapsed.count();
    return result;
}

IdleDevices::IdleDevices(const std::string& address, const std::vector<int>& ports, int count) {
    for (int n = 0; n < count; ++n) {
        const int port = ports[static_cast<std::size_t>(n) % ports.size()];
        sock::Socket s = connectTo(address, port);
        const char frame[3] = {static_cast<char>(0xFA), static_cast<char>(0xF0), 0x01};
        char reply[2];
        if (s == sock::invalidSocket || sock::send(s, frame, 3) != 3 ||
            !receiveExactly(s, reply, 2)) {
            connected_ = false;
        }
        if (s != sock::invalidSocket) sockets_.push_back(s);
    }
}

IdleDevices::~IdleDevices() {
    for (sock::Socket s : sockets_) sock::closesocket(s);
}

std::chrono::microseconds IdleDevices::awaitServerClose(Clock::time_point since,
                                                        std::chrono::milliseconds limit) {
    auto deadline = since + limit;
    for (sock::Socket s : sockets_) {
        while (true) {
            if (Clock::now() > deadline) return std::chrono::microseconds(-1);
            if (sock::selectReadable(s, 1000) != 1) continue;
            char byte;
            if (sock::recv(s, &byte, 1) <= 0) break;
        }
    }
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - since);
}

}  // namespace bench
