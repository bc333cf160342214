#include "engine/service_wire.h"

#include <algorithm>

#include "engine/time_text.h"

namespace qv::engine {

namespace {

constexpr std::uint8_t kRequestTag = 'Q';
constexpr std::uint8_t kReplyTag = 'R';

class Writer {
 public:
  void U8(std::uint8_t v) { bytes_.push_back(v); }
  void U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void U64(std::uint64_t v) {
    U32(static_cast<std::uint32_t>(v));
    U32(static_cast<std::uint32_t>(v >> 32));
  }
  void Text(const std::string& s, std::size_t limit) {
    const std::size_t n = std::min(s.size(), limit);
    U32(static_cast<std::uint32_t>(n));
    bytes_.insert(bytes_.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
  }
  // The length in front of what was written.
  std::vector<std::uint8_t> Framed() const {
    Writer framed;
    framed.U32(static_cast<std::uint32_t>(bytes_.size()));
    framed.bytes_.insert(framed.bytes_.end(), bytes_.begin(), bytes_.end());
    return framed.bytes_;
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Reads a framed message; every read past the end, or a length that does
// not match, fails the whole message.
class Reader {
 public:
  Reader(std::span<const std::uint8_t> bytes, std::size_t limit) : bytes_(bytes), ok_(bytes.size() <= limit) {
    std::uint32_t length = 0;
    if (U32(length) && length != bytes.size() - 4) ok_ = false;
  }
  bool U8(std::uint8_t& v) {
    if (!Take(1)) return false;
    v = bytes_[at_ - 1];
    return true;
  }
  bool U32(std::uint32_t& v) {
    if (!Take(4)) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(bytes_[at_ - 4 + static_cast<std::size_t>(i)]) << (8 * i);
    return true;
  }
  bool U64(std::uint64_t& v) {
    std::uint32_t low = 0, high = 0;
    if (!U32(low) || !U32(high)) return false;
    v = (static_cast<std::uint64_t>(high) << 32) | low;
    return true;
  }
  bool Text(std::string& s, std::size_t limit) {
    std::uint32_t n = 0;
    if (!U32(n) || n > limit || !Take(n)) return false;
    s.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(at_ - n), bytes_.begin() + static_cast<std::ptrdiff_t>(at_));
    return true;
  }
  // True when everything read so far was there and nothing is left over.
  bool Done() const { return ok_ && at_ == bytes_.size(); }
  bool ok() const { return ok_; }

 private:
  bool Take(std::size_t n) {
    if (!ok_ || bytes_.size() - at_ < n) return ok_ = false;
    at_ += n;
    return true;
  }
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
  bool ok_;
};

// A host name or dotted address: printable ASCII without spaces.
bool IsServerText(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

bool IsKnownStage(std::uint8_t stage) { return stage <= static_cast<std::uint8_t>(Stage::kNtsAuthenticator); }
bool IsKnownRefusal(std::uint8_t refusal) {
  return refusal <= static_cast<std::uint8_t>(platform::ClockRefusal::kOther);
}

}  // namespace

ServiceRequest ServiceRequestFor(const Request& request) {
  ServiceRequest r;
  r.protocol = request.protocol;
  r.server = request.server;
  r.timeout = std::clamp(request.timeout, 1, kMaxServiceTimeout);
  r.reference_check = request.reference_check;
  r.reference_hours = request.reference_hours;
  return r;
}

Request RequestFromService(const ServiceRequest& request) {
  Request r = MakeRequest(request.protocol, request.server, request.timeout, 0, request.reference_check ? 1 : 0,
                          request.reference_hours, "", "HostNotFound");
  r.may_ask_time_service = false;  // the service is what would be asked
  return r;
}

std::vector<std::uint8_t> EncodeServiceRequest(const ServiceRequest& request) {
  Writer w;
  w.U8(kRequestTag);
  w.U8(kServiceWireVersion);
  w.U8(static_cast<std::uint8_t>(request.protocol));
  w.Text(request.server, kMaxServiceServer);
  w.U32(static_cast<std::uint32_t>(request.timeout));
  w.U8(request.reference_check ? 1 : 0);
  w.U32(static_cast<std::uint32_t>(request.reference_hours));
  return w.Framed();
}

std::optional<ServiceRequest> DecodeServiceRequest(std::span<const std::uint8_t> bytes) {
  Reader r(bytes, kMaxServiceRequest);
  std::uint8_t tag = 0, version = 0, protocol = 0, check = 0;
  std::uint32_t timeout = 0, hours = 0;
  ServiceRequest out;
  if (!r.U8(tag) || tag != kRequestTag || !r.U8(version) || version != kServiceWireVersion) return std::nullopt;
  if (!r.U8(protocol) || !r.Text(out.server, kMaxServiceServer) || !r.U32(timeout) || !r.U8(check) || !r.U32(hours) ||
      !r.Done())
    return std::nullopt;
  if ((protocol != kSntp && protocol != kTime && protocol != kDaytime) || !IsServerText(out.server) || check > 1 ||
      timeout < 1 || timeout > static_cast<std::uint32_t>(kMaxServiceTimeout))
    return std::nullopt;
  out.protocol = protocol;
  out.timeout = static_cast<int>(timeout);
  out.reference_check = check == 1;
  out.reference_hours = static_cast<int>(hours);
  return out;
}

std::vector<std::uint8_t> EncodeServiceReply(const ServiceReply& reply) {
  const Result& result = reply.result;
  Writer w;
  w.U8(kReplyTag);
  w.U8(kServiceWireVersion);
  w.U8(static_cast<std::uint8_t>(reply.answer));
  if (reply.answer == ServiceAnswer::kResult) {
    w.U8(static_cast<std::uint8_t>(result.stage));
    w.U32(static_cast<std::uint32_t>(result.error_code));
    for (const std::string* text : {&result.status, &result.detail, &result.server_time, &result.pc_time, &result.set_by})
      w.Text(*text, kMaxServiceText);
    w.U8(result.offset_ns ? 1 : 0);
    w.U64(static_cast<std::uint64_t>(result.offset_ns.value_or(0)));
    w.U8(static_cast<std::uint8_t>(result.refusal));
  }
  return w.Framed();
}

std::optional<ServiceReply> DecodeServiceReply(std::span<const std::uint8_t> bytes) {
  Reader r(bytes, kMaxServiceReply);
  std::uint8_t tag = 0, version = 0, answer = 0;
  if (!r.U8(tag) || tag != kReplyTag || !r.U8(version) || version != kServiceWireVersion || !r.U8(answer))
    return std::nullopt;
  ServiceReply out;
  out.result.mode = Mode::kAdjust;
  if (answer == static_cast<std::uint8_t>(ServiceAnswer::kBusy) ||
      answer == static_cast<std::uint8_t>(ServiceAnswer::kRefused)) {
    out.answer = static_cast<ServiceAnswer>(answer);
    return r.Done() ? std::optional(out) : std::nullopt;
  }
  if (answer != static_cast<std::uint8_t>(ServiceAnswer::kResult)) return std::nullopt;
  Result& result = out.result;
  std::uint8_t stage = 0, has_offset = 0, refusal = 0;
  std::uint32_t error = 0;
  std::uint64_t offset = 0;
  if (!r.U8(stage) || !r.U32(error)) return std::nullopt;
  for (std::string* text : {&result.status, &result.detail, &result.server_time, &result.pc_time, &result.set_by}) {
    if (!r.Text(*text, kMaxServiceText)) return std::nullopt;
  }
  if (!r.U8(has_offset) || !r.U64(offset) || !r.U8(refusal) || !r.Done()) return std::nullopt;
  if (!IsKnownStage(stage) || !IsKnownRefusal(refusal) || has_offset > 1) return std::nullopt;
  // A refusal only ever comes with the clock's stage, and the clock's stage
  // only with one.
  if ((stage == static_cast<std::uint8_t>(Stage::kClockSet)) != (refusal != 0)) return std::nullopt;
  result.stage = static_cast<Stage>(stage);
  result.error_code = static_cast<int>(error);
  if (has_offset) result.offset_ns = static_cast<std::int64_t>(offset);
  result.refusal = static_cast<platform::ClockRefusal>(refusal);
  // Whatever text came is shown and logged: make it safe to.
  for (std::string* text : {&result.detail, &result.pc_time, &result.set_by}) *text = SanitizeServerText(*text);
  result.server_time = SanitizeServerText(result.server_time, true);  // a DAYTIME line keeps its CR
  return out;
}

std::vector<std::uint8_t> AnswerServiceRequest(std::span<const std::uint8_t> bytes, ServiceAdjustFn adjust) {
  const std::optional<ServiceRequest> request = DecodeServiceRequest(bytes);
  ServiceReply reply;
  if (!request) {
    reply.answer = ServiceAnswer::kRefused;
  } else {
    reply.result = adjust(RequestFromService(*request));
  }
  return EncodeServiceReply(reply);
}

std::vector<std::uint8_t> BusyServiceReply() {
  ServiceReply reply;
  reply.answer = ServiceAnswer::kBusy;
  return EncodeServiceReply(reply);
}

}  // namespace qv::engine
