// Running native programs from tests through the shell: quietly, or with
// their output and exit code captured. Native builds only (a test under
// Wine cannot start Linux programs).
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qv::test {

// One argument for /bin/sh, whatever it contains.
inline std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline std::string ShellLine(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) line += ShellQuote(word) + " ";
  return line;
}

// Runs a command line through the shell; true when it exited with 0.
inline bool RunCommand(const std::vector<std::string>& words) {
  return std::system((ShellLine(words) + ">/dev/null").c_str()) == 0;
}

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

struct CommandResult {
  int exit_code = -1;  // -1: the shell did not report one
  std::string out;
  std::string err;
  double seconds = 0;  // wall time of the run
};

// Runs `words` with `environment` ("NAME=value" each) added, stdin from
// /dev/null; the output lands in scratch files named `scratch` + .out, .err
// and .rc, which are read back.
inline CommandResult RunCapture(const std::vector<std::string>& words, const std::string& scratch,
                                const std::vector<std::string>& environment = {}) {
  std::string line;
  if (!environment.empty()) line = "env " + ShellLine(environment);
  line += ShellLine(words) + "</dev/null >" + ShellQuote(scratch + ".out") + " 2>" + ShellQuote(scratch + ".err") +
          "; echo $? >" + ShellQuote(scratch + ".rc");
  std::remove((scratch + ".rc").c_str());
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(line.c_str());
  CommandResult result;
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.out = ReadWholeFile(scratch + ".out");
  result.err = ReadWholeFile(scratch + ".err");
  const std::string rc = ReadWholeFile(scratch + ".rc");
  if (status != -1 && !rc.empty()) result.exit_code = std::atoi(rc.c_str());
  return result;
}

}  // namespace qv::test
