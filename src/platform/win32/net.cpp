// Windows Sockets. Waits use select in short slices, looking at the cancel
// event between slices: plain Winsock 1.1 readiness, no event bindings that
// would leave the socket in another mode.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/cancel_signal.h"
#include "platform/net.h"
#include "platform/net_system.h"

namespace qv::platform {

namespace {

using Clock = std::chrono::steady_clock;

// Longest time a wait stays blind to the cancel signal.
constexpr long kSliceMicros = 50 * 1000;

SOCKET Native(SocketHandle socket) { return static_cast<SOCKET>(socket); }

int Family(AddressFamily family) { return family == AddressFamily::kIpv6 ? AF_INET6 : AF_INET; }

int ToSockaddr(const Endpoint& endpoint, sockaddr_storage& out) {
  out = {};
  if (endpoint.address.family == AddressFamily::kIpv6) {
    auto& address = reinterpret_cast<sockaddr_in6&>(out);
    address.sin6_family = AF_INET6;
    address.sin6_port = htons(endpoint.port);
    std::memcpy(&address.sin6_addr, endpoint.address.bytes.data(), 16);
    address.sin6_scope_id = endpoint.address.scope;
    return sizeof address;
  }
  auto& address = reinterpret_cast<sockaddr_in&>(out);
  address.sin_family = AF_INET;
  address.sin_port = htons(endpoint.port);
  std::memcpy(&address.sin_addr, endpoint.address.bytes.data(), 4);
  return sizeof address;
}

bool CancelFired(const CancelSignal* cancel) {
  if (!cancel) return false;
  if (cancel->Fired()) return true;
  const auto event = cancel->NativeHandle();
  return event != -1 && WaitForSingleObject(reinterpret_cast<HANDLE>(event), 0) == WAIT_OBJECT_0;
}

// The error the system keeps for the socket (and forgets once read), 0
// when there is none.
int PendingError(SOCKET socket) {
  int error = 0;
  int length = sizeof error;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) return 0;
  return error;
}

enum class Readiness { kRead, kWrite };

// One select per slice until the socket is ready, the deadline (none:
// forever) passes or the cancel signal fires. For a connect, the error set
// reports failure, which counts as ready: SO_ERROR tells the rest.
NetResult<NetWait> WaitFor(SOCKET socket, Readiness what, const Clock::time_point* deadline,
                           const CancelSignal* cancel) {
  for (;;) {
    if (CancelFired(cancel)) return {NetWait::kCancelled};
    long slice = kSliceMicros;
    if (deadline) {
      const auto left = std::chrono::duration_cast<std::chrono::microseconds>(*deadline - Clock::now()).count();
      slice = static_cast<long>(std::clamp<long long>(left, 0, kSliceMicros));
    }
    fd_set primary;
    fd_set failed;
    FD_ZERO(&primary);
    FD_ZERO(&failed);
    FD_SET(socket, &primary);
    FD_SET(socket, &failed);
    timeval wait{0, slice};
    const int count = what == Readiness::kRead ? select(0, &primary, nullptr, nullptr, &wait)
                                                : select(0, nullptr, &primary, &failed, &wait);
    if (count == SOCKET_ERROR) return {NetWait::kFailed, WSAGetLastError()};
    if (count > 0) {
      if (FD_ISSET(socket, &primary) || (what == Readiness::kWrite && FD_ISSET(socket, &failed)))
        return {NetWait::kReady};
      return {NetWait::kFailed, WSAGetLastError()};
    }
    // Windows makes a datagram socket readable when an ICMP error (a closed
    // port) arrives; Wine only keeps the error for SO_ERROR. Either way the
    // receive that follows reports it.
    if (what == Readiness::kRead && PendingError(socket) != 0) return {NetWait::kReady};
    if (deadline && Clock::now() >= *deadline) return {NetWait::kTimedOut};
  }
}

bool SetNonBlocking(SOCKET socket, bool on) {
  u_long mode = on ? 1 : 0;
  return ioctlsocket(socket, FIONBIO, &mode) == 0;
}

}  // namespace

int NetStartup() {
  WSADATA data;
  return WSAStartup(MAKEWORD(1, 1), &data);
}

