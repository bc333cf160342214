// An arbitrary 48-byte SNTP reply converted and judged as QueryServer and
// QuerySntpOffset do, plus its texts; the bytes after the reply choose the
// arrival time and the reference check.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/sntp.h"
#include "platform/ctime.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qv::engine;
  static const bool zone_set = qv::platform::SetCRuntimeZone("JST-9");
  (void)zone_set;
  if (size < static_cast<std::size_t>(kSntpPacketSize)) return 0;

  std::uint8_t reply[kSntpPacketSize];
  std::memcpy(reply, data, sizeof reply);
  for (int at : {sntp_field::kReference, sntp_field::kOriginate, sntp_field::kReceive, sntp_field::kTransmit}) {
    NtpToMicroTime(reply + at);
    if (LoadMicroTime(reply + at).micros > 1000000) std::abort();
  }

  MicroTime arrival;
  std::uint8_t extra[10] = {};
  std::memcpy(extra, data + kSntpPacketSize, std::min<std::size_t>(sizeof extra, size - kSntpPacketSize));
  std::memcpy(&arrival.seconds, extra, 4);
  std::memcpy(&arrival.micros, extra + 4, 4);
  arrival.micros %= 1000000;
  int reference_check = extra[8] & 1;
  int reference_hours = static_cast<std::int8_t>(extra[9]) * 1000;

  double offset = 0.0;
  std::string status = "OK", detail;
  if (CheckSntpReply(reply, arrival, offset, status, detail, reference_check, reference_hours)) {
    if (status != "OK" || !std::isfinite(offset)) std::abort();
  } else if (status.rfind("ERROR (SNTP: ", 0) != 0) {
    std::abort();
  }
  for (int at : {sntp_field::kReference, sntp_field::kTransmit}) {
    if (FormatServerTime(LoadMicroTime(reply + at)).empty()) std::abort();
    if (FormatMicroTime(LoadMicroTime(reply + at)).empty()) std::abort();
  }
  return 0;
}
