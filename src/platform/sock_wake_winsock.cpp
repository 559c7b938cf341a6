// The wake-up handle as a loopback connection: a signal sends one byte that
// nobody reads, so the receiving end stays readable in every later select.
#include <winsock2.h>

#include "platform/sock_wake.h"

namespace sock {

namespace {

sockaddr_in loopback(u_short netPort) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    address.sin_port = netPort;
    return address;
}

bool sameEndpoint(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_port == b.sin_port && a.sin_addr.s_addr == b.sin_addr.s_addr;
}

// A connected pair over 127.0.0.1: (receiving end, sending end). The
// receiving end is the accepted connection whose peer is the sending end, so
// that a stranger who connects to the short-lived port first is turned away.
bool makePair(SOCKET& receiving, SOCKET& sending) {
    const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) return false;
    sockaddr_in address = loopback(0);
    int length = sizeof address;
    bool made =
        ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(listener, 1) == 0 &&
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    sending = made ? ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
    made = sending != INVALID_SOCKET &&
           ::connect(sending, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    sockaddr_in own{};
    length = sizeof own;
    made = made && ::getsockname(sending, reinterpret_cast<sockaddr*>(&own), &length) == 0;
    receiving = INVALID_SOCKET;
    while (made) {
        sockaddr_in peer{};
        length = sizeof peer;
        receiving = ::accept(listener, reinterpret_cast<sockaddr*>(&peer), &length);
        if (receiving == INVALID_SOCKET) {
            made = false;
        } else if (sameEndpoint(peer, own)) {
            break;
        } else {
            ::closesocket(receiving);
            receiving = INVALID_SOCKET;
        }
    }
    const int error = made ? 0 : ::WSAGetLastError();
    ::closesocket(listener);
    if (!made && sending != INVALID_SOCKET) ::closesocket(sending);
    ::WSASetLastError(error);
    return made;
}

}  // namespace

WakeUp::WakeUp() {
    SOCKET receiving = INVALID_SOCKET;
    SOCKET sending = INVALID_SOCKET;
    if (!makePair(receiving, sending)) {
        error_ = ::WSAGetLastError();
        return;
    }
    waitEnd_ = static_cast<Socket>(receiving);
    signalEnd_ = static_cast<Socket>(sending);
}

WakeUp::~WakeUp() {
    if (!valid()) return;
    ::closesocket(static_cast<SOCKET>(waitEnd_));
    ::closesocket(static_cast<SOCKET>(signalEnd_));
}

void WakeUp::signal() {
    if (!valid() || signalled_.exchange(true)) return;
    const char byte = 1;
    ::send(static_cast<SOCKET>(signalEnd_), &byte, 1, 0);
}

namespace {

// select on the sockets that are not invalidSocket; the time-out is in
// microseconds, negative for none. The number ready, or SOCKET_ERROR.
int selectOn(Socket a, Socket b, fd_set& readable, long timeoutMicroseconds) {
    FD_ZERO(&readable);
    if (a != invalidSocket) FD_SET(static_cast<SOCKET>(a), &readable);
    if (b != invalidSocket) FD_SET(static_cast<SOCKET>(b), &readable);
    timeval timeout{};
    timeout.tv_sec = timeoutMicroseconds / 1000000;
    timeout.tv_usec = timeoutMicroseconds % 1000000;
    return ::select(0, &readable, nullptr, nullptr, timeoutMicroseconds >= 0 ? &timeout : nullptr);
}

}  // namespace

Wait waitReadableOrWoken(Socket s, const WakeUp& wakeUp, long timeoutMicroseconds) {
    fd_set readable;
    const int ready = selectOn(s, wakeUp.waitEnd(), readable, timeoutMicroseconds);
    if (ready == SOCKET_ERROR) return Wait::Failed;
    if (wakeUp.valid() && FD_ISSET(static_cast<SOCKET>(wakeUp.waitEnd()), &readable)) {
        return Wait::Woken;
    }
    if (ready == 0) return Wait::TimedOut;
    return Wait::Readable;
}

Wait waitWritableOrWoken(Socket s, const WakeUp& wakeUp) {
    fd_set writable;
    fd_set readable;
    FD_ZERO(&writable);
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(s), &writable);
    if (wakeUp.valid()) FD_SET(static_cast<SOCKET>(wakeUp.waitEnd()), &readable);
    if (::select(0, &readable, &writable, nullptr, nullptr) == SOCKET_ERROR) return Wait::Failed;
    if (wakeUp.valid() && FD_ISSET(static_cast<SOCKET>(wakeUp.waitEnd()), &readable)) {
        return Wait::Woken;
    }
    return Wait::Readable;
}

bool sleepUnlessWoken(const WakeUp& wakeUp, long timeoutMicroseconds) {
    if (!wakeUp.valid()) {
        ::Sleep(static_cast<DWORD>(timeoutMicroseconds / 1000));
        return false;
    }
    fd_set readable;
    return selectOn(invalidSocket, wakeUp.waitEnd(), readable, timeoutMicroseconds) > 0;
}

int connectUnlessWoken(Socket s, const SockAddrIn& address, const WakeUp& wakeUp) {
    if (!wakeUp.valid()) return connect(s, address);
    const auto socket = static_cast<SOCKET>(s);
    const auto wake = static_cast<SOCKET>(wakeUp.waitEnd());
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) return SOCKET_ERROR;
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = address.port;
    remote.sin_addr.s_addr = address.addr;
    int error = 0;
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
        error = ::WSAGetLastError();
    }
    if (error == WSAEWOULDBLOCK) {
        fd_set readable;
        fd_set writable;
        fd_set failed;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(wake, &readable);
        FD_SET(socket, &writable);
        FD_SET(socket, &failed);
        // An unanswered connect is ended by Winsock itself, as a blocking
        // one is.
        if (::select(0, &readable, &writable, &failed, nullptr) == SOCKET_ERROR) {
            error = ::WSAGetLastError();
        } else if (FD_ISSET(wake, &readable)) {
            error = WSAEINTR;
        } else if (FD_ISSET(socket, &failed)) {
            int pending = 0;
            int length = sizeof pending;
            ::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending), &length);
            error = pending != 0 ? pending : WSAECONNREFUSED;
        } else {
            error = 0;
        }
    }
    u_long blocking = 0;
    ::ioctlsocket(socket, FIONBIO, &blocking);
    if (error == 0) return 0;
    ::WSASetLastError(error);
    return SOCKET_ERROR;
}

}  // namespace sock
