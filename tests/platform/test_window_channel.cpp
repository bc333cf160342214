// The window channel between processes of one user: the frame on the wire,
// the private folder (and the single-instance lock beside the sockets),
// window numbers that are never handed out twice, posts to windows that are
// gone, requests and replies, a sender of another user (a child dropped to
// nobody with setpriv) refused, and the main program without a folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "platform/instance.h"
#include "platform/window_channel.h"
#include "support/run_command.h"
#include "support/scoped_env.h"

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using Kind = ChannelFrame::Kind;

// Each test gets a runtime folder of its own, as a login session has.
class ChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Short: a socket's path has room for 107 bytes.
    runtime_ = fs::temp_directory_path() / ("qv-channel-" + std::to_string(std::random_device()() % 1000000));
    fs::remove_all(runtime_);
    fs::create_directories(runtime_);
    fs::permissions(runtime_, fs::perms::owner_all, fs::perm_options::replace);
    for (const char* name : {"XDG_CACHE_HOME", "TMPDIR"}) unsetenv(name);
    setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
    setenv("HOME", (runtime_ / "home").c_str(), 1);
  }
  void TearDown() override { fs::remove_all(runtime_); }
  std::unique_ptr<ChannelEndpoint> Open() {
    std::string error;
    auto e = ChannelEndpoint::Open(error);
    EXPECT_TRUE(e) << error;
    return e;
  }
  // Waits a little for a datagram; probes (a look whether the window
  // exists) are passed over.
  static ChannelEndpoint::Read ReceiveSoon(ChannelEndpoint& e, ChannelFrame& f, std::uint32_t* uid = nullptr) {
    ChannelPeer from;
    for (int i = 0; i < 200; ++i) {
      const auto r = e.Receive(f, from, uid);
      if (r == ChannelEndpoint::Read::kFrame && f.kind == Kind::kProbe) continue;
      if (r != ChannelEndpoint::Read::kNone) return r;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return ChannelEndpoint::Read::kNone;
  }
  qv::test::ScopedEnv env_{"XDG_RUNTIME_DIR", "HOME", "XDG_CACHE_HOME", "TMPDIR"};
  fs::path runtime_;
};

// A folder made afresh with the mode given, owned by `uid` (-1: ours).
void MakeFolder(const fs::path& path, fs::perms mode, int uid = -1) {
  fs::remove_all(path);
  fs::create_directories(path);
  fs::permissions(path, mode, fs::perm_options::replace);
  if (uid >= 0) {
    ASSERT_EQ(chown(path.c_str(), uid, uid), 0) << path;
  }
}

std::string HostName() {
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  return name;
}

TEST(ChannelFrame, FieldsSitAtTheirOffsetsAndComeBackWhole) {
  ChannelFrame f;
  f.kind = Kind::kReply;
  f.request = 0x01020304;
  f.msg = 1124;
  f.wparam = 0x1122334455667788ULL;
  f.lparam = -2;
  f.result = 42;
  f.ok = true;
  f.set_min_position = true;
  f.show_cmd = 7;
  f.min_x = -1, f.min_y = -32000;
  f.left = 10, f.top = 20, f.right = 310, f.bottom = 220;
  f.text = "ﾁｪｯｸ";
  const ChannelBytes b = EncodeChannelFrame(f);
  ASSERT_EQ(b.size(), kChannelFrameSize + 12);
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 68, b.begin() + 75),
            (std::vector<std::uint8_t>{12, 0, 0, 0, 0xEF, 0xBE, 0x81}));  // the length, then the text
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.begin() + 16),
            (std::vector<std::uint8_t>{'Q', 'V', 'W', '1', 5, 0, 3, 0, 4, 3, 2, 1, 0x64, 0x04, 0, 0}));
  EXPECT_EQ(b[16], 0x88);
  EXPECT_EQ(b[24], 0xFE);  // lparam -2, little-endian
  EXPECT_EQ(b[31], 0xFF);
  ChannelFrame back;
  ASSERT_TRUE(DecodeChannelFrame(b.data(), b.size(), back));
  EXPECT_EQ(EncodeChannelFrame(back), b) << "every field back as it was";
  // A text beyond the limit is cut, never inside a character.
  f.text = "x" + std::string(kChannelTextMax, '\xA0');
  for (std::size_t i = 1; i < f.text.size(); i += 2) f.text[i] = '\xC2';
  ASSERT_TRUE(DecodeChannelFrame(EncodeChannelFrame(f).data(), EncodeChannelFrame(f).size(), back));
  EXPECT_EQ(back.text.size(), kChannelTextMax - 1);
  EXPECT_EQ(back.text, f.text.substr(0, kChannelTextMax - 1));
}

