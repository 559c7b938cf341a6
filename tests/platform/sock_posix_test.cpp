// The socket layer gives the Winsock behaviour the network code relies on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/sock.h"
#include "platform/sock_wake.h"

namespace {

using namespace std::chrono_literals;

// The parentheses keep the C library's byte-order macros from expanding.
std::uint32_t loopback() {
    return (sock::htonl)(0x7F000001);
}

struct Listener {
    sock::Socket socket = sock::invalidSocket;
    std::uint16_t port = 0;  // network order
};

// A listening socket on 127.0.0.1 at a port the system picks.
Listener listenOnLoopback() {
    Listener result;
    result.socket = sock::tcpSocket();
    EXPECT_NE(result.socket, sock::invalidSocket);
    EXPECT_EQ(sock::bind(result.socket, {0, loopback()}), 0);
    EXPECT_EQ(sock::listen(result.socket, 5), 0);
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    getsockname(static_cast<int>(result.socket), reinterpret_cast<sockaddr*>(&bound), &length);
    result.port = bound.sin_port;
    return result;
}

sock::Socket connectTo(std::uint16_t port, std::uint32_t address) {
    const sock::Socket s = sock::tcpSocket();
    EXPECT_EQ(sock::connect(s, {port, address}), 0) << sock::lastError();
    return s;
}

class Sock : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(sock::startup(), 0); }
};

TEST_F(Sock, ErrorsComeBackAsWinsockNumbers) {
    Listener held = listenOnLoopback();
    const sock::Socket second = sock::tcpSocket();
    EXPECT_EQ(sock::bind(second, {held.port, loopback()}), sock::socketError);
    EXPECT_EQ(sock::lastError(), sock::wsaEADDRINUSE);
    sock::closesocket(second);

    // Nothing listens on the port once its socket is closed.
    const std::uint16_t freed = held.port;
    sock::closesocket(held.socket);
    const sock::Socket client = sock::tcpSocket();
    EXPECT_EQ(sock::connect(client, {freed, loopback()}), sock::socketError);
    EXPECT_EQ(sock::lastError(), sock::wsaECONNREFUSED);
    sock::closesocket(client);

    char byte = 0;
    EXPECT_EQ(sock::recv(sock::invalidSocket, &byte, 1), sock::socketError);
    EXPECT_EQ(sock::lastError(), sock::wsaENOTSOCK);
}

TEST_F(Sock, APortIsListenedOnAgainWhileItsClosedConnectionsWaitOutTimeWait) {
    Listener probe = listenOnLoopback();
    const std::uint16_t port = probe.port;
    sock::closesocket(probe.socket);
    const sock::Socket first = sock::tcpSocket();
    ASSERT_EQ(sock::bind(first, {port, loopback()}), 0);
    ASSERT_EQ(sock::listen(first, 5), 0);
    const sock::Socket client = connectTo(port, loopback());
    const sock::Socket served = sock::accept(first, nullptr);
    // The server side closes first, so its end waits out TIME_WAIT.
    sock::closesocket(served);
    char byte = 0;
    EXPECT_EQ(sock::recv(client, &byte, 1), 0);
    sock::closesocket(client);
    sock::closesocket(first);

    const sock::Socket again = sock::tcpSocket();
    EXPECT_EQ(sock::bind(again, {port, loopback()}), 0) << sock::lastError();
    EXPECT_EQ(sock::listen(again, 5), 0);
    sock::closesocket(again);
}

TEST_F(Sock, ConnectToTheUnspecifiedAddressFailsAndReachesNoLocalListener) {
    const sock::Socket any = sock::tcpSocket();
    ASSERT_EQ(sock::bind(any, {0, 0}), 0);
    ASSERT_EQ(sock::listen(any, 5), 0);
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    getsockname(static_cast<int>(any), reinterpret_cast<sockaddr*>(&bound), &length);

    const sock::Socket client = sock::tcpSocket();
    EXPECT_EQ(sock::connect(client, {bound.sin_port, 0}), sock::socketError);
    EXPECT_EQ(sock::lastError(), sock::wsaEADDRNOTAVAIL);
    EXPECT_EQ(sock::selectReadable(any, 20000), 0);
    sock::closesocket(client);
    sock::closesocket(any);
}

TEST_F(Sock, ConnectGivesUpWhenNoAnswerComes) {
    // A listener whose accept queue is full drops new connection requests,
    // as an unreachable host would.
    Listener listener = listenOnLoopback();
    sock::setConnectTimeout(300);
    std::vector<sock::Socket> clients;
    int timeouts = 0;
    std::chrono::steady_clock::duration waited{};
    for (int i = 0; i < 8 && timeouts == 0; ++i) {
        const sock::Socket client = sock::tcpSocket();
        const auto before = std::chrono::steady_clock::now();
        if (sock::connect(client, {listener.port, loopback()}) != 0) {
            EXPECT_EQ(sock::lastError(), sock::wsaETIMEDOUT);
            waited = std::chrono::steady_clock::now() - before;
            ++timeouts;
        }
        clients.push_back(client);
    }
    sock::setConnectTimeout(21000);
    EXPECT_EQ(timeouts, 1);
    EXPECT_GE(waited, 280ms);
    EXPECT_LT(waited, 10s);  // far below the platform's own 21 s
    for (sock::Socket client : clients) sock::closesocket(client);
    sock::closesocket(listener.socket);
}

