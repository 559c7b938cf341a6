// The socket layer over Winsock 2, whose behaviour the program is written
// for: the calls map one to one.
#include "platform/sock.h"

#include <winsock2.h>

namespace sock {
namespace {

SOCKET native(Socket s) {
    return static_cast<SOCKET>(s);
}

sockaddr_in toSockaddr(const SockAddrIn& address) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = address.port;
    result.sin_addr.s_addr = address.addr;
    return result;
}

int setOption(Socket s, int level, int name, const void* value, int length) {
    return ::setsockopt(native(s), level, name, static_cast<const char*>(value), length);
}

}  // namespace

int startup() {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 0), &data);
}

void cleanup() {
    ::WSACleanup();
}

Socket tcpSocket() {
    return static_cast<Socket>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
}

int setReuseAddr(Socket) {
    // Winsock's SO_REUSEADDR lets a second socket bind a port that is already
    // listening (another copy of the program, or any other program), after
    // which connections reach either. Without it a busy port fails to bind,
    // as on Linux, while a port whose old connections are only waiting out
    // their close binds at once all the same; so the option is left unset.
    return 0;
}

int setReceiveTimeout(Socket s, int milliseconds) {
    const DWORD timeout = static_cast<DWORD>(milliseconds);
    return setOption(s, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

int setNoDelay(Socket s) {
    const BOOL on = TRUE;
    return setOption(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

int setNonBlocking(Socket s, bool nonBlocking) {
    u_long mode = nonBlocking ? 1 : 0;
    return ::ioctlsocket(native(s), FIONBIO, &mode);
}

int bind(Socket s, const SockAddrIn& address) {
    const sockaddr_in local = toSockaddr(address);
    return ::bind(native(s), reinterpret_cast<const sockaddr*>(&local), sizeof local);
}

int listen(Socket s, int backlog) {
    return ::listen(native(s), backlog);
}

Socket accept(Socket s, SockAddrIn* peer) {
    sockaddr_in remote{};
    int length = sizeof remote;
    const SOCKET accepted = ::accept(native(s), reinterpret_cast<sockaddr*>(&remote), &length);
    if (accepted == INVALID_SOCKET) return invalidSocket;
    // An accepted socket inherits the listening socket's mode; it blocks
    // here, as on every platform.
    u_long blocking = 0;
    ::ioctlsocket(accepted, FIONBIO, &blocking);
    if (peer != nullptr) {
        peer->port = remote.sin_port;
        peer->addr = remote.sin_addr.s_addr;
    }
    return static_cast<Socket>(accepted);
}

int connect(Socket s, const SockAddrIn& address) {
    const sockaddr_in remote = toSockaddr(address);
    return ::connect(native(s), reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
}

int recv(Socket s, char* buffer, int length) {
    return ::recv(native(s), buffer, length, 0);
}

int send(Socket s, const char* buffer, int length) {
    return ::send(native(s), buffer, length, 0);
}

int selectReadable(Socket s, long timeoutMicroseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(native(s), &readable);
    timeval timeout{};
    timeout.tv_sec = timeoutMicroseconds / 1000000;
    timeout.tv_usec = timeoutMicroseconds % 1000000;
    const int ready = ::select(0, &readable, nullptr, nullptr, &timeout);
    if (ready == SOCKET_ERROR) return socketError;
    return FD_ISSET(native(s), &readable) ? 1 : 0;
}

int shutdownBoth(Socket s) {
    const int result = ::shutdown(native(s), SD_BOTH);
    // A shutdown alone does not end a receive or accept that another thread
    // is blocked in; cancelling the socket's pending I/O does.
    ::CancelIoEx(reinterpret_cast<HANDLE>(native(s)), nullptr);
    return result;
}

int closesocket(Socket s) {
    return ::closesocket(native(s));
}

int lastError() {
    return ::WSAGetLastError();
}

}  // namespace sock
