#include "options.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace qv::timeserver {

namespace {

// Time values beyond NTP's 2^32 s era are nothing a server could send.
constexpr double kLongestSeconds = 4294967296.0;

bool ToDouble(const std::string& text, double& out, double low = -kLongestSeconds, double high = kLongestSeconds) {
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value) || value < low || value > high)
    return false;
  out = value;
  return true;
}

// Decimal, or hexadecimal after "0x"; nothing else (no sign, no blanks).
bool ToInteger(const std::string& text, long long low, long long high, long long& out) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* begin = text.data() + (hex ? 2 : 0);
  const char* end = text.data() + text.size();
  long long value = 0;
  const auto [stop, error] = std::from_chars(begin, end, value, hex ? 16 : 10);
  if (begin == end || *begin == '-' || error != std::errc{} || stop != end || value < low || value > high)
    return false;
  out = value;
  return true;
}

bool ToPort(const std::string& text, int& port) {
  if (text == "off") {
    port = -1;
    return true;
  }
  long long value = 0;
  if (!ToInteger(text, 1, 65535, value)) return false;
  port = static_cast<int>(value);
  return true;
}

bool IsLoopback(const std::string& address) {
  in_addr parsed{};
  return inet_pton(AF_INET, address.c_str(), &parsed) == 1 && (ntohl(parsed.s_addr) >> 24) == 127;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool DecodeEscapes(const std::string& text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i >= text.size()) return false;
    switch (text[i]) {
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case '\\': out += '\\'; break;
      case 'x': {
        if (i + 2 >= text.size()) return false;
        const int high = HexDigit(text[i + 1]);
        const int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return true;
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error, bool& help) {
  help = false;
  int i = 1;
  // Takes the value of the option at argv[i]; false when it is missing.
  auto value = [&](std::string& out) {
    if (i + 1 >= argc) {
      error = std::string("missing value for ") + argv[i];
      return false;
    }
    out = argv[++i];
    return true;
  };
  for (; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string text;
    long long number = 0;
    bool shapes_answers = true;
    const int first = i;
    if (arg == "--help" || arg == "-h") {
      help = true;
      return true;
    } else if (arg.rfind("--", 0) != 0) {
      if (!options.address.empty()) {
        error = "more than one address: " + arg;
        return false;
      }
      if (!IsLoopback(arg)) {
        error = "not a loopback IPv4 address: " + arg;
        return false;
      }
      options.address = arg;
      options.behaviour.insert(options.behaviour.begin(), arg);  // always first
      shapes_answers = false;
    } else if (arg == "--sntp-port" || arg == "--time-port" || arg == "--daytime-port") {
      int& port = arg == "--sntp-port" ? options.sntp_port
                  : arg == "--time-port" ? options.time_port
                                         : options.daytime_port;
      if (!value(text) || !ToPort(text, port)) return error = "bad port: " + text, false;
    } else if (arg == "--offset") {
      if (!value(text) || !ToDouble(text, options.offset)) return error = "bad --offset", false;
    } else if (arg == "--first-offset") {
      double first = 0;
      if (!value(text) || !ToDouble(text, first)) return error = "bad --first-offset", false;
      options.first_offset = first;
    } else if (arg == "--delay") {
      if (!value(text) || !ToDouble(text, options.delay, 0, 3600)) return error = "bad --delay", false;
    } else if (arg == "--silent") {
      options.silent = true;
    } else if (arg == "--no-accept") {
      options.no_accept = true;
    } else if (arg == "--sntp-length") {
      if (!value(text) || !ToInteger(text, 0, 1024, number)) return error = "bad --sntp-length", false;
      options.sntp_length = static_cast<int>(number);
    } else if (arg == "--wrong-originate") {
      options.wrong_originate = true;
    } else if (arg == "--ref-zero") {
      options.ref_zero = true;
    } else if (arg == "--ref-age") {
      if (!value(text) || !ToDouble(text, options.ref_age)) return error = "bad --ref-age", false;
    } else if (arg == "--hold") {
      double hold = 0;
      if (!value(text) || !ToDouble(text, hold)) return error = "bad --hold", false;
      options.hold = hold;
    } else if (arg == "--swap-stamps") {
      options.swap_stamps = true;
    } else if (arg == "--stratum") {
      if (!value(text) || !ToInteger(text, 0, 255, number)) return error = "bad --stratum", false;
      options.stratum = static_cast<int>(number);
    } else if (arg == "--leap" || arg == "--mode" || arg == "--version") {
      if (!value(text) || !ToInteger(text, 0, arg == "--leap" ? 3 : 7, number)) return error = "bad " + arg, false;
      if (arg == "--version")
        options.version = static_cast<int>(number);
      else
        (arg == "--leap" ? options.leap : options.mode) = static_cast<int>(number);
    } else if (arg == "--kiss") {
      if (!value(text) || text.empty() || text.size() > 4) return error = "bad --kiss: 1 to 4 characters", false;
      std::uint32_t code = 0;
      for (std::size_t k = 0; k < 4; ++k) code = (code << 8) | (k < text.size() ? static_cast<unsigned char>(text[k]) : 0u);
      options.kiss = code;
      options.stratum = 0;
    } else if (arg == "--zero") {
      if (!value(text)) return false;
      for (std::size_t at = 0; at <= text.size();) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        const std::string field = text.substr(at, comma - at);
        const bool all = field == "all";
        if (all || field == "header") options.zero_header = true;
        if (all || field == "reference") options.zero_reference = true;
        if (all || field == "receive") options.zero_receive = true;
        if (all || field == "transmit") options.zero_transmit = true;
        if (!all && field != "header" && field != "reference" && field != "receive" && field != "transmit")
          return error = "bad --zero: " + field, false;
        at = comma + 1;
      }
    } else if (arg == "--reply-from-other") {
      options.reply_from_other = true;
    } else if (arg == "--stray") {
      if (!value(text) || !ToInteger(text, 1, 100, number)) return error = "bad --stray", false;
      options.stray = static_cast<int>(number);
    } else if (arg == "--time-bytes") {
      if (!value(text) || !ToInteger(text, 0, 4, number)) return error = "bad --time-bytes", false;
      options.time_bytes = static_cast<int>(number);
    } else if (arg == "--reset") {
      options.reset = true;
    } else if (arg == "--time-value") {
      if (!value(text) || !ToInteger(text, 0, 0xFFFFFFFFLL, number)) return error = "bad --time-value", false;
      options.time_value = static_cast<std::uint32_t>(number);
    } else if (arg == "--time-close") {
      options.time_close = true;
    } else if (arg == "--time-split") {
      if (!value(text) || !ToInteger(text, 0, 60000, number)) return error = "bad --time-split", false;
      options.time_split_ms = static_cast<int>(number);
    } else if (arg == "--daytime") {
      if (!value(text)) return false;
      if (text == "correct") options.daytime = DaytimeShape::kCorrect;
      else if (text == "nolf") options.daytime = DaytimeShape::kNoLineFeed;
      else if (text == "long") options.daytime = DaytimeShape::kLong;
      else if (text == "other") options.daytime = DaytimeShape::kOther;
      else return error = "bad --daytime: " + text, false;
    } else if (arg == "--daytime-text") {
      if (!value(text) || !DecodeEscapes(text, options.daytime_text)) return error = "bad --daytime-text", false;
      options.daytime = DaytimeShape::kText;
    } else if (arg == "--address6") {
      // IPv6 has one loopback address only: the option names it so that a
      // command line says what it serves.
      if (!value(text) || text != "::1") return error = "--address6 serves ::1 only", false;
      options.ipv6 = true;
    } else if (arg == "--scan") {
      if (!value(text) || !ToInteger(text, 0, 253, number)) return error = "bad --scan", false;
      options.scan = static_cast<int>(number);
      shapes_answers = false;
    } else if (arg == "--daemon") {
      options.daemon = true;
      shapes_answers = false;
    } else if (arg == "--pidfile") {
      if (!value(options.pidfile)) return false;
      shapes_answers = false;
    } else if (arg == "--lifetime") {
      if (!value(text) || !ToDouble(text, options.lifetime, 0, 86400)) return error = "bad --lifetime", false;
      shapes_answers = false;
    } else if (arg == "--ready-fd") {
      if (!value(text) || !ToInteger(text, 0, 1 << 20, number)) return error = "bad --ready-fd", false;
      options.ready_fd = static_cast<int>(number);
      shapes_answers = false;
    } else if (arg == "--stop") {
      if (!value(options.stop_pidfile)) return false;
      shapes_answers = false;
    } else if (arg == "--comm") {
      if (!value(options.stop_comm)) return false;
      shapes_answers = false;
    } else {
      error = "unknown option: " + arg;
      return false;
    }
    if (shapes_answers) {
      for (int k = first; k <= i; ++k) options.behaviour.emplace_back(argv[k]);
    }
  }
  if (!options.stop_pidfile.empty()) return true;
  if (options.address.empty()) {
    error = "no address given";
    return false;
  }
  if (options.time_split_ms >= 0 && options.time_bytes < 4) {
    error = "--time-split sends all four bytes: not with --time-bytes";
    return false;
  }
  if (options.reply_from_other && options.stray > 0) {
    error = "--stray needs the real reply from the server's own port: not with --reply-from-other";
    return false;
  }
  if (options.daemon && options.pidfile.empty()) {
    error = "--daemon needs --pidfile";
    return false;
  }
  return true;
}

const char* UsageText() {
  return R"(usage: qv-timeserver ADDRESS [options]     serve SNTP, TIME and DAYTIME on ADDRESS (127.x.x.x)
       qv-timeserver --stop PIDFILE [--comm NAME]   end the process named in PIDFILE

Ports:   --sntp-port N|off (123)  --time-port N|off (37)  --daytime-port N|off (13)
All:     --offset SEC     clock offset added to this machine's time (fractional)
         --first-offset SEC   the first answer served (any protocol) has this
                          offset instead; every later one --offset
         --delay SEC      wait before answering (timestamps tell the truth)
         --silent         never answer (TCP: accept and say nothing)
         --no-accept      TCP: listen with backlog 0 and never accept
SNTP:    --sntp-length N  reply length (47, 49 ... for broken replies)
         --wrong-originate          originate = request's transmit - 1 s
         --ref-zero | --ref-age SEC  reference timestamp 0, or T2 - SEC (16)
         --hold SEC       stamp T3 = T2 + SEC (no waiting; 0: one reading for both)
         --swap-stamps    receive and transmit timestamps exchanged
         --stratum N      (2)          --kiss CODE   stratum 0 with this kiss code
         --leap N  --mode N (4)  --version N (the request's)   header fields
         --zero header,reference,receive,transmit|all   zero those fields
         --reply-from-other   answer from another port of this address only
         --stray N        first N forged replies (1000 s ahead) from another port
TIME:    --time-value N   send N instead of the time
         --time-close     close without sending
         --time-split MS  send two bytes, pause MS, send two bytes
         --time-bytes N   send only the first N bytes, then close
TCP:     --reset          answer TIME and DAYTIME with a connection reset
DAYTIME: --daytime correct|nolf|long|other   --daytime-text TEXT (\r \n \t \\ \xHH)
IPv6:    --address6 ::1   serve ::1 as well (the same ports; --scan does not
                          move it: ::1 is the only IPv6 loopback address)
Running: --scan N        when the address is taken, try the next N addresses
         --ready-fd N     also write the ready line to descriptor N
         --daemon --pidfile F  detach once bound; F holds the pid, then the
                          answer-shaping arguments, one per line
         --lifetime SEC   exit by itself after SEC seconds
Prints "ready ADDRESS [::1] sntp=P time=P daytime=P" once bound (what is served);
exits on SIGTERM.
)";
}

}  // namespace qv::timeserver
