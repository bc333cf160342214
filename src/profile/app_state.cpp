#include "profile/app_state.h"

#include <atomic>

namespace qv::profile {

namespace {
std::string& PathStorage() {
  static std::string path;
  return path;
}
// Read by the query worker thread.
std::atomic<bool> g_debug{false};
}  // namespace

const std::string& ProfilePath() { return PathStorage(); }
void SetProfilePath(std::string path) { PathStorage() = std::move(path); }
bool DebugSwitch() { return g_debug.load(); }
void SetDebugSwitch(bool on) { g_debug.store(on); }

}  // namespace qv::profile
