// A clock for tests: settable UTC reading and OS-zone local time, accepted
// sets recorded, and a switch to refuse like a system without the right to
// set the time. Impossible times are refused as the real clock refuses
// them. Readings do not follow the sets. Installs itself while it lives.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/clock.h"
#include "platform/test_seams.h"

namespace qv::test {

class FakeClock final : public platform::Clock {
  // Readings come from worker threads too.
  template <class F>
  auto Locked(F f) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return f();
  }

 public:
  using SystemTime = platform::SystemTime;
  FakeClock() { platform::SetClockForTesting(this); }
  ~FakeClock() override { platform::SetClockForTesting(nullptr); }
  FakeClock(const FakeClock&) = delete;
  FakeClock& operator=(const FakeClock&) = delete;

  void SetUtcFileTime(std::int64_t ticks) { Locked([&] { utc_ = ticks; }); }
  void SetUnixTime(std::int64_t seconds, std::int64_t micros = 0) {
    SetUtcFileTime(platform::kFileTimeUnixEpoch + seconds * platform::kFileTicksPerSecond + micros * 10);
  }
  void SetLocalReading(const SystemTime& t) { Locked([&] { local_ = t; }); }
  // Refuses every set for this reason from now on; kNone accepts again.
  void SetRefuse(bool refuse) { SetRefusal(refuse ? platform::ClockRefusal::kNoRight : platform::ClockRefusal::kNone); }
  void SetRefusal(platform::ClockRefusal refusal) { Locked([&] { refusal_ = refusal; }); }

  std::vector<SystemTime> utc_sets() const { return Locked([&] { return utc_sets_; }); }
  std::vector<SystemTime> local_sets() const { return Locked([&] { return local_sets_; }); }
  int refused_calls() const { return Locked([&] { return refused_; }); }

  std::int64_t UtcFileTime() override { return Locked([&] { return utc_; }); }
  SystemTime LocalTime() override { return Locked([&] { return local_; }); }
  platform::ClockSet SetUtc(const SystemTime& t) override { return Record(t, utc_sets_); }
  platform::ClockSet SetLocal(const SystemTime& t) override { return Record(t, local_sets_); }

 private:
  platform::ClockSet Record(const SystemTime& t, std::vector<SystemTime>& sets) {
    return Locked([&] {
      platform::ClockSet outcome;
      outcome.refusal = !platform::IsValidSystemTime(t) ? platform::ClockRefusal::kImpossibleTime : refusal_;
      if (outcome) sets.push_back(t);
      refused_ += !outcome;
      return outcome;
    });
  }

  mutable std::mutex mutex_;
  std::int64_t utc_ = platform::kFileTimeUnixEpoch;
  SystemTime local_{};
  platform::ClockRefusal refusal_ = platform::ClockRefusal::kNone;
  std::vector<SystemTime> utc_sets_, local_sets_;
  int refused_ = 0;
};

}  // namespace qv::test
