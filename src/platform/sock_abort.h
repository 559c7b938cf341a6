// Closing a connection with a reset instead of an orderly close, as a
// device does when it loses power or aborts. Only the device simulator
// needs it; the monitors always close in order.
#pragma once

#include "platform/sock.h"

namespace sock {

// SO_LINGER on with a zero time, then close without a shutdown, so that the
// peer gets RST and no FIN. 0 on success, socketError otherwise.
int closeWithReset(Socket s);

}  // namespace sock
