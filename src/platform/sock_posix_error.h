// POSIX error numbers as the Winsock numbers the socket layer reports, for
// the files of the POSIX socket layer.
#pragma once

namespace sock::detail {

int winsockErrorOf(int posixError);
// Records the error for lastError() and returns socketError.
int fail(int winsockError);
int failFromErrno();

}  // namespace sock::detail
