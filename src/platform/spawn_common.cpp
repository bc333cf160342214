// The parts of starting a process that are the same on every system.
#include <mutex>

#include "base/text.h"
#include "platform/process.h"
#include "platform/spawn.h"
#include "platform/spawn_state.h"

namespace qv::platform {

std::string BuildCommandLine(std::string_view program, std::string_view arguments) {
  std::string line;
  line.reserve(program.size() + 1 + arguments.size());
  line.append(program).append(" ").append(arguments);
  return line;
}

std::vector<std::string> SplitArguments(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false, quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"' && quoted && i + 1 < text.size() && text[i + 1] == '"') {
      word.push_back('"');  // a doubled quote inside quotes is one quote
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
      in_word = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
    } else {
      word.push_back(c);
      in_word = true;
    }
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}

std::string ExecutableFolder() {
  const std::string path = ExecutablePath();
  return path.substr(0, BaseNameStart(path));
}

void ChildState::Finish(int code) {
  std::function<void(int)> callback;
  {
    std::lock_guard<std::mutex> lock(mutex);
    ended = true;
    exit_code = code;
    callback = on_exit;
    ended_cv.notify_all();
    if (!callback) return;
    // Called under the lock: a caller that forgets the process waits for a
    // callback in flight, and none starts after it.
    callback(code);
  }
}

ChildProcess::~ChildProcess() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->on_exit = nullptr;
}

std::uint32_t ChildProcess::Pid() const { return state_->pid; }

void ChildProcess::OnExit(std::function<void(int)> on_exit) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  if (state_->ended) {
    const int code = state_->exit_code;
    lock.unlock();
    on_exit(code);
    return;
  }
  state_->on_exit = std::move(on_exit);
}

bool ChildProcess::Wait(unsigned timeout_ms, int& exit_code) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  if (!state_->ended_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return state_->ended; }))
    return false;
  exit_code = state_->exit_code;
  return true;
}

}  // namespace qv::platform
