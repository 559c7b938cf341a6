// The Winsock-shaped socket calls the network code uses. Every platform
// gives the Winsock behaviour: errors are Winsock error numbers, closing a
// socket wakes a thread blocked on it, a connect to 0.0.0.0 fails, and the
// readiness test works for any socket.
#pragma once

#include <cstdint>
#include <string>

namespace sock {

using Socket = std::uintptr_t;
inline constexpr Socket invalidSocket = ~Socket{0};
inline constexpr int socketError = -1;

// Winsock error numbers as lastError() reports them.
inline constexpr int wsaEINTR = 10004;
inline constexpr int wsaEBADF = 10009;
inline constexpr int wsaEACCES = 10013;
inline constexpr int wsaEFAULT = 10014;
inline constexpr int wsaEINVAL = 10022;
inline constexpr int wsaEMFILE = 10024;
inline constexpr int wsaEWOULDBLOCK = 10035;
inline constexpr int wsaEINPROGRESS = 10036;
inline constexpr int wsaENOTSOCK = 10038;
inline constexpr int wsaEADDRINUSE = 10048;
inline constexpr int wsaEADDRNOTAVAIL = 10049;
inline constexpr int wsaENETDOWN = 10050;
inline constexpr int wsaENETUNREACH = 10051;
inline constexpr int wsaECONNABORTED = 10053;
inline constexpr int wsaECONNRESET = 10054;
inline constexpr int wsaENOBUFS = 10055;
inline constexpr int wsaENOTCONN = 10057;
inline constexpr int wsaESHUTDOWN = 10058;
inline constexpr int wsaETIMEDOUT = 10060;
inline constexpr int wsaECONNREFUSED = 10061;
inline constexpr int wsaEHOSTUNREACH = 10065;

// An IPv4 socket address; port and address in network byte order.
struct SockAddrIn {
    std::uint16_t port = 0;
    std::uint32_t addr = 0;
};

// Library start and end (WSAStartup 2.0 and WSACleanup where they exist).
int startup();
void cleanup();

Socket tcpSocket();
int setReuseAddr(Socket s);                         // SO_REUSEADDR, one byte of 1
int setReceiveTimeout(Socket s, int milliseconds);  // SO_RCVTIMEO
int setNoDelay(Socket s);                           // TCP_NODELAY
int setNonBlocking(Socket s, bool nonBlocking);     // ioctlsocket FIONBIO
int bind(Socket s, const SockAddrIn& address);
int listen(Socket s, int backlog);
// The accepted socket blocks, whatever the mode of the listening socket.
Socket accept(Socket s, SockAddrIn* peer);
int connect(Socket s, const SockAddrIn& address);
// How long a blocking connect waits for an answer before it fails with
// wsaETIMEDOUT: Winsock's own limit of about 21 seconds unless a test
// shortens it.
void setConnectTimeout(int milliseconds);
int recv(Socket s, char* buffer, int length);
int send(Socket s, const char* buffer, int length);
// select on a read set holding only s: 1 when s is readable (or closed,
// or in error), 0 on time-out, socketError on failure.
int selectReadable(Socket s, long timeoutMicroseconds);
// Shuts both directions down, waking any thread blocked on s.
int shutdownBoth(Socket s);
int closesocket(Socket s);
int lastError();

// Parenthesised, so that the C library's byte-order macros (where a file
// includes them too) leave these names alone.
std::uint16_t(htons)(std::uint16_t host);
std::uint16_t(ntohs)(std::uint16_t net);
std::uint32_t(htonl)(std::uint32_t host);
// Dotted-decimal text of an address in network byte order.
std::string inetNtoa(std::uint32_t netAddress);
// Parses dotted-decimal text; false when it is not an IPv4 address.
bool inetPton(const std::string& text, std::uint32_t* netAddress);

}  // namespace sock
