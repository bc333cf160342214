// Sockets: the subset the engine needs, reporting Windows Sockets error
// numbers on every OS so status texts and logs read the same everywhere.
//
// Every call that can fail returns its value with the error number that
// stopped it (0 when it succeeded); nothing here throws.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

enum class AddressFamily : std::uint8_t { kIpv4, kIpv6 };

// An IPv4 or IPv6 address as it travels on the wire (network byte order);
// an IPv4 address fills the first four bytes.
struct IpAddress {
  AddressFamily family = AddressFamily::kIpv4;
  std::array<std::uint8_t, 16> bytes{};
  std::uint32_t scope = 0;  // IPv6: the zone (interface index) of a link-local address; 0 for none
  friend bool operator==(const IpAddress&, const IpAddress&) = default;
};

// An address and a port (host byte order).
struct Endpoint {
  IpAddress address;
  std::uint16_t port = 0;
};

// Accepts exactly four dot-separated decimal parts of 0..255 (no shorthand
// like "127.1", no octal or hex, no blanks). Such a text never causes a name
// lookup; any other text goes to the resolver, which still understands the
// numeric shorthands on its own without asking a name server.
std::optional<std::uint32_t> ParseDottedIPv4(std::string_view text);

// A server text that is an address rather than a name: dotted IPv4 as
// above, or IPv6 as RFC 4291 section 2.2 writes it (hexadecimal groups, one
// "::", a dotted IPv4 tail), bare or in brackets ("[::1]", as in URLs). A
// zone ("fe80::1%2") is no literal here: the resolver reads it, still
// without a name server.
std::optional<IpAddress> ParseIpLiteral(std::string_view text);

// The numeric text of an address: dotted IPv4; IPv6 as RFC 5952 section 4
// recommends (lower case, no leading zeros, the longest run of two or more
// zero groups as "::"), then "%" and the zone's number when there is one.
std::string AddressText(const IpAddress& address);

// Looks a host name up (thread-safe on every target) for both families and
// gives every address, in the order the resolver ranks them (RFC 6724), at
// least one. Fails with 11001 (not found), 11002 (try again), 11003 (other
// failure) or the system's own lookup error number on Windows. An empty
// name is "not found" without any lookup.
NetResult<std::vector<IpAddress>> ResolveAddresses(const std::string& name);

// Outcome of a wait that can also be woken by a cancel signal.
enum class NetWait { kReady, kTimedOut, kCancelled, kFailed };

// A socket of the family it will connect to; kInvalidSocket on failure
// (10047 where the system has no such family).
NetResult<SocketHandle> OpenSocket(SocketKind kind, AddressFamily family = AddressFamily::kIpv4);

// Connects a socket of the endpoint's family. A stream socket waits at most
// `within` (none: only the system's own connect time-out bounds it, and
// kTimedOut ends a longer wait); a fired `cancel` (may be nullptr) ends the
// wait with kCancelled. A datagram socket connects at once, and from then
// on hears only datagrams from that address and port. The socket is back
// in blocking mode afterwards.
NetResult<NetWait> ConnectSocket(SocketHandle socket, const Endpoint& to, const CancelSignal* cancel,
                                 std::optional<std::chrono::milliseconds> within = std::nullopt);

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
