#include "engine/run_query.h"

#include "platform/process.h"

namespace qv::engine {

namespace {
QueryRunnerFn& Runner() {
  static QueryRunnerFn runner;
  return runner;
}
}  // namespace

void SetQueryRunner(QueryRunnerFn runner) { Runner() = std::move(runner); }

int RunQuery(int protocol, const std::string& server, int timeout, int beep, std::uint8_t* reply,
             int reply_size, MicroTime* receive_time, std::string& status, int& error_code) {
  QueryJob job;
  job.protocol = protocol;
  job.server = server;
  job.timeout = timeout;
  job.reply = reply;
  job.reply_size = reply_size;
  job.receive_time = receive_time;
  job.status = &status;
  job.error_code = &error_code;
  job.result = 0;

  if (Runner()) {
    Runner()(job);
  } else {
    // No runner installed (a program that forgot to): fail visibly rather
    // than block the caller's thread without a countdown.
    status = "NoRunner";
    error_code = 0;
  }

  if (job.result != 0) {
    status = "OK";
    return job.result;
  }
  status = "ERROR (" + status + ")";
  if (beep) platform::Beep(256, 100);
  return 0;
}

}  // namespace qv::engine
