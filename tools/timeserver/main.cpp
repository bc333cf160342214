// qv-timeserver: a small SNTP / TIME / DAYTIME server on one loopback
// address, with fault modes, for tests and demonstrations. See --help.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "answers.h"
#include "daemon.h"
#include "options.h"

namespace qv::timeserver {

namespace {

Options g_options;
int g_signal_pipe[2] = {-1, -1};
// Another port of the same address, for replies from elsewhere: IPv4, IPv6.
int g_other_udp[2] = {-1, -1};

void OnTerminate(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(g_signal_pipe[1], &byte, 1);
}

UnixNanos Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<UnixNanos>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The offset of the next answer: --first-offset for the first one served
// (of any protocol), --offset for every other.
UnixNanos NextOffset() {
  static std::atomic<bool> first_served{false};
  const bool first = g_options.first_offset && !first_served.exchange(true);
  return static_cast<UnixNanos>((first ? *g_options.first_offset : g_options.offset) * 1e9);
}

void Pause(double seconds) {
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// The served address of a family (AF_INET: the one given, AF_INET6: ::1).
sockaddr_storage Address(int family, int port) {
  sockaddr_storage storage{};
  if (family == AF_INET6) {
    auto& address = reinterpret_cast<sockaddr_in6&>(storage);
    address.sin6_family = AF_INET6;
    address.sin6_port = htons(static_cast<std::uint16_t>(port));
    address.sin6_addr = in6addr_loopback;
  } else {
    auto& address = reinterpret_cast<sockaddr_in&>(storage);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, g_options.address.c_str(), &address.sin_addr);
  }
  return storage;
}

socklen_t Length(const sockaddr_storage& address) {
  return address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

// -1 when the port is off, -2 when it cannot be served (errno tells why).
int Bind(int family, int type, int port) {
  if (port < 0) return -1;
  const int fd = socket(family, type | SOCK_CLOEXEC, 0);
  if (fd < 0) return -2;
  if (family == AF_INET6) {
    const int on = 1;
    setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  }
  if (type == SOCK_STREAM) {
    // Quick restarts on the same address while old connections linger.
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  } else {
    // The kernel's arrival time is the truest T2.
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
  }
  const sockaddr_storage address = Address(family, port);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), Length(address)) != 0 ||
      (type == SOCK_STREAM && listen(fd, g_options.no_accept ? 0 : 64) != 0)) {
    const int error = errno;
    close(fd);
    errno = error;
    return -2;
  }
  return fd;
}

// Binds the three services on the address, or on the next ones (up to
// --scan of them) while one of its ports is taken by someone else.
// The three services of one family; false (errno tells why) when one of
// them cannot be served.
bool BindFamily(int family, int& udp, int& time_listener, int& daytime_listener) {
  udp = Bind(family, SOCK_DGRAM, g_options.sntp_port);
  time_listener = udp == -2 ? -2 : Bind(family, SOCK_STREAM, g_options.time_port);
  daytime_listener = time_listener == -2 ? -2 : Bind(family, SOCK_STREAM, g_options.daytime_port);
  if (daytime_listener != -2) return true;
  const int error = errno;
  for (int fd : {udp, time_listener}) {
    if (fd >= 0) close(fd);
  }
  errno = error;
  return false;
}

bool BindAll(int& udp, int& time_listener, int& daytime_listener) {
  for (int tries = 0;; ++tries) {
    if (BindFamily(AF_INET, udp, time_listener, daytime_listener)) return true;
    const int error = errno;
    in_addr next{};
    inet_pton(AF_INET, g_options.address.c_str(), &next);
    const std::uint32_t host = ntohl(next.s_addr);
    if (error != EADDRINUSE || tries >= g_options.scan || (host & 0xFF) >= 255) {
      std::fprintf(stderr, "qv-timeserver: cannot serve %s: %s\n", g_options.address.c_str(), std::strerror(error));
      return false;
    }
    next.s_addr = htonl(host + 1);
    char text[INET_ADDRSTRLEN];
    g_options.address = inet_ntop(AF_INET, &next, text, sizeof text);
    g_options.behaviour.front() = g_options.address;
  }
}

