#include "platform/window_channel.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "base/text.h"

namespace qv::platform {

namespace {

// Frame layout (little-endian, fixed offsets):
//   0 magic "QVW1"   4 kind u16   6 flags u16 (bit 0 ok, bit 1 set_min_position)
//   8 request u32   12 msg u32   16 wparam u64   24 lparam i64   32 result i64
//  40 show_cmd i32  44 min_x     48 min_y        52 left  56 top  60 right  64 bottom
//  68 text length u32, then the text's bytes
constexpr std::uint32_t kMagic = 0x31575651;  // "QVW1"
constexpr std::uint16_t kFlagOk = 1, kFlagSetMin = 2;

void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Get32(const std::uint8_t* p) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
std::uint64_t Get64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

// A folder fit to hold the sockets: a real folder (not a link) of this user
// that nobody else may enter or write.
bool PrivateFolder(const std::string& path, std::string& error) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    error = path + ": not a folder";
    return false;
  }
  if (st.st_uid != geteuid()) {
    error = path + ": belongs to another user";
    return false;
  }
  if ((st.st_mode & 077) != 0) {
    error = path + ": open to other users";
    return false;
  }
  return true;
}

// A folder of this user's that others cannot write (its group only when
// that is the user's own group, as where every user has a group of their
// own), so that nobody can put another folder in place of one we make in
// it. Made (0700) when missing.
bool OwnFolder(const std::string& path, std::string& error) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    error = path + ": not a folder";
    return false;
  }
  if (st.st_uid != geteuid()) {
    error = path + ": belongs to another user";
    return false;
  }
  if ((st.st_mode & S_IWOTH) != 0 || ((st.st_mode & S_IWGRP) != 0 && st.st_gid != getegid())) {
    error = path + ": others may write in it";
    return false;
  }
  return true;
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// $XDG_CACHE_HOME when it is absolute, else ~/.cache (the home from $HOME,
// else the user database); empty when there is no home.
std::string CacheHome() {
  if (std::string cache = Env("XDG_CACHE_HOME"); cache.starts_with('/')) return cache;
  std::string home = Env("HOME");
  if (!home.starts_with('/')) {
    const passwd* pw = getpwuid(geteuid());
    home = pw && pw->pw_dir ? pw->pw_dir : "";
  }
  if (!home.starts_with('/')) return {};
  while (home.size() > 1 && home.ends_with('/')) home.pop_back();
  return (home == "/" ? "" : home) + "/.cache";
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  std::string out = name;
  for (char& c : out)
    if (c == '/') c = '_';
  return out;
}

bool MakePrivateFolder(const std::string& path, std::string& error) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  return PrivateFolder(path, error);
}

std::string SocketPath(const std::string& folder, std::int32_t id) { return folder + "/w" + std::to_string(id); }

// The longest folder whose every socket name ("/w" and up to ten digits)
// fits a socket address, its closing NUL included.
constexpr std::size_t kMaxFolderLength = sizeof(sockaddr_un::sun_path) - 1 - 12;

bool FillAddress(const std::string& path, sockaddr_un& addr, socklen_t& length) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
  return true;
}

// Next window number from the counter file, under its lock: numbers are
// handed out in order and never twice while the folder lives, so a late
// message for a closed window cannot reach a newer one.
std::int32_t NextNumber(const std::string& folder) {
  const std::string path = folder + "/next-window";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return 0;
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  char buf[16] = {};
  const ssize_t n = pread(fd, buf, sizeof buf - 1, 0);
  std::string_view stored(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
  long value = ParseInt<long>(stored.substr(0, stored.find('\n'))).value_or(0);
  if (value < 1 || value > 0x7FFFFFFF) value = 1;
  const long next = value == 0x7FFFFFFF ? 1 : value + 1;
  const std::string text = std::to_string(next) + "\n";
  if (ftruncate(fd, 0) != 0 || pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) value = 0;
  close(fd);  // releases the lock
  return static_cast<std::int32_t>(value);
}

int NewSocket() { return socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0); }

