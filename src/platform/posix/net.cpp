// Sockets on POSIX. Handles are file descriptors + 1, so that descriptor 0
// never reads as "no socket".
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

#include "platform/cancel_signal.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "platform/net_system.h"
#include "platform/posix/wsa_errors.h"

namespace qv::platform {

namespace {

using Steady = std::chrono::steady_clock;

int Fd(SocketHandle socket) { return static_cast<int>(socket - 1); }
SocketHandle Handle(int fd) { return static_cast<SocketHandle>(fd) + 1; }
int LastError() { return posix::WsaErrorFromErrno(errno); }

int Family(AddressFamily family) { return family == AddressFamily::kIpv6 ? AF_INET6 : AF_INET; }

socklen_t ToSockaddr(const Endpoint& endpoint, sockaddr_storage& out) {
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

// Slice length when a cancel signal has no descriptor to wait on.
constexpr int kCancelPollMs = 100;

// Waits for `events` on the socket until `deadline` (none: forever) or until
// the cancel signal fires. Restarts after signals with the time that is left.
NetResult<NetWait> WaitFor(int fd, short events, const Steady::time_point* deadline, const CancelSignal* cancel) {
  const int cancel_fd = cancel ? static_cast<int>(cancel->NativeHandle()) : -1;
  for (;;) {
    if (cancel && cancel->Fired()) return {NetWait::kCancelled};
    int slice_ms = -1;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Steady::now()).count();
      slice_ms = static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
    }
    if (cancel && cancel_fd < 0 && (slice_ms < 0 || slice_ms > kCancelPollMs)) slice_ms = kCancelPollMs;

    pollfd fds[2] = {{fd, events, 0}, {cancel_fd, POLLIN, 0}};
    const int count = poll(fds, cancel_fd >= 0 ? 2 : 1, slice_ms);
    if (count < 0) {
      if (errno == EINTR) continue;
      return {NetWait::kFailed, LastError()};
    }
    if (cancel_fd >= 0 && fds[1].revents != 0) return {NetWait::kCancelled};
    // An error or hang-up counts as ready, as select reports it: the next
    // call on the socket tells what happened.
    if (fds[0].revents & (events | POLLERR | POLLHUP)) return {NetWait::kReady};
    if (fds[0].revents & POLLNVAL) return {NetWait::kFailed, posix::WsaErrorFromErrno(EBADF)};
    if (deadline && Steady::now() >= *deadline) return {NetWait::kTimedOut};
  }
}

bool SetNonBlocking(int fd, bool on) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  return fcntl(fd, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) == 0;
}

}  // namespace

int NetStartup() { return 0; }

namespace detail {

NetResult<std::vector<IpAddress>> SystemResolveAddresses(const std::string& name) {
  addrinfo hints{};
  // No AI_ADDRCONFIG: it drops IPv6 where ::1 is the only IPv6 address, and
  // an address the machine cannot reach fails its connect and moves on.
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;  // one entry per address, not one per type
  addrinfo* found = nullptr;
  const int result = getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (result != 0) return {{}, posix::WsaErrorFromLookup(result)};
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
  const int type = kind == SocketKind::kDatagram ? SOCK_DGRAM : SOCK_STREAM;
  const int fd = socket(Family(family), type | SOCK_CLOEXEC, 0);
  if (fd < 0) return {kInvalidSocket, LastError()};
  if (kind == SocketKind::kDatagram) {
    // The kernel's arrival stamp is T4 without the wake-up and receive
    // latency that a clock reading after the receive would add.
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
  }
  return {Handle(fd)};
}

NetResult<NetWait> ConnectSocket(SocketHandle socket, const Endpoint& to, const CancelSignal* cancel,
                                 std::optional<std::chrono::milliseconds> within) {
  const int fd = Fd(socket);
  // Non-blocking so that the wait can also watch the cancel signal; the
  // system's own connect time-out still ends a connect that never completes.
  if (!SetNonBlocking(fd, true)) return {NetWait::kFailed, LastError()};
  sockaddr_storage address;
  const socklen_t length = ToSockaddr(to, address);
  const Steady::time_point deadline = Steady::now() + within.value_or(std::chrono::milliseconds(0));
  NetResult<NetWait> outcome{NetWait::kReady};
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) {
      outcome = {NetWait::kFailed, LastError()};
    } else {
      outcome = WaitFor(fd, POLLOUT, within ? &deadline : nullptr, cancel);
      if (outcome.value == NetWait::kReady) {
        int socket_error = 0;
        socklen_t size = sizeof socket_error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &socket_error, &size) != 0) socket_error = errno;
        if (socket_error != 0) outcome = {NetWait::kFailed, posix::WsaErrorFromErrno(socket_error)};
      }
    }
  }
  if (!SetNonBlocking(fd, false) && outcome.value == NetWait::kReady) outcome = {NetWait::kFailed, LastError()};
  return outcome;
}

NetResult<int> Send(SocketHandle socket, const std::uint8_t* data, int size) {
  for (;;) {
    const ssize_t sent = send(Fd(socket), data, static_cast<std::size_t>(std::max(size, 0)), MSG_NOSIGNAL);
    if (sent >= 0) return {static_cast<int>(sent)};
    if (errno != EINTR) break;
  }
  return {-1, LastError()};
}

NetResult<NetWait> WaitReadable(SocketHandle socket, std::chrono::milliseconds timeout, const CancelSignal* cancel) {
  if (timeout.count() < 0) return {NetWait::kFailed, kWsaEinval};
  const Steady::time_point deadline = Steady::now() + timeout;
  return WaitFor(Fd(socket), POLLIN, &deadline, cancel);
}

NetResult<Received> ReceiveDatagram(SocketHandle socket, std::uint8_t* buffer, int size) {
  iovec part{buffer, static_cast<std::size_t>(std::max(size, 0))};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  for (;;) {
    const ssize_t received = recvmsg(Fd(socket), &message, 0);
    if (received >= 0) {
      NetResult<Received> result{{static_cast<int>(received), 0}};
      for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
          timespec ts;
          std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
          result.value.arrival =
              kFileTimeUnixEpoch + static_cast<std::int64_t>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100;
        }
      }
      // Here the tail of a long datagram is dropped silently; report it as
      // Windows Sockets does.
      if (message.msg_flags & MSG_TRUNC) result = {{-1, result.value.arrival}, kWsaEmsgsize};
      return result;
    }
    if (errno != EINTR) break;
  }
  // The ICMP "port unreachable" that a connected datagram socket hears: what
  // Windows Sockets calls a reset connection.
  return {{}, errno == ECONNREFUSED ? kWsaEconnreset : LastError()};
}

NetResult<int> Receive(SocketHandle socket, std::uint8_t* buffer, int size) {
  for (;;) {
    const ssize_t received = recv(Fd(socket), buffer, static_cast<std::size_t>(std::max(size, 0)), 0);
    if (received >= 0) return {static_cast<int>(received)};
    if (errno != EINTR) break;
  }
  return {-1, LastError()};
}

void CloseSocket(SocketHandle socket) {
  if (socket == kNoSocket || socket == kInvalidSocket) return;
  close(Fd(socket));
}

}  // namespace qv::platform
