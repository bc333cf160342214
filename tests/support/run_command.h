// Running native programs from tests through the shell (native builds only:
// a test under Wine cannot start Linux programs).
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qv::test {

// The words as /bin/sh arguments, each quoted whatever it contains.
inline std::string ShellLine(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) {
    line += '\'';
    for (char c : word) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
    line += "' ";
  }
  return line;
}

// True when the command exited with 0.
inline bool RunCommand(const std::vector<std::string>& words) {
  return std::system((ShellLine(words) + ">/dev/null").c_str()) == 0;
}

inline std::string ReadWholeFile(const std::string& path) {
  std::ostringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

struct CommandResult {
  int exit_code = -1;  // -1: the shell reported none
  std::string out, err;
  double seconds = 0;
};

// Runs `words` with `environment` ("NAME=value") added and stdin from
// /dev/null; output and exit code pass through files `scratch`.out/.err/.rc.
inline CommandResult RunCapture(const std::vector<std::string>& words, const std::string& scratch,
                                const std::vector<std::string>& environment = {}) {
  const std::string line = (environment.empty() ? "" : "env " + ShellLine(environment)) + ShellLine(words) +
                           "</dev/null >" + ShellLine({scratch + ".out"}) + "2>" + ShellLine({scratch + ".err"}) +
                           "; echo $? >" + ShellLine({scratch + ".rc"});
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