bool EnableCredentials(int fd) {
  const int on = 1;
  return setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) == 0;
}

// Reads one datagram with the sender's credentials.
ChannelEndpoint::Read ReceiveFrom(int fd, ChannelFrame& frame, ChannelPeer& from, std::uint32_t* sender_uid) {
  std::uint8_t data[kChannelFrameSize + kChannelTextMax + 1];
  iovec iov{data, sizeof data};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
  sockaddr_un addr{};
  msghdr msg{};
  msg.msg_name = &addr;
  msg.msg_namelen = sizeof addr;
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  ssize_t n;
  do {
    n = recvmsg(fd, &msg, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return ChannelEndpoint::Read::kNone;
  const ucred* cred = nullptr;
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS && c->cmsg_len == CMSG_LEN(sizeof(ucred)))
      cred = reinterpret_cast<const ucred*>(CMSG_DATA(c));
  if (sender_uid) *sender_uid = cred ? cred->uid : 0xFFFFFFFFu;
  // The kernel fills these in; the sender cannot choose them (short of
  // privileges that could reach this user's files anyway).
  if (!cred || cred->uid != getuid()) return ChannelEndpoint::Read::kRefused;
  if ((msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) || !DecodeChannelFrame(data, static_cast<std::size_t>(n), frame))
    return ChannelEndpoint::Read::kInvalid;
  from.length = std::min<unsigned>(msg.msg_namelen, static_cast<unsigned>(from.address.size()));
  std::memcpy(from.address.data(), &addr, from.length);
  return ChannelEndpoint::Read::kFrame;
}

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

ChannelBytes EncodeChannelFrame(const ChannelFrame& f) {
  std::size_t text = std::min(f.text.size(), kChannelTextMax);
  // Never half a character.
  while (text > 0 && text < f.text.size() && (static_cast<unsigned char>(f.text[text]) & 0xC0) == 0x80) --text;
  ChannelBytes b(kChannelFrameSize + text);
  Put32(&b[0], kMagic);
  Put16(&b[4], static_cast<std::uint16_t>(f.kind));
  Put16(&b[6], static_cast<std::uint16_t>((f.ok ? kFlagOk : 0) | (f.set_min_position ? kFlagSetMin : 0)));
  Put32(&b[8], f.request);
  Put32(&b[12], f.msg);
  Put64(&b[16], f.wparam);
  Put64(&b[24], static_cast<std::uint64_t>(f.lparam));
  Put64(&b[32], static_cast<std::uint64_t>(f.result));
  const std::int32_t ints[] = {f.show_cmd, f.min_x, f.min_y, f.left, f.top, f.right, f.bottom};
  for (std::size_t i = 0; i < 7; ++i) Put32(&b[40 + 4 * i], static_cast<std::uint32_t>(ints[i]));
  Put32(&b[68], static_cast<std::uint32_t>(text));
  std::memcpy(b.data() + kChannelFrameSize, f.text.data(), text);
  return b;
}

bool DecodeChannelFrame(const std::uint8_t* data, std::size_t size, ChannelFrame& out) {
  if (size < kChannelFrameSize || Get32(data) != kMagic) return false;
  const std::uint16_t kind = Get16(data + 4), flags = Get16(data + 6);
  const std::uint32_t text = Get32(data + 68);
  if (kind < 1 || kind > 6 || (flags & ~(kFlagOk | kFlagSetMin)) != 0 || text > kChannelTextMax ||
      size != kChannelFrameSize + text)
    return false;
  ChannelFrame f;
  f.kind = static_cast<ChannelFrame::Kind>(kind);
  f.ok = flags & kFlagOk;
  f.set_min_position = flags & kFlagSetMin;
  f.request = Get32(data + 8);
  f.msg = Get32(data + 12);
  f.wparam = Get64(data + 16);
  f.lparam = static_cast<std::int64_t>(Get64(data + 24));
  f.result = static_cast<std::int64_t>(Get64(data + 32));
  std::int32_t* ints[] = {&f.show_cmd, &f.min_x, &f.min_y, &f.left, &f.top, &f.right, &f.bottom};
  for (std::size_t i = 0; i < 7; ++i) *ints[i] = static_cast<std::int32_t>(Get32(data + 40 + 4 * i));
  f.text.assign(reinterpret_cast<const char*>(data + kChannelFrameSize), text);
  out = std::move(f);
  return true;
}

std::string ChannelFolder(std::string& error) {
  std::vector<std::string> refused;
  const auto usable = [&](const std::string& folder) {
    std::string why;
    if (folder.size() > kMaxFolderLength) why = folder + ": too long a path for a socket";
    else if (MakePrivateFolder(folder, why)) return true;
    refused.push_back(why);
    return false;
  };
  // The login session's own folder.
  if (const std::string runtime = Env("XDG_RUNTIME_DIR"); runtime.starts_with('/')) {
    std::string why;
    if (PrivateFolder(runtime, why)) {
      if (usable(runtime + "/quorvel")) return runtime + "/quorvel";
    } else {
      refused.push_back(why);
    }
  }
  // Without a session (cron, su, ssh without a login): the user's cache
  // folder, which no other user can make first, named after the machine
  // for a home that several machines share.
  if (const std::string cache = CacheHome(); !cache.empty()) {
    std::string why;
    if (OwnFolder(cache, why)) {
      if (usable(cache + "/quorvel-" + HostName())) return cache + "/quorvel-" + HostName();
    } else {
      refused.push_back(why);
    }
  }
  // Only where the home cannot serve: the temporary folder, when the folder
  // there is this user's alone.
  const std::string tmp = Env("TMPDIR").starts_with('/') ? Env("TMPDIR") : "/tmp";
  const std::string fallback = tmp + "/quorvel-" + std::to_string(geteuid());
  if (usable(fallback)) return fallback;
  error.clear();
  for (const std::string& why : refused) error += (error.empty() ? "" : "; ") + why;
  return {};
}

std::unique_ptr<ChannelEndpoint> ChannelEndpoint::Open(std::string& error) {
  const std::string folder = ChannelFolder(error);
  if (folder.empty()) return nullptr;
  const int fd = NewSocket();
  if (fd < 0 || !EnableCredentials(fd)) {
    error = std::string("socket: ") + std::strerror(errno);
    if (fd >= 0) close(fd);
    return nullptr;
  }
  // A number whose file is left over (a crashed process) is skipped.
  for (int attempt = 0; attempt < 64; ++attempt) {
    const std::int32_t id = NextNumber(folder);
    if (id == 0) {
      error = folder + ": no window numbers (counter file)";
      break;
    }
    const std::string path = SocketPath(folder, id);
    sockaddr_un addr;
    socklen_t length;
    if (!FillAddress(path, addr, length)) {
      error = path + ": path too long for a socket";
      break;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), length) == 0) {
      chmod(path.c_str(), 0600);
      return std::unique_ptr<ChannelEndpoint>(new ChannelEndpoint(fd, id, path));
    }
    if (errno != EADDRINUSE) {
      error = path + ": " + std::strerror(errno);
      break;
    }
  }
  close(fd);
  return nullptr;
}