void SendAll(int fd, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t sent = send(fd, bytes, size, MSG_NOSIGNAL);
    if (sent <= 0) {
      if (sent < 0 && errno == EINTR) continue;
      return;
    }
    bytes += sent;
    size -= static_cast<std::size_t>(sent);
  }
}

// Holds a connection open without a word until the peer goes away.
void StaySilent(int fd) {
  char sink[256];
  while (recv(fd, sink, sizeof sink, 0) > 0) {
  }
}

void SendDatagram(int fd, const std::vector<std::uint8_t>& datagram, const sockaddr_storage& peer) {
  if (!datagram.empty())
    sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&peer), Length(peer));
}

void AnswerSntp(int fd, std::vector<std::uint8_t> request, sockaddr_storage peer, UnixNanos t2, UnixNanos offset) {
  const int other_udp = g_other_udp[peer.ss_family == AF_INET6 ? 1 : 0];
  Pause(g_options.delay);
  const UnixNanos t3 = Now() + offset;
  // Forged answers that echo the request right but come from another port,
  // 1000 s ahead: a client that takes them sets its clock wrong.
  constexpr UnixNanos kForgedAhead = 1000LL * 1000000000;
  for (int i = 0; i < g_options.stray; ++i)
    SendDatagram(other_udp, SntpReply(request.data(), request.size(), t2 + kForgedAhead, t3 + kForgedAhead, g_options),
                 peer);
  SendDatagram(g_options.reply_from_other ? other_udp : fd,
               SntpReply(request.data(), request.size(), t2, t3, g_options), peer);
}

void ReadSntp(int fd) {
  std::vector<std::uint8_t> request(1024);
  sockaddr_storage peer{};
  char control[256];
  iovec part{request.data(), request.size()};
  msghdr message{};
  message.msg_name = &peer;
  message.msg_namelen = sizeof peer;
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t size = recvmsg(fd, &message, 0);
  UnixNanos t2 = Now();
  if (size < 0) return;
  for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
    if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_TIMESTAMPNS) {
      timespec stamp{};
      std::memcpy(&stamp, CMSG_DATA(header), sizeof stamp);
      t2 = static_cast<UnixNanos>(stamp.tv_sec) * 1000000000 + stamp.tv_nsec;
    }
  }
  if (g_options.silent) return;
  request.resize(static_cast<std::size_t>(size));
  const UnixNanos offset = NextOffset();
  std::thread(AnswerSntp, fd, std::move(request), peer, t2 + offset, offset).detach();
}

void AnswerTime(int fd) {
  Pause(g_options.delay);
  if (g_options.silent) return StaySilent(fd);
  if (g_options.time_close) return;
  const std::vector<std::uint8_t> reply = TimeReply(Now() + NextOffset(), g_options);
  if (g_options.time_split_ms >= 0) {
    // Two segments: the first half, a pause, the rest.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    SendAll(fd, reply.data(), 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(g_options.time_split_ms));
    SendAll(fd, reply.data() + 2, reply.size() - 2);
  } else {
    SendAll(fd, reply.data(), reply.size());
  }
}

void AnswerDaytime(int fd) {
  Pause(g_options.delay);
  if (g_options.silent) return StaySilent(fd);
  const std::string reply = DaytimeReply(Now() + NextOffset(), g_options);
  SendAll(fd, reply.data(), reply.size());
}

void Accept(int listener, void (*answer)(int)) {
  const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  if (g_options.reset) {
    // Closing with a zero linger time sends a reset instead of an orderly
    // end; a moment later, so that the client is already waiting to read.
    std::thread([fd] {
      Pause(std::max(g_options.delay, 0.1));
      const linger abort{1, 0};
      setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
      close(fd);
    }).detach();
    return;
  }
  std::thread([fd, answer] {
    answer(fd);
    // Orderly end: the client reads everything sent, then end of stream.
    shutdown(fd, SHUT_WR);
    close(fd);
  }).detach();
}

void Announce(const Options& o, int fd) {
  auto port = [](int p) { return p < 0 ? std::string("off") : std::to_string(p); };
  const std::string line = "ready " + o.address + (o.ipv6 ? " ::1" : "") + " sntp=" + port(o.sntp_port) + " time=" + port(o.time_port) +
                           " daytime=" + port(o.daytime_port) + "\n";
  if (fd >= 0) [[maybe_unused]] ssize_t n = write(fd, line.data(), line.size());
}

