// The socket layer over POSIX sockets, giving the Winsock behaviour the
// program relies on.
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>

#include "platform/sock.h"
#include "platform/sock_posix_error.h"
#include "platform/sock_wake.h"

namespace sock {

namespace {
thread_local int t_lastError = 0;
}  // namespace

namespace detail {

int winsockErrorOf(int posixError) {
    switch (posixError) {
        case EINTR:
            return wsaEINTR;
        case EBADF:
            return wsaENOTSOCK;
        case EACCES:
        case EPERM:
            return wsaEACCES;
        case EFAULT:
            return wsaEFAULT;
        case EINVAL:
            return wsaEINVAL;
        case EMFILE:
        case ENFILE:
            return wsaEMFILE;
        case EAGAIN:
            return wsaEWOULDBLOCK;
        case EINPROGRESS:
            return wsaEWOULDBLOCK;
        case EALREADY:
            return 10037;
        case ENOTSOCK:
            return wsaENOTSOCK;
        case EDESTADDRREQ:
            return 10039;
        case EMSGSIZE:
            return 10040;
        case EPROTOTYPE:
            return 10041;
        case ENOPROTOOPT:
            return 10042;
        case EPROTONOSUPPORT:
            return 10043;
        case EOPNOTSUPP:
            return 10045;
        case EAFNOSUPPORT:
            return 10047;
        case EADDRINUSE:
            return wsaEADDRINUSE;
        case EADDRNOTAVAIL:
            return wsaEADDRNOTAVAIL;
        case ENETDOWN:
            return wsaENETDOWN;
        case ENETUNREACH:
            return wsaENETUNREACH;
        case ENETRESET:
            return 10052;
        case ECONNABORTED:
            return wsaECONNABORTED;
        case ECONNRESET:
            return wsaECONNRESET;
        case ENOBUFS:
        case ENOMEM:
            return wsaENOBUFS;
        case EISCONN:
            return 10056;
        case ENOTCONN:
            return wsaENOTCONN;
        case EPIPE:
        case ESHUTDOWN:
            return wsaESHUTDOWN;
        case ETIMEDOUT:
            return wsaETIMEDOUT;
        case ECONNREFUSED:
            return wsaECONNREFUSED;
        case EHOSTDOWN:
            return 10064;
        case EHOSTUNREACH:
            return wsaEHOSTUNREACH;
        default:
            return wsaEINVAL;
    }
}

int fail(int winsockError) {
    t_lastError = winsockError;
    return socketError;
}

int failFromErrno() {
    return fail(winsockErrorOf(errno));
}

}  // namespace detail

namespace {

using detail::fail;
using detail::failFromErrno;
using detail::winsockErrorOf;

// Winsock gives up on a connect after about 21 seconds (three SYN
// retransmissions); Linux would wait two minutes and more.
std::atomic<int> g_connectTimeoutMilliseconds{21000};

// The descriptor behind a socket handle, or -1 for a handle that cannot be one.
int fdOf(Socket s) {
    if (s > static_cast<Socket>(INT_MAX)) return -1;
    return static_cast<int>(s);
}

sockaddr_in toSockaddr(const SockAddrIn& address) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = address.port;
    result.sin_addr.s_addr = address.addr;
    return result;
}

bool isNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_NONBLOCK) != 0;
}

int setOption(Socket s, int level, int name, const void* value, socklen_t length) {
    const int fd = fdOf(s);
    if (fd < 0) return fail(wsaENOTSOCK);
    if (::setsockopt(fd, level, name, value, length) != 0) return failFromErrno();
    return 0;
}

// Waits for a connect in progress on a non-blocking descriptor to finish;
// a wake descriptor (-1: none) that becomes readable ends the wait.
int finishConnect(int fd, int wakeFd) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(g_connectTimeoutMilliseconds.load());
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return fail(wsaETIMEDOUT);
        pollfd entries[2] = {{fd, POLLOUT, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(entries, wakeFd >= 0 ? 2 : 1, static_cast<int>(left.count()));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return failFromErrno();
        }
        if (wakeFd >= 0 && entries[1].revents != 0) return fail(wsaEINTR);
        if (ready == 0) continue;
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return failFromErrno();
        if (error != 0) return fail(winsockErrorOf(error));
        return 0;
    }
}

}  // namespace

int startup() {
    // A program started with a standard descriptor closed must never hand
    // out socket 0 (the "no connection" value) or write its output into a
    // socket; park /dev/null on every free descriptor below 3.
    for (;;) {
        const int fd = ::open("/dev/null", O_RDWR);
        if (fd < 0) return fail(winsockErrorOf(errno));
        if (fd > 2) {
            ::close(fd);
            break;
        }
    }
    t_lastError = 0;
    return 0;
}

void cleanup() {}

Socket tcpSocket() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        failFromErrno();
        return invalidSocket;
    }
    return static_cast<Socket>(fd);
}