TEST(ChannelFrame, AnythingElseIsRefused) {
  ChannelFrame with_text;
  with_text.text = "ab";
  const ChannelBytes good = EncodeChannelFrame(with_text);
  struct Case {
    const char* what;
    std::size_t at;  // byte changed (size: length given instead)
    std::uint8_t value;
    std::size_t size;
  };
  const Case cases[] = {
      {"no text", 0, 'Q', kChannelFrameSize},        {"short", 0, 'Q', kChannelFrameSize - 1},
      {"long", 0, 'Q', kChannelFrameSize + 3},       {"magic", 3, '2', kChannelFrameSize + 2},
      {"kind 0", 4, 0, kChannelFrameSize + 2},       {"kind 7", 4, 7, kChannelFrameSize + 2},
      {"unknown flag", 6, 4, kChannelFrameSize + 2}, {"text length", 70, 1, kChannelFrameSize + 2},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes(good.begin(), good.end());
    bytes.resize(std::max(bytes.size(), c.size));
    bytes[c.at] = c.value;
    ChannelFrame out;
    EXPECT_FALSE(DecodeChannelFrame(bytes.data(), c.size, out)) << c.what;
  }
}

// Where the sockets and the instance lock live: the session's runtime
// folder while it is private, else the user's cache folder, else the
// temporary folder's; a folder of another user's, one others may enter or
// write, or a link is never used, and with none left there is no channel
// and no lock (never a lock that proves nothing).
TEST_F(ChannelTest, FolderIsPrivateOrRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs to give folders to another user";
  using P = fs::perms;
  const fs::path home = runtime_ / "home", tmp = runtime_ / "tmp";
  const fs::path cache = home / ".cache" / ("quorvel-" + HostName());
  const fs::path temp = tmp / ("quorvel-" + std::to_string(geteuid()));
  const auto runtime = [&](const char* name, P mode, int uid = -1) {
    return [=, this] {
      MakeFolder(runtime_ / name, mode, uid);
      setenv("XDG_RUNTIME_DIR", (runtime_ / name).c_str(), 1);
    };
  };
  struct Case {
    const char* what;
    bool session;  // XDG_RUNTIME_DIR set
    std::function<void()> setup;
    fs::path want;  // empty: none
  };
  const Case cases[] = {
      {"the session's", true, [] {}, runtime_ / "quorvel"},
      {"session open to the group", true, runtime("g", P::owner_all | P::group_read | P::group_exec), cache},
      {"session open to others", true, runtime("o", P::owner_all | P::others_read | P::others_exec), cache},
      {"session of another user", true, runtime("u", P::owner_all, 65534), cache},
      {"channel folder open to others", true,
       [&] {
         runtime("c", P::owner_all)();
         MakeFolder(runtime_ / "c" / "quorvel", P::owner_all | P::others_exec);
       },
       cache},
      {"channel folder a link", true,
       [&] {
         runtime("l", P::owner_all)();
         MakeFolder(runtime_ / "elsewhere", P::owner_all);
         fs::create_directory_symlink(runtime_ / "elsewhere", runtime_ / "l" / "quorvel");
       },
       cache},
      {"the user's cache", false, [] {}, cache},
      {"cache of another user", false, [&] { MakeFolder(home / ".cache", P::owner_all, 65534); }, temp},
      {"cache others may write", false, [&] { MakeFolder(home / ".cache", P::all); }, temp},
      {"home too deep for a socket", false,
       [&] {
         const fs::path deep = runtime_ / std::string(100, 'h');
         MakeFolder(deep, P::owner_all);
         setenv("HOME", deep.c_str(), 1);
       },
       temp},
      {"temporary folder taken first", false,
       [&] {
         MakeFolder(home / ".cache", P::owner_all, 65534);
         MakeFolder(temp, P::all, 65534);
       },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qv::test::ScopedEnv::Set("XDG_RUNTIME_DIR", c.session ? runtime_.c_str() : nullptr);
    setenv("HOME", home.c_str(), 1);
    setenv("TMPDIR", tmp.c_str(), 1);
    MakeFolder(home, P::owner_all);
    MakeFolder(tmp, P::all | P::sticky_bit);
    c.setup();
    std::string error;
    EXPECT_EQ(ChannelFolder(error), c.want.string()) << error;
    const InstanceLock lock("QvFolderCase");
    if (c.want.empty()) {
      EXPECT_EQ(lock.state(), InstanceLock::State::kUnavailable);
      continue;
    }
    EXPECT_EQ(fs::status(c.want).permissions() & P::all, P::owner_all);
    EXPECT_EQ(lock.state(), InstanceLock::State::kHeld) << lock.problem();
    EXPECT_TRUE(fs::exists(c.want / "QvFolderCase.lock"));
  }
}

// With no folder left (FolderIsPrivateOrRefused), the main program refuses
// to start and says why. (A lock held: MainTest.SecondInstanceIsRefusedBeforeAnything.)
TEST_F(ChannelTest, WithNoFolderLeftTheMainProgramRefusesToStart) {
  if (geteuid() != 0) GTEST_SKIP() << "needs to give folders to another user";
  const fs::path home = runtime_ / "home", tmp = runtime_ / "tmp";
  MakeFolder(home, fs::perms::owner_all);
  MakeFolder(home / ".cache", fs::perms::owner_all, 65534);
  MakeFolder(tmp, fs::perms::all | fs::perms::sticky_bit);
  MakeFolder(tmp / ("quorvel-" + std::to_string(geteuid())), fs::perms::all, 65534);
  const auto refused = qv::test::RunCapture(
      {QV_QUORVEL}, (runtime_ / "quorvel").string(),
      {"-u", "DISPLAY", "-u", "XDG_RUNTIME_DIR", "HOME=" + home.string(), "TMPDIR=" + tmp.string()});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.err.find("Can not check for another running instance: "), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("belongs to another user"), std::string::npos) << refused.err;
}

