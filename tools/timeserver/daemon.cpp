#include "daemon.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

namespace qv::timeserver {

namespace {

pid_t ReadPid(const std::string& path) {
  std::ifstream in(path);
  long pid = 0;
  if (!(in >> pid) || pid <= 1) return 0;
  return static_cast<pid_t>(pid);
}

std::string ProcFile(pid_t pid, const char* name) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + name);
  std::string text;
  std::getline(in, text);
  return text;
}

// Alive and not merely a zombie waiting for its parent.
bool Running(pid_t pid) {
  if (kill(pid, 0) != 0 && errno == ESRCH) return false;
  const std::string stat = ProcFile(pid, "stat");
  const std::size_t close = stat.rfind(')');
  if (stat.empty() || close == std::string::npos || close + 2 >= stat.size()) return false;
  return stat[close + 2] != 'Z' && stat[close + 2] != 'X';
}

bool WaitGone(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (Running(pid)) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace

bool WritePidfile(const std::string& path, pid_t pid, const std::vector<std::string>& lines) {
  const std::string temporary = path + ".tmp" + std::to_string(getpid());
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << pid << '\n';
    for (const std::string& line : lines) out << line << '\n';
    if (!out.flush()) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

void RemoveOwnPidfile(const std::string& path, pid_t pid) {
  if (!path.empty() && ReadPid(path) == pid) std::remove(path.c_str());
}

int StopFromPidfile(const std::string& path, const std::string& comm) {
  const pid_t pid = ReadPid(path);
  int status = 0;
  if (pid != 0 && Running(pid) && ProcFile(pid, "comm") == comm.substr(0, 15)) {
    kill(pid, SIGTERM);
    if (!WaitGone(pid, std::chrono::seconds(5))) {
      kill(pid, SIGKILL);
      if (!WaitGone(pid, std::chrono::seconds(2))) status = 1;
    }
  }
  std::remove(path.c_str());
  return status;
}

}  // namespace qv::timeserver
