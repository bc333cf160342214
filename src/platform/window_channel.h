// Window messages between processes of one user (Linux): every window that
// accepts them owns a datagram socket, named after the window's number, in a
// folder that only its user can enter. A window number is therefore enough
// to post to a window of another process, and a message whose sender is not
// the same user is never accepted, whatever reached the socket.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qv::platform {

// One message on the wire, decoded. Requests (send, placement) are answered
// with a reply that carries the same request number.
struct ChannelFrame {
  enum class Kind : std::uint16_t { kPost = 1, kSend = 2, kPlacement = 3, kProbe = 4, kReply = 5, kQuery = 6 };
  Kind kind = Kind::kPost;
  std::uint32_t request = 0;
  std::uint32_t msg = 0;
  std::uint64_t wparam = 0;
  std::int64_t lparam = 0;
  // Replies: a send's result; a placement (ok: whether it was read).
  std::int64_t result = 0;
  bool ok = false;
  bool set_min_position = false;
  std::int32_t show_cmd = 0;
  std::int32_t min_x = 0, min_y = 0;
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  std::string text;  // UTF-8, at most kChannelTextMax bytes (a query's answer)
};

// What a query asks of a window (in `msg`; the control's id in `wparam`):
// what any program of the user may read of another's window on Windows too.
enum class ChannelQuery : std::uint32_t {
  kCaption = 1,  // text: the window's caption
  kText = 2,     // text: the control's text; result 1 when the control exists
  kEnabled = 3,  // result 0 or 1
  kVisible = 4,  // result 0 or 1
  kCheck = 5,    // result 0, 1 or 2
  kRect = 6,     // left, top, right, bottom: the control on the screen (control 0: the window)
};

inline constexpr std::size_t kChannelFrameSize = 72;  // without its text
inline constexpr std::size_t kChannelTextMax = 4096;
using ChannelBytes = std::vector<std::uint8_t>;

// A text longer than kChannelTextMax is cut at a character's start.
ChannelBytes EncodeChannelFrame(const ChannelFrame& frame);
// False for anything that is not exactly one well-formed frame.
bool DecodeChannelFrame(const std::uint8_t* data, std::size_t size, ChannelFrame& out);

// The folder of this user's window sockets: "quorvel" in $XDG_RUNTIME_DIR
// when that is a folder of this user closed to others, else
// /tmp/quorvel-<uid>. Made with mode 0700; a folder that is a link, belongs
// to someone else or lets others in is refused. Empty, with the reason in
// `error`, when there is none to use.
std::string ChannelFolder(std::string& error);

// The address a request came from, for its reply.
struct ChannelPeer {
  std::array<std::uint8_t, 112> address{};
  unsigned length = 0;
};

// A window's receiving end: a socket bound under a window number that no
// other window of this user has, unbound (its file removed) on destruction.
class ChannelEndpoint {
 public:
  // nullptr, with the reason, when no channel can be made.
  static std::unique_ptr<ChannelEndpoint> Open(std::string& error);
  ~ChannelEndpoint();
  ChannelEndpoint(const ChannelEndpoint&) = delete;
  ChannelEndpoint& operator=(const ChannelEndpoint&) = delete;

  std::int32_t id() const { return id_; }
  int fd() const { return fd_; }

  enum class Read {
    kFrame,    // a frame from this user
    kRefused,  // a datagram from another user, or without credentials: dropped
    kInvalid,  // from this user but not a frame: dropped
    kNone,     // nothing waiting
  };
  // Takes one waiting datagram, never blocks.
  Read Receive(ChannelFrame& frame, ChannelPeer& from, std::uint32_t* sender_uid = nullptr);
  bool Reply(const ChannelPeer& to, const ChannelFrame& reply);

 private:
  ChannelEndpoint(int fd, std::int32_t id, std::string path) : fd_(fd), id_(id), path_(std::move(path)) {}
  int fd_;
  std::int32_t id_;
  std::string path_;
};

// Sends a frame to the window with that number. False when no window of
// this user has it (gone, or never was) or its queue stays full for a
// second.
bool ChannelSend(std::int32_t window, const ChannelFrame& frame);
// True when a window of this user has that number.
bool ChannelWindowExists(std::int32_t window);
// Sends a request and waits for its reply until the deadline; `idle` runs
// every few milliseconds meanwhile (the caller answers requests to its own
// windows there, so two programs asking each other never lock up).
bool ChannelRequest(std::int32_t window, ChannelFrame request, ChannelFrame& reply, int timeout_ms,
                    void (*idle)(void*) = nullptr, void* idle_data = nullptr);

// Removes sockets that no process holds any more (left by a crash).
void PruneChannelFolder();
// The numbers of this user's windows that have a socket.
std::vector<std::int32_t> ChannelWindows();

}  // namespace qv::platform
