// A program for the process tests: writes how it was started (Windows: its
// command line; elsewhere: its words, one a line) to qv_echo_args.out beside
// itself, and exits with its number of words.
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/command_line.h"
#include "platform/spawn.h"

int main(int argc, char** argv) {
  const std::string path = qv::platform::ExecutableFolder() + "qv_echo_args.out";  // UTF-8
  std::ofstream out(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
  if (const auto line = qv::platform::NativeCommandLine()) {
    out << "line:" << *line;
  } else {
    for (int i = 1; i < argc; ++i) out << argv[i] << "\n";
  }
  return argc - 1;
}