int setReuseAddr(Socket s) {
    // Winsock takes the option's one-byte value; Linux wants an int.
    const int on = 1;
    return setOption(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

int setReceiveTimeout(Socket s, int milliseconds) {
    timeval timeout{};
    timeout.tv_sec = milliseconds / 1000;
    timeout.tv_usec = static_cast<suseconds_t>(milliseconds % 1000) * 1000;
    return setOption(s, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

int setNoDelay(Socket s) {
    const int on = 1;
    return setOption(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

int setNonBlocking(Socket s, bool nonBlocking) {
    const int fd = fdOf(s);
    if (fd < 0) return fail(wsaENOTSOCK);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return failFromErrno();
    const int wanted = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    if (::fcntl(fd, F_SETFL, wanted) != 0) return failFromErrno();
    return 0;
}

int bind(Socket s, const SockAddrIn& address) {
    const int fd = fdOf(s);
    if (fd < 0) return fail(wsaENOTSOCK);
    if (address.port != 0) {
        // Winsock binds a port whose closed connections still wait out
        // TIME_WAIT; Linux does so only with SO_REUSEADDR, which there never
        // lets two sockets listen on one port. A bind to port 0 goes without
        // it, so that the system never picks a port still in use.
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    const sockaddr_in native = toSockaddr(address);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&native), sizeof native) != 0) {
        return failFromErrno();
    }
    return 0;
}

int listen(Socket s, int backlog) {
    const int fd = fdOf(s);
    if (fd < 0) return fail(wsaENOTSOCK);
    if (::listen(fd, backlog) != 0) return failFromErrno();
    return 0;
}

Socket accept(Socket s, SockAddrIn* peer) {
    const int fd = fdOf(s);
    if (fd < 0) {
        fail(wsaENOTSOCK);
        return invalidSocket;
    }
    for (;;) {
        sockaddr_in native{};
        socklen_t length = sizeof native;
        const int accepted =
            ::accept4(fd, reinterpret_cast<sockaddr*>(&native), &length, SOCK_CLOEXEC);
        if (accepted >= 0) {
            if (peer != nullptr) {
                peer->port = native.sin_port;
                peer->addr = native.sin_addr.s_addr;
            }
            return static_cast<Socket>(accepted);
        }
        if (errno == EINTR) continue;
        failFromErrno();
        return invalidSocket;
    }
}

namespace {

// connect, waiting for the answer unless the socket is non-blocking; a wake
// descriptor (-1: none) that becomes readable ends the wait.
int connectWaking(Socket s, const SockAddrIn& address, int wakeFd) {
    const int fd = fdOf(s);
    if (fd < 0) return fail(wsaENOTSOCK);
    // Linux takes 0.0.0.0 as the local host; Winsock refuses it.
    if (address.addr == 0) return fail(wsaEADDRNOTAVAIL);
    const sockaddr_in native = toSockaddr(address);
    const bool callerNonBlocking = isNonBlocking(fd);
    if (!callerNonBlocking && setNonBlocking(s, true) != 0) return socketError;
    int result = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&native), sizeof native) != 0) {
        if (errno != EINPROGRESS || callerNonBlocking) {
            result = failFromErrno();
        } else {
            result = finishConnect(fd, wakeFd);
        }
    }
    if (!callerNonBlocking) {
        const int savedError = t_lastError;
        setNonBlocking(s, false);
        t_lastError = savedError;
    }
    return result;
}

}  // namespace

int connect(Socket s, const SockAddrIn& address) {
    return connectWaking(s, address, -1);
}

int connectUnlessWoken(Socket s, const SockAddrIn& address, const WakeUp& wakeUp) {
    if (!wakeUp.valid()) return connect(s, address);
    return connectWaking(s, address, fdOf(wakeUp.waitEnd()));
}

void setConnectTimeout(int milliseconds) {
    g_connectTimeoutMilliseconds.store(milliseconds);
}

int recv(Socket s, char* buffer, int length) {
    const int fd = fdOf(s);
    if (fd < 0) return fail(wsaENOTSOCK);
    for (;;) {
        const ssize_t got = ::recv(fd, buffer, static_cast<size_t>(length), 0);
        if (got >= 0) return static_cast<int>(got);
        if (errno == EINTR) continue;
        // On a blocking socket EAGAIN means its receive time-out ran out.
        if (errno == EAGAIN && !isNonBlocking(fd)) {
            return fail(wsaETIMEDOUT);
        }
        return failFromErrno();
    }
}

int send(Socket s, const char* buffer, int length) {
    const int fd = fdOf(s);
    if (fd < 0) return fail(wsaENOTSOCK);
    for (;;) {
        const ssize_t sent = ::send(fd, buffer, static_cast<size_t>(length), MSG_NOSIGNAL);
        if (sent >= 0) return static_cast<int>(sent);
        if (errno == EINTR) continue;
        return failFromErrno();
    }
}

int selectReadable(Socket s, long timeoutMicroseconds) {
    const int fd = fdOf(s);
    if (fd < 0) return fail(wsaENOTSOCK);
    pollfd entry{fd, POLLIN, 0};
    timespec timeout{};
    timeout.tv_sec = timeoutMicroseconds / 1000000;
    timeout.tv_nsec = (timeoutMicroseconds % 1000000) * 1000;
    const int ready = ::ppoll(&entry, 1, &timeout, nullptr);
    if (ready < 0) {
        if (errno == EINTR) return 0;
        return failFromErrno();
    }
    if (ready == 0) return 0;
    if ((entry.revents & POLLNVAL) != 0) return fail(wsaENOTSOCK);
    return 1;
}

int shutdownBoth(Socket s) {
    const int fd = fdOf(s);
    if (fd < 0) return fail(wsaENOTSOCK);
    if (::shutdown(fd, SHUT_RDWR) != 0) return failFromErrno();
    return 0;
}

int closesocket(Socket s) {
    const int fd = fdOf(s);
    if (fd < 0) return fail(wsaENOTSOCK);
    // close() alone leaves a thread blocked in accept or recv asleep;
    // Winsock wakes it.
    ::shutdown(fd, SHUT_RDWR);
    if (::close(fd) != 0) return failFromErrno();
    return 0;
}

int lastError() {
    return t_lastError;
}

}  // namespace sock
