#include "cli/cli_report.h"

#include "base/protocol.h"
#include "base/text.h"

namespace qv::cli {

namespace {

constexpr std::int64_t kMicrosPerDay = 86400LL * 1000000;

std::string Padded(std::int64_t value, int width) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) < width) text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
  return text;
}

// Days since 1970-01-01 as a civil date (the proleptic Gregorian calendar),
// by whole 400-year eras, so that it holds for any day.
void CivilFromDays(std::int64_t days, std::int64_t& year, int& month, int& day) {
  days += 719468;  // from 0000-03-01
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t of_era = days - era * 146097;
  const std::int64_t year_of_era = (of_era - of_era / 1460 + of_era / 36524 - of_era / 146096) / 365;
  const std::int64_t of_year = of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t shifted_month = (5 * of_year + 2) / 153;  // March is 0
  day = static_cast<int>(of_year - (153 * shifted_month + 2) / 5 + 1);
  month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
}

// Length of the well-formed UTF-8 sequence at `text[i]` (RFC 3629
// section 4), 0 when there is none.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;        // no overlong forms
    else if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    else if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k)
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  return length;
}

std::string JsonOr(const std::optional<std::string>& text) { return text ? *text : "null"; }

int Severity(PluginState state) {
  switch (state) {
    case PluginState::kCritical: return 3;
    case PluginState::kWarning: return 2;
    case PluginState::kUnknown: return 1;
    case PluginState::kOk: break;
  }
  return 0;
}

const char* StateWord(PluginState state) {
  switch (state) {
    case PluginState::kOk: return "OK";
    case PluginState::kWarning: return "WARNING";
    case PluginState::kCritical: return "CRITICAL";
    case PluginState::kUnknown: break;
  }
  return "UNKNOWN";
}

// A performance data label may hold neither ' nor = (nor a line end).
std::string Label(const std::string& server) {
  std::string label = "offset " + server;
  for (char& c : label)
    if (c == '\'' || c == '=' || c == '|' || static_cast<unsigned char>(c) < 0x20) c = '_';
  return "'" + label + "'";
}

}  // namespace

std::string IsoUtc(std::int64_t unix_us) {
  std::int64_t days = unix_us / kMicrosPerDay;
  std::int64_t in_day = unix_us % kMicrosPerDay;
  if (in_day < 0) {
    in_day += kMicrosPerDay;
    --days;
  }
  std::int64_t year = 0;
  int month = 0, day = 0;
  CivilFromDays(days, year, month, day);
  const std::int64_t seconds = in_day / 1000000;
  return Padded(year, 4) + "-" + Padded(month, 2) + "-" + Padded(day, 2) + "T" + Padded(seconds / 3600, 2) + ":" +
         Padded(seconds / 60 % 60, 2) + ":" + Padded(seconds % 60, 2) + "." + Padded(in_day % 1000000, 6) + "Z";
}

std::string SecondsText(std::int64_t ns, int decimals) {
  const bool negative = ns < 0;
  // As an unsigned magnitude: the most negative value has no positive twin.
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(ns) : static_cast<std::uint64_t>(ns);
  std::uint64_t unit = 1;
  for (int d = decimals; d < 9; ++d) unit *= 10;
  magnitude = magnitude / unit + (magnitude % unit >= (unit + 1) / 2 && unit > 1 ? 1 : 0);
  std::uint64_t scale = 1;
  for (int d = 0; d < decimals; ++d) scale *= 10;
  std::string text;
  if (negative && magnitude != 0) text += '-';
  text += std::to_string(magnitude / scale);
  if (decimals > 0) {
    const std::string fraction = std::to_string(magnitude % scale);
    text += '.';
    text.append(static_cast<std::size_t>(decimals) - fraction.size(), '0');
    text += fraction;
  }
  return text;
}

std::string JsonString(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t length = Utf8Length(text, i);
      if (length == 0) {
        out += "\\ufffd";
        ++i;
      } else {
        out.append(text.substr(i, length));
        i += length;
      }
      continue;
    }
    ++i;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string ReferenceIdText(int stratum, std::uint32_t reference_id) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(reference_id >> 24),
                                  static_cast<unsigned char>(reference_id >> 16),
                                  static_cast<unsigned char>(reference_id >> 8),
                                  static_cast<unsigned char>(reference_id)};
  if (stratum >= 2)
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
           std::to_string(bytes[3]);
  std::string text;
  for (unsigned char b : bytes) text += b >= 0x20 && b < 0x7F ? static_cast<char>(b) : (b == 0 ? '\0' : '?');
  while (!text.empty() && text.back() == '\0') text.pop_back();
  for (char& c : text)
    if (c == '\0') c = '?';
  return text;
}