ChannelEndpoint::~ChannelEndpoint() {
  unlink(path_.c_str());
  close(fd_);
}

ChannelEndpoint::Read ChannelEndpoint::Receive(ChannelFrame& frame, ChannelPeer& from, std::uint32_t* sender_uid) {
  return ReceiveFrom(fd_, frame, from, sender_uid);
}

bool ChannelEndpoint::Reply(const ChannelPeer& to, const ChannelFrame& reply) {
  if (to.length <= sizeof(sa_family_t)) return false;  // an unbound sender cannot be answered
  const ChannelBytes bytes = EncodeChannelFrame(reply);
  return sendto(fd_, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                reinterpret_cast<const sockaddr*>(to.address.data()), to.length) == static_cast<ssize_t>(bytes.size());
}

namespace {
// A socket connected to the window's, so that a full queue can be waited on.
int ConnectTo(std::int32_t window, int fd) {
  if (window <= 0) return -1;
  std::string error;
  const std::string folder = ChannelFolder(error);
  if (folder.empty()) return -1;
  sockaddr_un addr;
  socklen_t length;
  if (!FillAddress(SocketPath(folder, window), addr, length)) return -1;
  int rc;
  do {
    rc = connect(fd, reinterpret_cast<sockaddr*>(&addr), length);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

bool SendOn(int fd, const ChannelFrame& frame) {
  const ChannelBytes bytes = EncodeChannelFrame(frame);
  for (int round = 0; round < 2; ++round) {
    const ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n == static_cast<ssize_t>(bytes.size())) return true;
    if (n < 0 && errno == EINTR) continue;
    if (n >= 0 || errno != EAGAIN) return false;
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, 1000) <= 0) return false;
  }
  return false;
}
}  // namespace