TEST_F(ChannelTest, WindowNumbersAreNeverHandedOutTwice) {
  auto a = Open(), b = Open();
  ASSERT_TRUE(a && b);
  const std::int32_t first = a->id(), second = b->id();
  EXPECT_GT(second, first);
  const fs::path socket = runtime_ / "quorvel" / ("w" + std::to_string(first));
  EXPECT_TRUE(fs::is_socket(socket));
  a.reset();
  EXPECT_FALSE(fs::exists(socket)) << "a closed window's socket goes with it";
  auto c = Open();
  ASSERT_TRUE(c);
  EXPECT_GT(c->id(), second) << "the closed window's number is not taken again";
}

TEST_F(ChannelTest, PostsReachAWindowWhileItLivesAndNothingAfter) {
  auto e = Open();
  ASSERT_TRUE(e);
  const std::int32_t id = e->id();
  ChannelFrame post;
  post.msg = 1124;
  post.wparam = 3;
  post.lparam = 77;
  EXPECT_TRUE(ChannelWindowExists(id));
  ASSERT_TRUE(ChannelSend(id, post));
  ChannelFrame got;
  ASSERT_EQ(ReceiveSoon(*e, got), ChannelEndpoint::Read::kFrame);
  EXPECT_EQ(std::make_tuple(got.kind, got.msg, got.wparam, got.lparam), std::make_tuple(Kind::kPost, 1124u, 3ull, 77ll));
  e.reset();
  EXPECT_FALSE(ChannelSend(id, post)) << "the window is gone";
  EXPECT_FALSE(ChannelWindowExists(id));
  EXPECT_FALSE(ChannelSend(id + 1000, post)) << "never was";
  EXPECT_FALSE(ChannelSend(0, post));
  EXPECT_FALSE(ChannelSend(-5, post));
}

