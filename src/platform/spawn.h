// Starting another program and noticing its end. The command line is built
// at the length it needs: nothing is cut or overflowed. The end is noticed
// by a waiter thread, which only calls back; a caller with a window posts
// itself a message from there and never touches UI on that thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qv::platform {

struct ChildState;

class ChildProcess {
 public:
  // Starts `program` with the argument text, the caller's environment and
  // current folder, its window shown normally. A bare program name is
  // looked for in the running program's folder first (Windows: then the
  // system's search order; elsewhere: then PATH). nullptr on failure, with
  // the system's error number.
  static std::unique_ptr<ChildProcess> Start(const std::string& program, const std::string& arguments,
                                             std::uint32_t& error);
  // Forgets the process, which runs on; the exit callback is not called
  // from the moment this returns.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  std::uint32_t Pid() const;
  // `on_exit` runs once with the exit code, on the waiter thread, when the
  // process has ended (at once, on the calling thread, when it already has).
  void OnExit(std::function<void(int exit_code)> on_exit);
  // False when the process is still running after `timeout_ms`.
  bool Wait(unsigned timeout_ms, int& exit_code);

 private:
  explicit ChildProcess(std::shared_ptr<ChildState> state) : state_(std::move(state)) {}
  std::shared_ptr<ChildState> state_;
};

// What the system is handed: the program, one blank, the arguments.
std::string BuildCommandLine(std::string_view program, std::string_view arguments);

// The words of an argument text as Windows programs split it, simplified:
// blanks and tabs separate words, double quotes group blanks into a word and
// are dropped ("-profile=\"/a b\"" is the one word -profile=/a b), and a
// doubled quote between quotes is one quote of the word.
std::vector<std::string> SplitArguments(std::string_view text);

// The file name here of a program the string tables name for Windows:
// "Quorcfg.exe" stays on Windows and is "Quorcfg" elsewhere.
std::string NativeProgramName(std::string_view windows_name);

// The folder of the running executable, with its separator at the end.
std::string ExecutableFolder();

}  // namespace qv::platform
