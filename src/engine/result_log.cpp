#include "engine/result_log.h"

#include <filesystem>
#include <fstream>

#include "engine/environment.h"
#include "engine/query_job.h"
#include "engine/sntp.h"

namespace qv::engine {

namespace {

constexpr const char* kOpenFailed = "Can not open the logfile";

std::string RightAligned(const char* word, std::size_t width) {
  std::string s(word);
  if (s.size() < width) s.insert(0, width - s.size(), ' ');
  return s;
}

const char* ProtocolWord(int protocol) {
  switch (protocol) {
    case kSntp: return "SNTP";
    case kTime: return "time";
    case kDaytime: return "daytime";
    default: return "";
  }
}

// Opens for appending in text mode (each "\n" becomes CR LF on Windows).
// Paths are UTF-8; the path object hands the OS its own encoding.
bool OpenForAppend(const std::string& name, std::ofstream& out) {
  try {
    std::filesystem::path path(std::u8string(name.begin(), name.end()));
    out.open(path, std::ios::out | std::ios::app);
  } catch (...) {
    // A name that is no valid UTF-8 cannot be handed to the OS.
  }
  if (out.is_open()) return true;
  if (const auto report = CurrentEnvironment().report) report(kOpenFailed);
  return false;
}

bool WriteLine(std::ofstream& out, const std::string& line) {
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
  out.flush();
  return out.good();
}

}  // namespace

std::string LogFileName(const std::string& profile_path, const char* ending) {
  std::size_t dot = profile_path.find_last_of('.');
  if (dot == std::string::npos) return ending;
  return profile_path.substr(0, dot + 1) + ending;
}

int WriteResultLog(const std::string& pc_time, const std::string& server, int protocol, int adjust,
                   const std::string& status_column, const std::string& server_time) {
  std::string name = LogFileName(CurrentEnvironment().profile_path, "log");
  // "%s, %s, %7s, %6s, %s, %s\n", built by hand so texts holding a NUL byte
  // are written whole.
  std::string line = pc_time + ", " + server + ", " + RightAligned(ProtocolWord(protocol), 7) + ", " +
                     RightAligned(adjust ? "adjust" : "check", 6) + ", " + status_column + ", " + server_time +
                     "\n";
  std::ofstream out;
  if (!OpenForAppend(name, out)) return 0;
  bool written = WriteLine(out, line);
  out.close();
  return written && !out.fail() ? 1 : 0;
}

int WriteSntpDetailLog(const std::string& server, const std::uint8_t* converted_reply, const MicroTime* arrival) {
  std::string name = LogFileName(CurrentEnvironment().profile_path, "sntp.log");
  std::ofstream out;
  if (!OpenForAppend(name, out)) return 0;
  bool written = WriteLine(out, server + "\n");
  for (int offset : {sntp_field::kReference, sntp_field::kOriginate, sntp_field::kReceive, sntp_field::kTransmit}) {
    written = WriteLine(out, FormatMicroTime(LoadMicroTime(converted_reply + offset)) + "\n");
  }
  written = WriteLine(out, (arrival ? FormatMicroTime(*arrival) : std::string("( check only )")) + "\n");
  out.close();
  return written && !out.fail() ? 1 : 0;
}

}  // namespace qv::engine