bool ChannelSend(std::int32_t window, const ChannelFrame& frame) {
  const int fd = NewSocket();
  if (fd < 0) return false;
  const bool ok = ConnectTo(window, fd) == 0 && SendOn(fd, frame);
  close(fd);
  return ok;
}

bool ChannelWindowExists(std::int32_t window) {
  ChannelFrame probe;
  probe.kind = ChannelFrame::Kind::kProbe;
  return ChannelSend(window, probe);
}

bool ChannelRequest(std::int32_t window, ChannelFrame request, ChannelFrame& reply, int timeout_ms,
                    void (*idle)(void*), void* idle_data) {
  static std::atomic<std::uint32_t> counter{0};
  const int fd = NewSocket();
  if (fd < 0) return false;
  // Bound to an automatic abstract name, so that the window can answer.
  sa_family_t family = AF_UNIX;
  bool ok = EnableCredentials(fd) && bind(fd, reinterpret_cast<sockaddr*>(&family), sizeof family) == 0 &&
            ConnectTo(window, fd) == 0;
  request.request = ++counter;
  ok = ok && SendOn(fd, request);
  const long long deadline = NowMs() + timeout_ms;
  bool answered = false;
  while (ok && !answered) {
    const long long left = deadline - NowMs();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(std::min<long long>(left, idle ? 10 : left)));
    if (ready > 0) {
      ChannelFrame frame;
      ChannelPeer from;
      while (ReceiveFrom(fd, frame, from, nullptr) != ChannelEndpoint::Read::kNone) {
        if (frame.kind == ChannelFrame::Kind::kReply && frame.request == request.request) {
          reply = frame;
          answered = true;
        }
      }
    } else if (ready < 0 && errno != EINTR) {
      break;
    }
    if (!answered && idle) idle(idle_data);
  }
  close(fd);
  return answered;
}

namespace {
// The window numbers whose sockets are in the folder.
std::vector<std::int32_t> SocketNumbers(const std::string& folder) {
  std::vector<std::int32_t> ids;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return ids;
  while (const dirent* e = readdir(dir)) {
    if (e->d_name[0] != 'w') continue;
    if (const std::optional<std::int32_t> id = ParseIntIn<std::int32_t>(e->d_name + 1, 1, 0x7FFFFFFF))
      ids.push_back(*id);
  }
  closedir(dir);
  std::sort(ids.begin(), ids.end());
  return ids;
}
}  // namespace

void PruneChannelFolder() {
  std::string error;
  const std::string folder = ChannelFolder(error);
  if (folder.empty()) return;
  for (std::int32_t id : SocketNumbers(folder)) {
    const int fd = NewSocket();
    if (fd < 0) break;
    // Nobody bound to it: the connect is refused.
    if (ConnectTo(id, fd) != 0 && errno == ECONNREFUSED) unlink(SocketPath(folder, id).c_str());
    close(fd);
  }
}

std::vector<std::int32_t> ChannelWindows() {
  std::string error;
  const std::string folder = ChannelFolder(error);
  std::vector<std::int32_t> live;
  if (folder.empty()) return live;
  for (std::int32_t id : SocketNumbers(folder))
    if (ChannelWindowExists(id)) live.push_back(id);
  return live;
}

}  // namespace qv::platform
