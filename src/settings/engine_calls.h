// The one place the settings program reaches the time engine through: a
// check of one server with the dialog's settings and its result log line.
// Tests put a fake in its place.
#pragma once

#include <memory>
#include <string>

#include "engine/operations.h"
#include "engine/result.h"

namespace qv::settings {

class EngineCalls {
 public:
  virtual ~EngineCalls() = default;
  // One query; never sets the clock.
  virtual engine::Result Check(const engine::Request& request) = 0;
  // Appends the check's line to the result log.
  virtual engine::LogWrite LogCheck(const engine::Request& request, const engine::Result& result) = 0;
};

// The engine itself, logging beside the profile.
std::unique_ptr<EngineCalls> MakeRealEngine(const std::string& profile_path);

}  // namespace qv::settings
