// Times SNTP checks of one server with and without NTS for bench/nts-bench:
// the offsets each measures (the true offset on loopback is 0) and the wall
// time of a plain query, an NTS query on a kept session, and one that
// starts with a fresh key exchange.
//   nts_bench <address> <trust file> <runs>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine/nts_query.h"
#include "engine/operations.h"
#include "engine/run_query.h"
#include "platform/net.h"

namespace {

using namespace qv;

template <typename T>
T Median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Series {
  std::vector<long long> offsets_ns;  // |offset|
  std::vector<long long> wall_us;
};

Series Run(int runs, const engine::Request& request, const std::function<void()>& before) {
  Series s;
  for (int i = 0; i < runs; ++i) {
    before();
    const auto start = std::chrono::steady_clock::now();
    const engine::Result r = engine::Check(request);
    const auto took = std::chrono::steady_clock::now() - start;
    if (!r.ok()) {
      std::fprintf(stderr, "nts_bench: %s %s\n", r.status.c_str(), r.detail.c_str());
      std::exit(1);
    }
    s.offsets_ns.push_back(std::llabs(*r.offset_ns));
    s.wall_us.push_back(std::chrono::duration_cast<std::chrono::microseconds>(took).count());
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: nts_bench <address> <trust file> <runs>\n");
    return 2;
  }
  const int runs = std::max(1, std::atoi(argv[3]));
  if (platform::NetStartup() != 0) return 1;
  engine::SetQueryRunner([](const engine::QueryJob& job) {
    engine::Reply reply;
    std::thread([&] { reply = engine::QueryServer(job); }).join();
    return reply;
  });
  engine::Request plain;
  plain.protocol = kSntp;
  plain.server = argv[1];
  plain.timeout = 3;
  engine::Request nts = plain;
  nts.nts = true;
  nts.nts_trust_file = argv[2];

  Run(3, nts, [] {});  // warm up both paths and the server's key exchange
  Run(3, plain, [] {});
  const Series p = Run(runs, plain, [] {});
  const Series kept = Run(runs, nts, [] {});
  const std::uint64_t before = engine::NtsKeyExchangeCount();
  const Series fresh = Run(runs, nts, [] { engine::ForgetNtsSessions(); });
  const std::uint64_t exchanges = engine::NtsKeyExchangeCount() - before;

  std::printf("%-28s %14s %12s\n", "query (median of runs)", "|offset| us", "wall us");
  std::printf("%-28s %14.1f %12lld\n", "SNTP", Median(p.offsets_ns) / 1000.0, Median(p.wall_us));
  std::printf("%-28s %14.1f %12lld\n", "NTS, kept session", Median(kept.offsets_ns) / 1000.0, Median(kept.wall_us));
  std::printf("%-28s %14.1f %12lld\n", "NTS, fresh key exchange", Median(fresh.offsets_ns) / 1000.0,
              Median(fresh.wall_us));
  std::printf("runs %d each; key exchanges in the fresh series: %llu\n", runs,
              static_cast<unsigned long long>(exchanges));
  return 0;
}
