#include "platform/cancel_signal.h"

#include <windows.h>

namespace qv::platform {

CancelSignal::CancelSignal() {
  HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  handle_ = h ? reinterpret_cast<std::intptr_t>(h) : -1;
}

CancelSignal::~CancelSignal() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

void CancelSignal::Fire() {
  fired_.store(true, std::memory_order_release);
  if (handle_ != -1) SetEvent(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace qv::platform
