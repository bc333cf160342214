// The OS-neutral part of the process services: the beep's and the worker
// threads' replacements for tests.
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "base/text.h"
#include "platform/process.h"
#include "platform/process_system.h"
#include "platform/test_seams.h"

namespace qv::platform {

namespace {
std::mutex g_beep_mutex;
BeepFn g_test_beep;  // guarded by g_beep_mutex
std::atomic<BeepSink> g_beep_sink{nullptr};
std::atomic<bool> g_fail_thread_starts{false};
}  // namespace

std::string ExecutableBaseName() { return std::string(StemOf(ExecutablePath())); }

void Beep(unsigned frequency_hz, unsigned duration_ms) {
  BeepFn replacement;
  {
    std::lock_guard<std::mutex> lock(g_beep_mutex);
    replacement = g_test_beep;
  }
  if (replacement)
    replacement(frequency_hz, duration_ms);
  else if (BeepSink sink = g_beep_sink.load())
    sink(frequency_hz, duration_ms);
  else
    detail::SystemBeep(frequency_hz, duration_ms);
}

void SetBeepSink(BeepSink sink) { g_beep_sink = sink; }

void SetBeepForTesting(BeepFn beep) {
  std::lock_guard<std::mutex> lock(g_beep_mutex);
  g_test_beep = std::move(beep);
}

bool StartDetachedThread(std::function<void()> body) {
  if (g_fail_thread_starts.load()) return false;
  static const bool shared = (detail::ShareHeapWithThreads(), true);
  (void)shared;
  try {
    std::thread(std::move(body)).detach();
    return true;
  } catch (const std::system_error&) {
    return false;  // no thread (resources exhausted); body never ran
  }
}

void FailThreadStartsForTesting(bool fail) { g_fail_thread_starts.store(fail); }

}  // namespace qv::platform
