// One query in flight: filled by RunQuery, handed to the query runner, worked
// on by QueryServer on a worker thread.
#pragma once

#include <cstdint>
#include <string>

#include "engine/micro_time.h"
#include "platform/net.h"

namespace qv::platform {
class CancelSignal;
}

namespace qv::engine {

enum Protocol : int { kSntp = 0, kTime = 1, kDaytime = 2 };

struct QueryJob {
  std::intptr_t notify_window = 0;  // runner window that gets WM_QUERY_DONE
  platform::SocketHandle socket = platform::kNoSocket;
  int protocol = kSntp;
  std::string server;
  int timeout = 0;  // seconds
  std::uint8_t* reply = nullptr;
  int reply_size = 0;
  MicroTime* receive_time = nullptr;  // optional
  std::string* status = nullptr;
  int* error_code = nullptr;
  int result = 0;
  // Woken by the runner when it abandons the query; waits end at once.
  const platform::CancelSignal* cancel = nullptr;
};

// Window message a worker posts to its runner when QueryServer has returned.
inline constexpr unsigned WM_QUERY_DONE = 0x0400 + 100;

// Transport: one query of one server (runs on the worker thread).
int QueryServer(QueryJob& job);
// Closes the job's socket if it has one.
void CloseQuerySocket(QueryJob& job);

}  // namespace qv::engine