int Serve() {
  // [0] the IPv4 address, [1] ::1 (when served).
  int udp[2] = {-1, -1}, time_listener[2] = {-1, -1}, daytime_listener[2] = {-1, -1};
  if (!BindAll(udp[0], time_listener[0], daytime_listener[0])) return 2;
  if (g_options.ipv6 && !BindFamily(AF_INET6, udp[1], time_listener[1], daytime_listener[1])) {
    std::fprintf(stderr, "qv-timeserver: cannot serve ::1: %s\n", std::strerror(errno));
    return 2;
  }
  if (g_options.reply_from_other || g_options.stray > 0) {
    for (int family : {AF_INET, AF_INET6}) {
      const int k = family == AF_INET6 ? 1 : 0;
      if (k == 1 && !g_options.ipv6) continue;
      g_other_udp[k] = socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      const sockaddr_storage any_port = Address(family, 0);
      if (g_other_udp[k] < 0 ||
          bind(g_other_udp[k], reinterpret_cast<const sockaddr*>(&any_port), Length(any_port)) != 0) {
        std::perror("qv-timeserver: second port");
        return 2;
      }
    }
  }

  if (pipe2(g_signal_pipe, O_CLOEXEC) != 0) return 2;
  struct sigaction action{};
  action.sa_handler = OnTerminate;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (g_options.daemon) {
    const pid_t child = fork();
    if (child < 0) return 2;
    if (child > 0) {
      if (!WritePidfile(g_options.pidfile, child, g_options.behaviour)) {
        kill(child, SIGKILL);
        return 2;
      }
      Announce(g_options, STDOUT_FILENO);
      Announce(g_options, g_options.ready_fd);
      return 0;
    }
    // Let go of the caller's terminal and pipes, or a test runner that waits
    // for our output to end would wait for us.
    setsid();
    const int null = open("/dev/null", O_RDWR);
    for (int fd = 0; fd <= 2; ++fd) dup2(null, fd);
    if (null > 2) close(null);
    if (g_options.ready_fd > 2) close(g_options.ready_fd);
  } else {
    Announce(g_options, STDOUT_FILENO);
    Announce(g_options, g_options.ready_fd);
  }

  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(g_options.lifetime);
  std::vector<pollfd> watched{{g_signal_pipe[0], POLLIN, 0}};
  for (int k = 0; k < 2; ++k) {
    if (udp[k] >= 0) watched.push_back({udp[k], POLLIN, 0});
    if (!g_options.no_accept) {
      if (time_listener[k] >= 0) watched.push_back({time_listener[k], POLLIN, 0});
      if (daytime_listener[k] >= 0) watched.push_back({daytime_listener[k], POLLIN, 0});
    }
  }
  for (;;) {
    int wait_ms = -1;
    if (g_options.lifetime > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      wait_ms = static_cast<int>(std::min<long long>(left.count() + 1, 60000));
    }
    if (poll(watched.data(), watched.size(), wait_ms) < 0 && errno != EINTR) break;
    if (watched[0].revents) break;
    for (std::size_t i = 1; i < watched.size(); ++i) {
      if (!watched[i].revents) continue;
      const int fd = watched[i].fd;
      if (fd == udp[0] || fd == udp[1]) ReadSntp(fd);
      else if (fd == time_listener[0] || fd == time_listener[1]) Accept(fd, AnswerTime);
      else Accept(fd, AnswerDaytime);
    }
  }
  RemoveOwnPidfile(g_options.pidfile, getpid());
  // Answer threads may still sleep in a delay: leave without joining them.
  _exit(0);
}

}  // namespace

}  // namespace qv::timeserver

int main(int argc, char** argv) {
  using namespace qv::timeserver;
  std::string error;
  bool help = false;
  if (!ParseOptions(argc, argv, g_options, error, help)) {
    std::fprintf(stderr, "qv-timeserver: %s\n%s", error.c_str(), UsageText());
    return 2;
  }
  if (help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (!g_options.stop_pidfile.empty()) return StopFromPidfile(g_options.stop_pidfile, g_options.stop_comm);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  return Serve();
}
