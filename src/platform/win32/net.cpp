// Windows Sockets. Waits use select in short slices, looking at the cancel
// event between slices: plain Winsock 1.1 readiness, no event bindings that
// would leave the socket in another mode.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <chrono>

#include "platform/cancel_signal.h"
#include "platform/net.h"
#include "platform/net_system.h"

namespace qv::platform {

namespace {

using Clock = std::chrono::steady_clock;

// Longest time a wait stays blind to the cancel signal.
constexpr long kSliceMicros = 50 * 1000;

SOCKET Native(SocketHandle socket) { return static_cast<SOCKET>(socket); }

sockaddr_in ToSockaddr(Ipv4Endpoint endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(endpoint.port);
  address.sin_addr.s_addr = htonl(endpoint.address);
  return address;
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

NetResult<std::uint32_t> SystemResolveIPv4(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (result != 0) {
    const int error = WSAGetLastError();
    return {0, error != 0 ? error : result};
  }
  NetResult<std::uint32_t> address{0, kWsaHostNotFound};
  for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr) {
      address = {ntohl(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr), 0};
      break;
    }
  }
  freeaddrinfo(found);
  return address;
}

}  // namespace detail

NetResult<SocketHandle> OpenSocket(SocketKind kind) {
  const SOCKET socket_handle = socket(AF_INET, kind == SocketKind::kDatagram ? SOCK_DGRAM : SOCK_STREAM, 0);
  if (socket_handle == INVALID_SOCKET) return {kInvalidSocket, WSAGetLastError()};
  return {static_cast<SocketHandle>(socket_handle)};
}

NetResult<NetWait> ConnectSocket(SocketHandle socket, Ipv4Endpoint to, const CancelSignal* cancel) {
  const SOCKET native = Native(socket);
  if (!SetNonBlocking(native, true)) return {NetWait::kFailed, WSAGetLastError()};
  const sockaddr_in address = ToSockaddr(to);
  NetResult<NetWait> outcome{NetWait::kReady};
  if (connect(native, reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR) {
    const int started = WSAGetLastError();
    if (started != WSAEWOULDBLOCK) {
      outcome = {NetWait::kFailed, started};
    } else {
      outcome = WaitFor(native, Readiness::kWrite, nullptr, cancel);
      if (outcome.value == NetWait::kReady) {
        int socket_error = 0;
        int length = sizeof socket_error;
        if (getsockopt(native, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&socket_error), &length) != 0)
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
  sockaddr_in from{};
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
