// Running detached for test fixtures: the pidfile, and stopping the process
// a pidfile names.
#pragma once

#include <string>
#include <vector>
#include <sys/types.h>

namespace qv::timeserver {

// Writes "pid\n" then one line per argument, atomically (write and rename).
bool WritePidfile(const std::string& path, pid_t pid, const std::vector<std::string>& lines);

// Removes the pidfile if it still names `pid`.
void RemoveOwnPidfile(const std::string& path, pid_t pid);

// Sends SIGTERM to the process the pidfile names, if it is alive and its
// command name is `comm` (so a stale pidfile never ends a stranger that
// reuses the number), waits up to 5 s for it to end (then SIGKILL), and
// removes the pidfile. Returns a process exit status: 0 when nothing of ours
// is left running.
int StopFromPidfile(const std::string& path, const std::string& comm);

}  // namespace qv::timeserver
