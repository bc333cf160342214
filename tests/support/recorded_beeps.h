// Beeps recorded instead of sounded, while the object lives.
#pragma once

#include <mutex>
#include <utility>
#include <vector>

#include "platform/test_seams.h"

namespace qv::test {

class RecordedBeeps {
 public:
  RecordedBeeps() {
    platform::SetBeepForTesting([this](unsigned hz, unsigned ms) {
      std::lock_guard<std::mutex> lock(mutex_);
      beeps_.emplace_back(hz, ms);
    });
  }
  ~RecordedBeeps() { platform::SetBeepForTesting(nullptr); }
  RecordedBeeps(const RecordedBeeps&) = delete;

  // Each beep as (frequency in Hz, duration in ms); the record is emptied.
  std::vector<std::pair<unsigned, unsigned>> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(beeps_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<unsigned, unsigned>> beeps_;
};

}  // namespace qv::test
