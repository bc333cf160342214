// Runs the writer helper (profile_writer.cpp) that lies beside the test
// executable.
#pragma once

#include <cstdlib>
#include <string>

#include "platform/process.h"

namespace qv::test {

// "exec" where a POSIX shell runs it, so the shell does not report a kill;
// `prefix` runs it through another program (setpriv).
inline int RunWriter(const std::string& arguments, const std::string& prefix = "") {
  const std::string self = platform::ExecutablePath();
  const bool exe = self.ends_with(".exe");
  const std::string folder = self.substr(0, self.find_last_of("\\/") + 1);
  return std::system(
      ((exe ? "" : "exec ") + prefix + folder + "profile_writer" + (exe ? ".exe " : " ") + arguments).c_str());
}

}  // namespace qv::test
