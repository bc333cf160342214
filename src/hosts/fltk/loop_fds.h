// The toolkit's event loop waits with select(), whose descriptor sets end
// at FD_SETSIZE: a higher descriptor in the loop would be written past
// them. The loop watches only descriptors below that: a few low numbers are
// held from the start, and a higher descriptor is watched through a copy
// placed on one of them.
#pragma once

#include <vector>

namespace qv::ui::fltk {

class LoopDescriptors {
 public:
  // Holds up to `count` low numbers (each on /dev/null) for later.
  explicit LoopDescriptors(int count);
  ~LoopDescriptors();
  LoopDescriptors(const LoopDescriptors&) = delete;
  LoopDescriptors& operator=(const LoopDescriptors&) = delete;

  // Whether the loop may watch `fd` as it is.
  static bool Watchable(int fd);
  // Frees one held number, so that the descriptor the process opens next
  // can take it.
  void FreeOne();
  // A descriptor the loop may watch for the same open file as `fd`: `fd`
  // itself when it is low enough, else a copy on a held or a free low
  // number; -1 when there is none.
  int Low(int fd);
  // Gives back what Low returned for `fd`.
  void Release(int low, int fd);
  int held() const { return static_cast<int>(held_.size()); }

 private:
  void Hold();
  int capacity_;
  std::vector<int> held_;
};

}  // namespace qv::ui::fltk
