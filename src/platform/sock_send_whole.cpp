#include "platform/sock_wake.h"

namespace sock {

Sent sendWholeUnlessWoken(Socket s, const char* data, int length, const WakeUp& wakeUp) {
    int sent = 0;
    while (sent < length) {
        const int put = send(s, data + sent, length - sent);
        if (put > 0) {
            sent += put;
            continue;
        }
        if (put == socketError && lastError() != wsaEWOULDBLOCK) return Sent::Failed;
        const Wait wait = waitWritableOrWoken(s, wakeUp);
        if (wait == Wait::Woken) return Sent::Woken;
        if (wait == Wait::Failed) return Sent::Failed;
    }
    return Sent::Whole;
}

}  // namespace sock