TEST_F(ChannelTest, RequestsAreAnsweredOrTimeOut) {
  auto e = Open();
  ASSERT_TRUE(e);
  std::thread window([&] {
    ChannelFrame f;
    ChannelPeer from;
    for (int i = 0; i < 400; ++i) {
      if (e->Receive(f, from) == ChannelEndpoint::Read::kFrame) {
        ChannelFrame reply;
        reply.kind = Kind::kReply;
        reply.request = f.request;
        reply.result = static_cast<std::int64_t>(f.wparam) * 2;
        reply.ok = true;
        e->Reply(from, reply);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  ChannelFrame request, reply;
  request.kind = Kind::kSend;
  request.wparam = 21;
  int idles = 0;
  EXPECT_TRUE(ChannelRequest(e->id(), request, reply, 2000, [](void* n) { ++*static_cast<int*>(n); }, &idles));
  window.join();
  EXPECT_EQ(reply.result, 42);
  // Nobody answers now: the request gives up at its deadline.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ChannelRequest(e->id(), request, reply, 300));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(300));
  EXPECT_LT(waited, std::chrono::milliseconds(3000));
}

// Other processes: the same user gets through; another user cannot reach
// the socket at all, and one that is handed a socket already connected to
// it is refused by the window all the same.
TEST_F(ChannelTest, OnlyTheSameUserIsHeard) {
  if (!qv::test::RunCommand({QV_SETPRIV_PATH, "--reuid=65534", "--regid=65534", "--clear-groups", "true"}))
    GTEST_SKIP() << "cannot start a process as another user here";
  auto e = Open();
  ASSERT_TRUE(e);
  const std::string id = std::to_string(e->id());
  struct Case {
    const char* what;
    std::vector<std::string> command;
    bool sent;
    ChannelEndpoint::Read read;
    std::uint32_t uid;
  };
  const std::vector<std::string> as_nobody = {QV_SETPRIV_PATH, "--reuid=65534", "--regid=65534", "--clear-groups"};
  auto nobody_post = as_nobody;
  for (const char* w : {QV_CHANNEL_PEER, "post", "", "1124", "1", "2"}) nobody_post.push_back(w);
  nobody_post[as_nobody.size() + 2] = id;
  const Case cases[] = {
      {"same user", {QV_CHANNEL_PEER, "post", id, "1124", "1", "2"}, true, ChannelEndpoint::Read::kFrame, 0},
      {"nobody", nobody_post, false, ChannelEndpoint::Read::kNone, 0},
      {"nobody on a connected socket", {QV_CHANNEL_PEER, "post-dropped", "65534", id, "1124"}, true,
       ChannelEndpoint::Read::kRefused, 65534},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(qv::test::RunCommand(c.command), c.sent);
    ChannelFrame got;
    std::uint32_t uid = 12345;
    EXPECT_EQ(ReceiveSoon(*e, got, &uid), c.read);
    if (c.read != ChannelEndpoint::Read::kNone) {
      EXPECT_EQ(uid, c.uid);
    }
  }
  // What nobody made of its own fallback folder goes.
  fs::remove_all("/tmp/quorvel-65534");
}

TEST_F(ChannelTest, StaleSocketsArePruned) {
  auto e = Open();
  ASSERT_TRUE(e);
  const fs::path live = runtime_ / "quorvel" / ("w" + std::to_string(e->id()));
  // A crashed program's socket: the file is left, nobody listens.
  const fs::path stale = runtime_ / "quorvel" / "w2000000000";
  ASSERT_TRUE(qv::test::RunCommand({QV_CHANNEL_PEER, "stale", stale.string()}));
  ASSERT_TRUE(fs::is_socket(stale));
  PruneChannelFolder();
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(live));
}

}  // namespace
}  // namespace qv::platform
