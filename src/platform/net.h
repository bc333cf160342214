// Sockets: the subset the engine needs, reporting Windows Sockets error
// numbers on every OS so status texts and logs read the same everywhere.
//
// Every call that can fail returns its value with the error number that
// stopped it (0 when it succeeded); nothing here throws.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv::platform {

class CancelSignal;

// 0 means "no socket" (a job's socket field starts and ends at 0).
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = 0;
inline constexpr SocketHandle kInvalidSocket = -1;

// Windows Sockets error numbers the engine and its tests name.
inline constexpr int kWsaEintr = 10004;
inline constexpr int kWsaEbadf = 10009;
inline constexpr int kWsaEacces = 10013;
inline constexpr int kWsaEinval = 10022;
inline constexpr int kWsaEmfile = 10024;
inline constexpr int kWsaEmsgsize = 10040;
inline constexpr int kWsaEafnosupport = 10047;
inline constexpr int kWsaEaddrinuse = 10048;
inline constexpr int kWsaEnetunreach = 10051;
inline constexpr int kWsaEconnreset = 10054;
inline constexpr int kWsaEtimedout = 10060;
inline constexpr int kWsaEconnrefused = 10061;
inline constexpr int kWsaEhostunreach = 10065;
// What an OS error without a Windows Sockets counterpart reports.
inline constexpr int kWsaSyscallFailure = 10107;
inline constexpr int kWsaHostNotFound = 11001;
inline constexpr int kWsaTryAgain = 11002;
inline constexpr int kWsaNoRecovery = 11003;

// Starts the socket library (Windows Sockets 1.1; nothing to do elsewhere).
// Returns 0 or an error number. Call once per process before any query.
int NetStartup();

enum class SocketKind { kDatagram, kStream };

// A call's value, and the Windows Sockets error number that stopped it.
template <typename T>
struct NetResult {
  T value{};
  int error = 0;  // 0: the call succeeded
};

// An IPv4 address and port, both in host byte order.
struct Ipv4Endpoint {
  std::uint32_t address = 0;
  std::uint16_t port = 0;
};

// Accepts exactly four dot-separated decimal parts of 0..255 (no shorthand
// like "127.1", no octal or hex, no blanks). Such a text never causes a name
// lookup; any other text goes to the resolver, which still understands the
// numeric shorthands on its own without asking a name server.
std::optional<std::uint32_t> ParseDottedIPv4(std::string_view text);

// Looks a host name up (thread-safe on every target) and gives the first
// IPv4 address. Fails with 11001 (not found), 11002 (try again), 11003
// (other failure) or the system's own lookup error number on Windows. An
// empty name is "not found" without any lookup.
NetResult<std::uint32_t> ResolveIPv4(const std::string& name);

// Outcome of a wait that can also be woken by a cancel signal.
enum class NetWait { kReady, kTimedOut, kCancelled, kFailed };

// kInvalidSocket on failure.
NetResult<SocketHandle> OpenSocket(SocketKind kind);

// Connects a socket. A stream socket is bounded only by the system's own
// connect time-out; a fired `cancel` (may be nullptr) ends the wait with
// kCancelled. A datagram socket connects at once, and from then on hears
// only datagrams from that address and port. The socket is back in
// blocking mode afterwards.
NetResult<NetWait> ConnectSocket(SocketHandle socket, Ipv4Endpoint to, const CancelSignal* cancel);

// Sends on a connected socket: bytes sent, or -1.
NetResult<int> Send(SocketHandle socket, const std::uint8_t* data, int size);

// Waits until the socket is readable (data, end of stream or a pending
// error), at most `timeout` (0 = just look; negative fails with 10022), or
// until `cancel` (may be nullptr) fires.
NetResult<NetWait> WaitReadable(SocketHandle socket, std::chrono::milliseconds timeout, const CancelSignal* cancel);

// What a receive brought: its size in bytes (-1 on failure), and the moment
// a datagram reached this machine as the kernel stamped it (UTC, 100 ns
// ticks since 1601), or 0 where the OS keeps no such stamp.
struct Received {
  int size = -1;
  std::int64_t arrival = 0;
};

// One datagram into `buffer`. A datagram longer than `size` is consumed and
// fails with 10040 on every OS; a connected socket whose peer's port is
// closed fails with 10054, as Windows Sockets reports it.
NetResult<Received> ReceiveDatagram(SocketHandle socket, std::uint8_t* buffer, int size);

// One receive from a stream: bytes, 0 when the peer closed, -1 on failure.
NetResult<int> Receive(SocketHandle socket, std::uint8_t* buffer, int size);

// Closes a socket; kNoSocket and kInvalidSocket are ignored.
void CloseSocket(SocketHandle socket);

}  // namespace qv::platform
