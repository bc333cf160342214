// Arbitrary bytes as a request to the time service and as its reply. A
// request decodes only into values in range and encodes back to the very
// same bytes; a reply decodes into texts safe to show and survives another
// round trip unchanged; the service's answer to any bytes is a reply.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "engine/service_wire.h"

namespace {
using namespace qv::engine;

bool Printable(const std::string& text, bool final_cr = false) {
  const std::size_t n = final_cr && !text.empty() && text.back() == '\r' ? text.size() - 1 : text.size();
  return std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x20 && c != 0x7F; });
}

Result Echo(const Request& request) {
  Result r;
  r.stage = Stage::kOk;
  r.server_time = request.server;
  return r;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  if (const auto request = DecodeServiceRequest(bytes)) {
    if (request->timeout < 1 || request->timeout > kMaxServiceTimeout || request->server.empty() ||
        request->server.size() > kMaxServiceServer)
      std::abort();
    if (EncodeServiceRequest(*request) != std::vector<std::uint8_t>(bytes.begin(), bytes.end())) std::abort();
  }
  if (const auto reply = DecodeServiceReply(bytes)) {
    const Result& r = reply->result;
    if (!Printable(r.detail) || !Printable(r.pc_time) || !Printable(r.set_by) || !Printable(r.server_time, true))
      std::abort();
    if ((r.stage == Stage::kClockSet) != (r.refusal != qv::platform::ClockRefusal::kNone) &&
        reply->answer == ServiceAnswer::kResult)
      std::abort();
    const std::vector<std::uint8_t> again = EncodeServiceReply(*reply);
    if (again.size() > kMaxServiceReply) std::abort();
    const auto back = DecodeServiceReply(again);
    if (!back || back->answer != reply->answer || back->result.stage != r.stage || back->result.detail != r.detail ||
        back->result.server_time != r.server_time || back->result.offset_ns != r.offset_ns ||
        back->result.refusal != r.refusal)
      std::abort();
  }
  if (!DecodeServiceReply(AnswerServiceRequest(bytes, Echo))) std::abort();
  return 0;
}
