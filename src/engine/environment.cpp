#include "engine/environment.h"

#include <mutex>

namespace qv::engine {

namespace {
std::mutex g_mutex;
Environment& Storage() {
  static Environment env;
  return env;
}
}  // namespace

void SetEnvironment(Environment env) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Storage() = std::move(env);
}

Environment CurrentEnvironment() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return Storage();
}

}  // namespace qv::engine