TEST_F(Sock, ClosingWakesAThreadBlockedInAccept) {
    Listener listener = listenOnLoopback();
    std::atomic<bool> returned{false};
    sock::Socket accepted = 0;
    std::thread waiter([&] {
        accepted = sock::accept(listener.socket, nullptr);
        returned = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(returned.load());
    sock::closesocket(listener.socket);
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (!returned && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(returned.load());
    waiter.join();
    EXPECT_EQ(accepted, sock::invalidSocket);
}

TEST_F(Sock, ShutdownWakesABlockedReceiveWithEndOfStream) {
    Listener listener = listenOnLoopback();
    const sock::Socket client = connectTo(listener.port, loopback());
    sock::SockAddrIn peer;
    const sock::Socket served = sock::accept(listener.socket, &peer);
    ASSERT_NE(served, sock::invalidSocket);
    EXPECT_EQ(peer.addr, loopback());

    std::atomic<int> result{-2};
    std::thread reader([&] {
        char byte = 0;
        result = sock::recv(served, &byte, 1);
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(result.load(), -2);
    sock::shutdownBoth(served);
    reader.join();
    EXPECT_EQ(result.load(), 0);
    sock::closesocket(served);
    sock::closesocket(client);
    sock::closesocket(listener.socket);
}

TEST_F(Sock, ReceiveTimeOutAndWouldBlock) {
    Listener listener = listenOnLoopback();
    const sock::Socket client = connectTo(listener.port, loopback());
    const sock::Socket served = sock::accept(listener.socket, nullptr);

    char byte = 0;
    ASSERT_EQ(sock::setReceiveTimeout(client, 100), 0);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(sock::recv(client, &byte, 1), sock::socketError);
    EXPECT_EQ(sock::lastError(), sock::wsaETIMEDOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - before, 90ms);

    ASSERT_EQ(sock::setNonBlocking(served, true), 0);
    EXPECT_EQ(sock::recv(served, &byte, 1), sock::socketError);
    EXPECT_EQ(sock::lastError(), sock::wsaEWOULDBLOCK);

    EXPECT_EQ(sock::send(client, "\x5a", 1), 1);
    EXPECT_EQ(sock::selectReadable(served, 1000000), 1);
    EXPECT_EQ(sock::recv(served, &byte, 1), 1);
    EXPECT_EQ(byte, '\x5a');
    EXPECT_EQ(sock::selectReadable(served, 1000), 0);
    sock::closesocket(served);
    sock::closesocket(client);
    sock::closesocket(listener.socket);
}

TEST_F(Sock, AWaitEndsWhenItsSocketIsReadableOrItsWakeUpIsSignalledAndNotBefore) {
    Listener listener = listenOnLoopback();
    const sock::Socket client = connectTo(listener.port, loopback());
    const sock::Socket served = sock::accept(listener.socket, nullptr);
    sock::WakeUp wakeUp;
    ASSERT_TRUE(wakeUp.valid());

    EXPECT_EQ(sock::waitReadableOrWoken(served, wakeUp, 30000), sock::Wait::TimedOut);
    EXPECT_FALSE(sock::sleepUnlessWoken(wakeUp, 20000));
    EXPECT_EQ(sock::send(client, "\x5a", 1), 1);
    EXPECT_EQ(sock::waitReadableOrWoken(served, wakeUp), sock::Wait::Readable);
    // A listening socket counts as readable once a connection waits.
    EXPECT_EQ(sock::waitReadableOrWoken(listener.socket, wakeUp, 30000), sock::Wait::TimedOut);
    const sock::Socket second = connectTo(listener.port, loopback());
    EXPECT_EQ(sock::waitReadableOrWoken(listener.socket, wakeUp), sock::Wait::Readable);

    // A thread blocked without a time limit on a quiet socket wakes at the
    // signal, and every later wait returns at once, even with a byte there.
    const sock::Socket quiet = sock::accept(listener.socket, nullptr);
    std::atomic<int> result{-1};
    std::thread waiter(
        [&] { result = static_cast<int>(sock::waitReadableOrWoken(quiet, wakeUp)); });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(result.load(), -1);
    const auto signalled = std::chrono::steady_clock::now();
    wakeUp.signal();
    waiter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 5s);  // a hang guard
    EXPECT_EQ(result.load(), static_cast<int>(sock::Wait::Woken));
    wakeUp.signal();
    EXPECT_EQ(sock::waitReadableOrWoken(served, wakeUp), sock::Wait::Woken);
    EXPECT_EQ(sock::waitReadableOrWoken(quiet, wakeUp), sock::Wait::Woken);
    EXPECT_TRUE(sock::sleepUnlessWoken(wakeUp, sock::noTimeLimit));

    EXPECT_EQ(sock::waitReadableOrWoken(sock::invalidSocket, wakeUp), sock::Wait::Failed);
    EXPECT_EQ(sock::lastError(), sock::wsaENOTSOCK);
    for (sock::Socket s : {quiet, second, served, client, listener.socket}) sock::closesocket(s);
}

TEST_F(Sock, AnAcceptedSocketBlocksWhenItsListenerDoesNot) {
    Listener listener = listenOnLoopback();
    ASSERT_EQ(sock::setNonBlocking(listener.socket, true), 0);
    EXPECT_EQ(sock::accept(listener.socket, nullptr), sock::invalidSocket);
    EXPECT_EQ(sock::lastError(), sock::wsaEWOULDBLOCK);
    const sock::Socket client = connectTo(listener.port, loopback());
    const sock::Socket served = sock::accept(listener.socket, nullptr);
    ASSERT_NE(served, sock::invalidSocket);
    EXPECT_EQ(fcntl(static_cast<int>(served), F_GETFL) & O_NONBLOCK, 0);
    sock::closesocket(served);
    sock::closesocket(client);
    sock::closesocket(listener.socket);
}

TEST_F(Sock, SendingToAClosedPeerReportsAnErrorInsteadOfEndingTheProcess) {
    Listener listener = listenOnLoopback();
    const sock::Socket client = connectTo(listener.port, loopback());
    const sock::Socket served = sock::accept(listener.socket, nullptr);
    sock::closesocket(served);
    int failures = 0;
    for (int i = 0; i < 50 && failures == 0; ++i) {
        if (sock::send(client, "abc", 3) == sock::socketError) ++failures;
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_EQ(failures, 1);
    const int error = sock::lastError();
    EXPECT_TRUE(error == sock::wsaECONNRESET || error == sock::wsaESHUTDOWN) << error;
    sock::closesocket(client);
    sock::closesocket(listener.socket);
}

TEST_F(Sock, ReadinessWorksForDescriptorsAboveTheSelectLimit) {
    constexpr rlim_t needed = 1300;
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < needed) {
        GTEST_SKIP() << "the hard descriptor limit is " << saved.rlim_max << ", below " << needed;
    }
    // The soft limit (1024 by default) is raised for this test alone.
    rlimit raised = saved;
    raised.rlim_cur = std::max(saved.rlim_cur, needed);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
    struct RestoreLimit {
        rlimit limit;
        ~RestoreLimit() { setrlimit(RLIMIT_NOFILE, &limit); }
    } restore{saved};
    Listener listener = listenOnLoopback();
    const int high = fcntl(static_cast<int>(listener.socket), F_DUPFD_CLOEXEC, 1200);
    ASSERT_GE(high, 1200);
    const auto highSocket = static_cast<sock::Socket>(high);
    EXPECT_EQ(sock::selectReadable(highSocket, 1000), 0);
    const sock::Socket client = connectTo(listener.port, loopback());
    EXPECT_EQ(sock::selectReadable(highSocket, 1000000), 1);
    close(high);
    sock::closesocket(client);
    sock::closesocket(listener.socket);
}

TEST_F(Sock, StartupKeepsSocketsOffTheStandardDescriptors) {
    const int savedIn = dup(0);
    ASSERT_GE(savedIn, 0);
    close(0);
    ASSERT_EQ(sock::startup(), 0);
    const sock::Socket s = sock::tcpSocket();
    EXPECT_GT(s, 2u);
    sock::closesocket(s);
    dup2(savedIn, 0);
    close(savedIn);
}

TEST_F(Sock, OptionsAndAddressText) {
    const sock::Socket s = sock::tcpSocket();
    EXPECT_EQ(sock::setReuseAddr(s), 0);
    EXPECT_EQ(sock::setNoDelay(s), 0);
    sock::closesocket(s);

    std::uint32_t address = 0;
    ASSERT_TRUE(sock::inetPton("192.168.10.3", &address));
    EXPECT_EQ(sock::inetNtoa(address), "192.168.10.3");
    EXPECT_EQ(sock::inetNtoa(loopback()), "127.0.0.1");
    EXPECT_FALSE(sock::inetPton("300.1.1.1", &address));
    const std::uint16_t port = (sock::htons)(0x1234);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&port)[0], 0x12);
    EXPECT_EQ((sock::ntohs)(port), 0x1234);
}

}  // namespace