std::optional<std::int64_t> MeasuredOffsetNs(const engine::Result& result) {
  if (!result.ok()) return std::nullopt;
  if (result.offset_ns) return result.offset_ns;
  if (result.server_utc_us && result.pc_utc_us) return (*result.server_utc_us - *result.pc_utc_us) * 1000;
  return std::nullopt;
}

std::string JsonLine(const std::string& server, int protocol, const engine::Result& r) {
  const auto seconds = [](const std::optional<std::int64_t>& ns) {
    return ns ? std::optional<std::string>(SecondsText(*ns, 9)) : std::nullopt;
  };
  const auto time = [](const std::optional<std::int64_t>& us) {
    return us ? std::optional<std::string>(JsonString(IsoUtc(*us))) : std::nullopt;
  };
  std::optional<std::string> stratum, reference;
  if (r.stratum) stratum = std::to_string(*r.stratum);
  if (r.stratum && r.reference_id) reference = JsonString(ReferenceIdText(*r.stratum, *r.reference_id));
  return "{\"server\":" + JsonString(server) +
         ",\"address\":" + (r.address.empty() ? std::string("null") : JsonString(r.address)) +
         ",\"protocol\":" + JsonString(ProtocolWord(protocol)) +
         ",\"mode\":" + JsonString(r.mode == engine::Mode::kAdjust ? "adjust" : "check") +
         ",\"status\":" + JsonString(r.status) + ",\"detail\":" + JsonString(r.detail) +
         ",\"server_text\":" + JsonString(r.server_time) + ",\"server_time\":" + JsonOr(time(r.server_utc_us)) +
         ",\"pc_time\":" + JsonOr(time(r.pc_utc_us)) + ",\"offset\":" + JsonOr(seconds(r.offset_ns)) +
         ",\"round_trip\":" + JsonOr(seconds(r.round_trip_ns)) + ",\"stratum\":" + JsonOr(stratum) +
         ",\"reference_id\":" + JsonOr(reference) +
         ",\"authenticated\":" + (r.authenticated ? "true" : "false") + "}";
}

PluginReport MonitoringReport(int protocol, const std::vector<Checked>& checked, std::optional<std::int64_t> warn_ns,
                              std::optional<std::int64_t> crit_ns) {
  const std::string thresholds = (warn_ns ? SecondsText(*warn_ns, 6) : "") + ";" +
                                 (crit_ns ? SecondsText(*crit_ns, 6) : "") + ";";
  PluginReport report;
  report.state = PluginState::kOk;
  std::string text, perfdata;
  int worst = -1;
  for (const Checked& c : checked) {
    const std::optional<std::int64_t> offset = MeasuredOffsetNs(c.result);
    PluginState state = PluginState::kUnknown;
    if (offset) {
      const std::int64_t size = *offset < 0 ? -*offset : *offset;
      state = crit_ns && size > *crit_ns   ? PluginState::kCritical
              : warn_ns && size > *warn_ns ? PluginState::kWarning
                                           : PluginState::kOk;
      const std::string label = checked.size() == 1 ? std::string("offset") : Label(c.server);
      perfdata += (perfdata.empty() ? "" : " ") + label + "=" + SecondsText(*offset, 6) + "s;" + thresholds;
    }
    if (Severity(state) <= worst) continue;
    worst = Severity(state);
    report.state = state;
    text = offset ? "Offset " + SecondsText(*offset, 6) + " secs" : "Offset unknown: " + engine::StatusColumn(c.result);
    if (checked.size() > 1) text += " (" + c.server + ")";
  }
  const std::string service = protocol == kSntp ? "NTP" : protocol == kTime ? "TIME" : "DAYTIME";
  report.line = service + " " + StateWord(report.state) + ": " + text + "|" + perfdata;
  // The line is one line whatever a server's name holds.
  for (char& c : report.line)
    if (c == '\n' || c == '\r') c = ' ';
  return report;
}

}  // namespace qv::cli