namespace detail {

// getaddrinfo is ws2_32's (Windows XP on); both families in the system's
// order, as on every other OS.
NetResult<std::vector<IpAddress>> SystemResolveAddresses(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (result != 0) {
    const int error = WSAGetLastError();
    return {{}, error != 0 ? error : result};
  }
  NetResult<std::vector<IpAddress>> addresses;
  for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
    if (!entry->ai_addr) continue;
    IpAddress address;
    if (entry->ai_family == AF_INET) {
      std::memcpy(address.bytes.data(), &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr, 4);
    } else if (entry->ai_family == AF_INET6) {
      const auto* v6 = reinterpret_cast<const sockaddr_in6*>(entry->ai_addr);
      address.family = AddressFamily::kIpv6;
      std::memcpy(address.bytes.data(), &v6->sin6_addr, 16);
      address.scope = v6->sin6_scope_id;
    } else {
      continue;
    }
    addresses.value.push_back(address);
  }
  freeaddrinfo(found);
  if (addresses.value.empty()) addresses.error = kWsaHostNotFound;
  return addresses;
}

}  // namespace detail

NetResult<SocketHandle> OpenSocket(SocketKind kind, AddressFamily family) {
  const SOCKET socket_handle = socket(Family(family), kind == SocketKind::kDatagram ? SOCK_DGRAM : SOCK_STREAM, 0);
  if (socket_handle == INVALID_SOCKET) return {kInvalidSocket, WSAGetLastError()};
  return {static_cast<SocketHandle>(socket_handle)};
}

NetResult<NetWait> ConnectSocket(SocketHandle socket, const Endpoint& to, const CancelSignal* cancel,
                                 std::optional<std::chrono::milliseconds> within) {
  const SOCKET native = Native(socket);
  if (!SetNonBlocking(native, true)) return {NetWait::kFailed, WSAGetLastError()};
  sockaddr_storage address;
  const int length = ToSockaddr(to, address);
  const Clock::time_point deadline = Clock::now() + within.value_or(std::chrono::milliseconds(0));
  NetResult<NetWait> outcome{NetWait::kReady};
  if (connect(native, reinterpret_cast<const sockaddr*>(&address), length) == SOCKET_ERROR) {
    const int started = WSAGetLastError();
    if (started != WSAEWOULDBLOCK) {
      outcome = {NetWait::kFailed, started};
    } else {
      outcome = WaitFor(native, Readiness::kWrite, within ? &deadline : nullptr, cancel);
      if (outcome.value == NetWait::kReady) {
        int socket_error = 0;
        int size = sizeof socket_error;
        if (getsockopt(native, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&socket_error), &size) != 0)
          socket_error = WSAGetLastError();
        if (socket_error != 0) outcome = {NetWait::kFailed, socket_error};
      }
    }
  }
  if (!SetNonBlocking(native, false) && outcome.value == NetWait::kReady)
    outcome = {NetWait::kFailed, WSAGetLastError()};
  return outcome;
}

NetResult<int> Send(SocketHandle socket, const std::uint8_t* data, int size) {
  const int sent = send(Native(socket), reinterpret_cast<const char*>(data), size, 0);
  if (sent == SOCKET_ERROR) return {-1, WSAGetLastError()};
  return {sent};
}

NetResult<NetWait> WaitReadable(SocketHandle socket, std::chrono::milliseconds timeout, const CancelSignal* cancel) {
  if (timeout.count() < 0) return {NetWait::kFailed, WSAEINVAL};
  const Clock::time_point deadline = Clock::now() + timeout;
  return WaitFor(Native(socket), Readiness::kRead, &deadline, cancel);
}

// Windows Sockets 1.1 keeps no arrival stamp: `arrival` stays 0.
NetResult<Received> ReceiveDatagram(SocketHandle socket, std::uint8_t* buffer, int size) {
  if (const int pending = PendingError(Native(socket)); pending != 0) {
    // Only Wine gets here: the wait saw the error that Windows reports
    // from the receive itself.
    return {{}, pending == WSAECONNREFUSED ? WSAECONNRESET : pending};
  }
  // Room for the sender of either family: a smaller buffer fails the receive.
  sockaddr_storage from{};
  int from_length = sizeof from;
  const int received = recvfrom(Native(socket), reinterpret_cast<char*>(buffer), size, 0,
                                reinterpret_cast<sockaddr*>(&from), &from_length);
  if (received != SOCKET_ERROR) return {{received, 0}};
  // A closed port answers a datagram with ICMP "port unreachable", which
  // Windows reports as a reset; Wine passes the refusal through as is.
  const int error = WSAGetLastError();
  return {{}, error == WSAECONNREFUSED ? WSAECONNRESET : error};
}

NetResult<int> Receive(SocketHandle socket, std::uint8_t* buffer, int size) {
  const int received = recv(Native(socket), reinterpret_cast<char*>(buffer), size, 0);
  if (received == SOCKET_ERROR) return {-1, WSAGetLastError()};
  return {received};
}

void CloseSocket(SocketHandle socket) {
  if (socket == kNoSocket || socket == kInvalidSocket) return;
  closesocket(Native(socket));
}

}  // namespace qv::platform
