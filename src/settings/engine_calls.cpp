#include "settings/engine_calls.h"

#include "engine/result_log.h"

namespace qv::settings {

namespace {

class Engine final : public EngineCalls {
 public:
  explicit Engine(std::string log_path) : log_path_(std::move(log_path)) {}
  engine::Result Check(const engine::Request& r) override { return engine::Check(r); }
  engine::LogWrite LogCheck(const engine::Request& r, const engine::Result& result) override {
    return engine::WriteResultLog(log_path_, r, result);
  }

 private:
  std::string log_path_;
};

}  // namespace

std::unique_ptr<EngineCalls> MakeRealEngine(const std::string& profile_path) {
  return std::make_unique<Engine>(engine::ResultLogPath(profile_path));
}

}  // namespace qv::settings
