#include <sys/socket.h>
#include <unistd.h>

#include <climits>

#include "platform/sock_abort.h"

namespace sock {

int closeWithReset(Socket s) {
    if (s > static_cast<Socket>(INT_MAX)) return socketError;
    const int fd = static_cast<int>(s);
    const linger abortive{1, 0};
    const int lingerResult = ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    const int closeResult = ::close(fd);
    return lingerResult == 0 && closeResult == 0 ? 0 : socketError;
}

}  // namespace sock
