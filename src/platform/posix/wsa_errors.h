// POSIX error numbers translated into their Windows Sockets counterparts, so
// a refused connect reads 10061 on every OS.
#pragma once

namespace qv::platform::posix {

// errno value -> Windows Sockets error number; 0 stays 0, and an errno
// without a counterpart gives kWsaSyscallFailure (10107).
int WsaErrorFromErrno(int errno_value);

// getaddrinfo result -> 11001 (no such name), 11002 (try again) or 11003.
int WsaErrorFromLookup(int gai_result);

}  // namespace qv::platform::posix
