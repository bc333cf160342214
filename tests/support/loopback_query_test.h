// Base for tests that run whole engine operations over loopback without the
// runner dialog: sockets started, server times in JST-9, and a runner that
// runs the transport on a worker thread and joins it.
#pragma once

#include <gtest/gtest.h>

#include <thread>

#include "engine/operations.h"
#include "engine/query_job.h"
#include "engine/run_query.h"
#include "platform/ctime.h"
#include "platform/net.h"

namespace qv::test {

class LoopbackQueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static const int started = platform::NetStartup();
    ASSERT_EQ(started, 0);
    ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
    engine::SetQueryRunner([](const engine::QueryJob& job) {
      engine::Reply reply;
      std::thread([&] { reply = engine::QueryServer(job); }).join();
      return reply;
    });
  }
  void TearDown() override { engine::SetQueryRunner(nullptr); }

  static engine::Request RequestFor(const std::string& address, int protocol, int timeout) {
    engine::Request request;
    request.server = address;
    request.protocol = protocol;
    request.timeout = timeout;
    return request;
  }
};

}  // namespace qv::test
