#include "hosts/fltk/time_change.h"

#include <FL/Fl.H>
#include <errno.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "hosts/fltk/loop_fds.h"

namespace qv::ui::fltk {

namespace {
constexpr double kResumeLookSeconds = 2.0;
// A sleep shorter than this goes unnoticed; a busy system's scheduling
// never makes the two clocks part by this much.
constexpr long long kSleepGapMs = 1500;

long long ClockMs(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
long long BootGapMs() { return ClockMs(CLOCK_BOOTTIME) - ClockMs(CLOCK_MONOTONIC); }
}  // namespace

bool ResumedFromSleep(long long previous_gap_ms, long long gap_ms) { return gap_ms - previous_gap_ms > kSleepGapMs; }

TimeChangeWatch::TimeChangeWatch(std::function<void()> changed) : changed_(std::move(changed)) {
  fd_ = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
  // The event loop's select() cannot watch a descriptor past its sets.
  if (fd_ >= 0 && LoopDescriptors::Watchable(fd_) && Arm()) {
    Fl::add_fd(fd_, FL_READ, Readable, this);
  } else {
    if (fd_ >= 0 && !LoopDescriptors::Watchable(fd_))
      std::fprintf(stderr, "time change watch: descriptor %d is beyond what the event loop can watch\n", fd_);
    else
      std::perror("time change watch");
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  gap_ms_ = BootGapMs();
  Fl::add_timeout(kResumeLookSeconds, LookForResume, this);
}

TimeChangeWatch::~TimeChangeWatch() {
  Fl::remove_timeout(LookForResume, this);
  if (fd_ >= 0) {
    Fl::remove_fd(fd_);
    close(fd_);
  }
}

bool TimeChangeWatch::Arm() {
  // An absolute expiry far ahead that the kernel cancels when the clock is
  // set; the expiry itself is never meant to come.
  itimerspec timer{};
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  timer.it_value.tv_sec = now.tv_sec + 10 * 365 * 24 * 3600LL;
  return timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &timer, nullptr) == 0;
}

bool TimeChangeWatch::armed() const {
  itimerspec timer{};
  return fd_ >= 0 && timerfd_gettime(fd_, &timer) == 0 && (timer.it_value.tv_sec != 0 || timer.it_value.tv_nsec != 0);
}

void TimeChangeWatch::Readable(int, void* self) {
  auto* watch = static_cast<TimeChangeWatch*>(self);
  std::uint64_t expirations = 0;
  const ssize_t n = read(watch->fd_, &expirations, sizeof expirations);
  if (n < 0 && errno == EAGAIN) return;
  // ECANCELED: the clock was set. Either way the watch starts again.
  const bool set = n < 0 && errno == ECANCELED;
  watch->Arm();
  if (set) watch->changed_();
}

void TimeChangeWatch::LookForResume(void* self) {
  auto* watch = static_cast<TimeChangeWatch*>(self);
  Fl::repeat_timeout(kResumeLookSeconds, LookForResume, self);
  const long long gap = BootGapMs();
  const bool resumed = ResumedFromSleep(watch->gap_ms_, gap);
  watch->gap_ms_ = gap;
  if (resumed) watch->changed_();
}

}  // namespace qv::ui::fltk
