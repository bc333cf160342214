#include "platform/spawn.h"

#include <errno.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/spawn_state.h"

extern char** environ;

namespace qv::platform {

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

void AwaitEnd(std::shared_ptr<ChildState> state) {
  int status = 0;
  pid_t rc;
  while ((rc = waitpid(static_cast<pid_t>(state->pid), &status, 0)) < 0 && errno == EINTR) {
  }
  int code = -1;
  if (rc > 0) code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  state->Finish(code);
}

}  // namespace

std::string NativeProgramName(std::string_view windows_name) {
  std::string name(windows_name);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0) name.resize(name.size() - 4);
  return name;
}

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program, const std::string& arguments,
                                                  std::uint32_t& error) {
  error = 0;
  if (program.empty()) {
    error = ENOENT;
    return nullptr;
  }
  // The running program's own folder before PATH, as Windows searches.
  std::string path = program;
  bool search = false;
  if (program.find('/') == std::string::npos) {
    const std::string beside = ExecutableFolder() + program;
    if (IsExecutableFile(beside))
      path = beside;
    else
      search = true;
  }
  std::vector<std::string> words = SplitArguments(arguments);
  words.insert(words.begin(), program);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int rc = search ? posix_spawnp(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ)
                        : posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc != 0) {
    error = static_cast<std::uint32_t>(rc);
    return nullptr;
  }
  auto state = std::make_shared<ChildState>();
  state->pid = static_cast<std::uint32_t>(pid);
  std::thread(AwaitEnd, state).detach();
  return std::unique_ptr<ChildProcess>(new ChildProcess(state));
}

}  // namespace qv::platform
