// qv-channel-peer: the other side of the window channel, for tests.
//   post WINDOW MSG WPARAM LPARAM        post as this user; exit 0 when it went out
//   post-dropped UID WINDOW MSG          connect to the window's socket as this user,
//                                        then post through setpriv as UID (the socket
//                                        handed over as descriptor 3)
//   send-fd FD MSG                       post on an inherited connected socket
//   stale PATH                           leave a socket at PATH that nobody listens on,
//                                        as a crashed program does
//   list                                 this user's windows: "ID<tab>CAPTION" per line
//   query WINDOW caption|text|enabled|visible|check|rect [CONTROL]
//                                        what a window shows; prints the text, the
//                                        number, or "L T R B" on the screen
//   dialog CAPTION OWNER_WINDOW          a dialog of another program: tells OWNER its
//                                        window when it opens (WM_USER+100, 0, id) and
//                                        when it is cancelled (WM_USER+100, 2, id); prints
//                                        "placement L T R B SHOW" of OWNER's window
#include <errno.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/window_channel.h"
#include "ui/dialog.h"
#include "ui/program_host.h"

namespace {

using qv::platform::ChannelFrame;

ChannelFrame PostFrame(unsigned msg, std::uint64_t wparam, std::int64_t lparam) {
  ChannelFrame f;
  f.kind = ChannelFrame::Kind::kPost;
  f.msg = msg;
  f.wparam = wparam;
  f.lparam = lparam;
  return f;
}

int PostDropped(const char* uid, const char* window, const char* msg, const char* self) {
  std::string error;
  const std::string folder = qv::platform::ChannelFolder(error);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string path = folder + "/w" + window;
  if (folder.empty() || path.size() >= sizeof addr.sun_path) return 2;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return 2;
  if (fd != 3 && (dup2(fd, 3) != 3 || close(fd) != 0)) return 2;
  const std::string reuid = std::string("--reuid=") + uid, regid = std::string("--regid=") + uid;
  execlp("setpriv", "setpriv", reuid.c_str(), regid.c_str(), "--clear-groups", self, "send-fd", "3", msg,
         static_cast<char*>(nullptr));
  return 2;
}

int SendFd(const char* fd_text, const char* msg) {
  const qv::platform::ChannelBytes bytes = qv::platform::EncodeChannelFrame(PostFrame(std::stoul(msg), 7, -7));
  return send(std::atoi(fd_text), bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()) ? 0 : 1;
}

class PeerDialog : public qv::ui::Dialog {
 public:
  PeerDialog(const qv::ui::DialogTemplate& t, qv::ui::WindowId owner) : Dialog(t), owner_(owner) {}

 protected:
  bool OnInitDialog() override {
    qv::ui::WindowPlacement p;
    std::string error;
    if (qv::ui::CurrentHost().PlacementOf(owner_, p, error))
      std::printf("placement %d %d %d %d %d\n", p.normal.left, p.normal.top, p.normal.right, p.normal.bottom,
                  p.show_cmd);
    else
      std::printf("placement error %s\n", error.c_str());
    std::fflush(stdout);
    qv::ui::CurrentHost().Post(owner_, qv::ui::kWmUser + 100, 0, Id());
    return true;
  }
  void OnCancel() override {
    qv::ui::CurrentHost().Post(owner_, qv::ui::kWmUser + 100, 2, Id());
    EndDialog(qv::ui::kIdCancelResult);
  }

 private:
  qv::ui::WindowId owner_;
};

int RunDialog(const char* caption, const char* owner) {
  using namespace qv::ui::style;
  const qv::ui::DialogTemplate t{600, 30, 30, 120, 40, kPopup | kCaption | kSysMenu | kDsModalFrame | kDsSetFont,
                                 caption, "ＭＳ Ｐゴシック", 9,
                                 {{qv::ui::kIdCancel, qv::ui::ControlClass::Button, "ｷｬﾝｾﾙ", 35, 18, 50, 14,
                                   kVisible | kBsPushButton | kTabStop}}};
  std::unique_ptr<qv::ui::Host> host = qv::ui::MakeProgramHost("QuorvelPeer");
  qv::ui::SetHost(host.get());
  PeerDialog dialog(t, std::atoll(owner));
  const int result = dialog.DoModal();
  qv::ui::SetHost(nullptr);
  return result;
}

}  // namespace

bool Ask(std::int32_t window, qv::platform::ChannelQuery what, int control, ChannelFrame& reply) {
  ChannelFrame query;
  query.kind = ChannelFrame::Kind::kQuery;
  query.msg = static_cast<std::uint32_t>(what);
  query.wparam = static_cast<std::uint64_t>(control);
  return qv::platform::ChannelRequest(window, query, reply, 5000) && reply.ok;
}

int List() {
  for (std::int32_t id : qv::platform::ChannelWindows()) {
    ChannelFrame reply;
    if (Ask(id, qv::platform::ChannelQuery::kCaption, 0, reply)) std::printf("%d\t%s\n", id, reply.text.c_str());
  }
  return 0;
}

int Query(const char* window, const std::string& what, const char* control) {
  using qv::platform::ChannelQuery;
  const std::pair<const char*, ChannelQuery> names[] = {
      {"caption", ChannelQuery::kCaption}, {"text", ChannelQuery::kText},   {"enabled", ChannelQuery::kEnabled},
      {"visible", ChannelQuery::kVisible}, {"check", ChannelQuery::kCheck}, {"rect", ChannelQuery::kRect}};
  for (const auto& [name, kind] : names) {
    if (what != name) continue;
    ChannelFrame reply;
    if (!Ask(std::atoi(window), kind, control ? std::atoi(control) : 0, reply)) return 1;
    if (kind == ChannelQuery::kCaption || kind == ChannelQuery::kText)
      std::printf("%s\n", reply.text.c_str());
    else if (kind == ChannelQuery::kRect)
      std::printf("%d %d %d %d\n", reply.left, reply.top, reply.right, reply.bottom);
    else
      std::printf("%lld\n", static_cast<long long>(reply.result));
    return 0;
  }
  return 64;
}

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "post" && argc == 6)
    return qv::platform::ChannelSend(std::atoi(argv[2]),
                                     PostFrame(std::stoul(argv[3]), std::stoull(argv[4]), std::stoll(argv[5])))
               ? 0
               : 1;
  if (mode == "post-dropped" && argc == 5) return PostDropped(argv[2], argv[3], argv[4], argv[0]);
  if (mode == "send-fd" && argc == 4) return SendFd(argv[2], argv[3]);
  if (mode == "stale" && argc == 3) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, argv[2], sizeof addr.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    return fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 ? 0 : 1;
  }
  if (mode == "dialog" && argc == 4) return RunDialog(argv[2], argv[3]);
  if (mode == "list" && argc == 2) return List();
  if (mode == "query" && (argc == 4 || argc == 5)) return Query(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
  std::fprintf(stderr, "usage: qv-channel-peer post|post-dropped|send-fd|stale|dialog|list|query ...\n");
  return 64;
}
