// Command line of qv-timeserver: where to listen, how to answer, and how to
// run (foreground, daemon, or stopping a daemon).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::timeserver {

enum class DaytimeShape {
  kCorrect,     // "%a %b %e %H:%M:%S %Y" CR LF
  kNoLineFeed,  // the same text without CR LF
  kLong,        // the correct line padded so its line feed lies past byte 512
  kOther,       // "06 DEC 2026 18:22:47 UTC" CR LF
  kText,        // exactly --daytime-text
};

struct Options {
  std::string address;  // dotted IPv4, loopback only
  bool ipv6 = false;     // serve ::1 as well, on the same ports
  int scan = 0;          // when taken, try up to this many next addresses
  int sntp_port = 123;  // -1 = service off
  int time_port = 37;
  int daytime_port = 13;

  double offset = 0;     // seconds added to this machine's clock
  std::optional<double> first_offset;  // instead of offset, for the first answer only
  double delay = 0;      // seconds to wait before answering
  bool silent = false;   // read requests, never answer (TCP: accept, say nothing)
  bool no_accept = false;  // TCP: listen with backlog 0, never accept

  int sntp_length = 48;
  bool wrong_originate = false;
  bool ref_zero = false;
  double ref_age = 16;              // reference timestamp = T2 - ref_age
  std::optional<double> hold;       // T3 = T2 + hold (stamped, not waited)
  bool swap_stamps = false;         // receive and transmit exchanged
  int stratum = 2;
  int leap = 0;                     // leap indicator 0..3
  int mode = 4;                     // 0..7; 4 is a server's reply
  std::optional<int> version;       // 0..7; none: the request's
  std::optional<std::uint32_t> kiss;  // reference id from a kiss code
  bool zero_header = false;         // bytes 0-15 all zero
  bool zero_reference = false, zero_receive = false, zero_transmit = false;
  bool reply_from_other = false;    // answer from another port only
  int stray = 0;                    // forged replies from another port first

  std::optional<std::uint32_t> time_value;
  bool time_close = false;
  int time_split_ms = -1;  // >= 0: two packets of two bytes, this far apart
  int time_bytes = 4;      // send only the first N bytes, then close
  bool reset = false;      // TCP: answer with a reset instead

  DaytimeShape daytime = DaytimeShape::kCorrect;
  std::string daytime_text;  // escapes already decoded

  bool daemon = false;
  std::string pidfile;
  double lifetime = 0;  // seconds; 0 = until SIGTERM
  int ready_fd = -1;

  std::string stop_pidfile;  // --stop: end the process named in this file
  std::string stop_comm = "qv-timeserver";

  // The arguments that shape the answers (the address served first),
  // recorded in the pidfile so that a test can tell which server it is
  // talking to, and where.
  std::vector<std::string> behaviour;
};

// False with a message on a bad command line; `help` set for --help.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error, bool& help);

const char* UsageText();

// Decodes \r \n \t \\ and \xHH.
bool DecodeEscapes(const std::string& text, std::string& out);

}  // namespace qv::timeserver
