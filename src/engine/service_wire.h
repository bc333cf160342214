// What a program and the time service say to each other: a request of query
// settings (never a time to set) and the adjustment's Result. Each message
// is a 4-byte little-endian length, then that many bytes. Pure: no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/operations.h"
#include "engine/result.h"

namespace qv::engine {

inline constexpr std::uint8_t kServiceWireVersion = 1;
inline constexpr std::size_t kMaxServiceRequest = 1024;  // whole message, length included
inline constexpr std::size_t kMaxServiceReply = 4096;
inline constexpr std::size_t kMaxServiceServer = 255;   // a DNS name's limit
inline constexpr std::size_t kMaxServiceText = 900;     // each text of a reply
inline constexpr int kMaxServiceTimeout = 60;           // seconds: the service serves one caller at a time

// What the service may be asked: how to query, not what to set.
struct ServiceRequest {
  int protocol = kSntp;
  std::string server;
  int timeout = 3;
  bool reference_check = true;
  int reference_hours = 24;
  friend bool operator==(const ServiceRequest&, const ServiceRequest&) = default;
};

enum class ServiceAnswer : std::uint8_t {
  kResult = 0,   // the adjustment's Result
  kBusy = 1,     // another caller's adjustment is running
  kRefused = 2,  // the request was not understood; nothing was done
};

struct ServiceReply {
  ServiceAnswer answer = ServiceAnswer::kResult;
  Result result;  // kResult only
};

ServiceRequest ServiceRequestFor(const Request& request);
// The request as the service runs it: beep, logs and asking a service off.
Request RequestFromService(const ServiceRequest& request);

std::vector<std::uint8_t> EncodeServiceRequest(const ServiceRequest& request);
// nullopt for anything but one whole, well-formed request of this version
// whose values are in range (protocol, server text, timeout 1..60 s).
std::optional<ServiceRequest> DecodeServiceRequest(std::span<const std::uint8_t> bytes);

// Texts longer than kMaxServiceText are cut there, so a reply always fits.
std::vector<std::uint8_t> EncodeServiceReply(const ServiceReply& reply);
std::optional<ServiceReply> DecodeServiceReply(std::span<const std::uint8_t> bytes);

// The service's side: one request's bytes to the reply's bytes. `adjust`
// runs a decoded request (engine::Adjust in the service).
using ServiceAdjustFn = Result (*)(const Request&);
std::vector<std::uint8_t> AnswerServiceRequest(std::span<const std::uint8_t> bytes, ServiceAdjustFn adjust);
// What a caller is told while another one is served.
std::vector<std::uint8_t> BusyServiceReply();

}  // namespace qv::engine
