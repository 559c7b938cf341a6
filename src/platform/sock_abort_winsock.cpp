#include <winsock2.h>

#include "platform/sock_abort.h"

namespace sock {

int closeWithReset(Socket s) {
    const SOCKET handle = static_cast<SOCKET>(s);
    const linger abortive{1, 0};
    const int lingerResult = ::setsockopt(
        handle, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive);
    const int closeResult = ::closesocket(handle);
    return lingerResult == 0 && closeResult == 0 ? 0 : socketError;
}

}  // namespace sock
