// Each query of the library, run against the sample application of
// bench/bench_files.h. Natively, raw_sequence_posix.cpp measures the bare
// system calls each query cannot do without, for comparison.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/bench_files.h"
#include "vellumar/vellumar.h"

namespace {

void BM_GetResolutionStr(benchmark::State& state) {
  vellumar::bench::AppDirectory();
  char answer[16];
  for (auto _ : state) {
    GetResolutionStr(answer);
    benchmark::DoNotOptimize(answer);
  }
}

void BM_GetResolutionInt(benchmark::State& state) {
  vellumar::bench::AppDirectory();
  std::int32_t w, h;
  for (auto _ : state) {
    GetResolutionInt(&w, &h);
    benchmark::DoNotOptimize(w);
    benchmark::DoNotOptimize(h);
  }
}

void BM_GetAppVersion(benchmark::State& state) {
  vellumar::bench::AppDirectory();
  char answer[40];
  for (auto _ : state) {
    GetAppVersion(answer);
    benchmark::DoNotOptimize(answer);
  }
}

void BM_GetOSVer(benchmark::State& state) {
  vellumar::bench::AppDirectory();
  char answer[16];
  for (auto _ : state) {
    GetOSVer(answer);
    benchmark::DoNotOptimize(answer);
  }
}

void BM_GetLastSaveDate(benchmark::State& state) {
  vellumar::bench::AppDirectory();
  char answer[32];
  for (auto _ : state) {
    GetLastSaveDate(answer);
    benchmark::DoNotOptimize(answer);
  }
}

BENCHMARK(BM_GetResolutionStr);
BENCHMARK(BM_GetResolutionInt);
BENCHMARK(BM_GetAppVersion);
BENCHMARK(BM_GetOSVer);
BENCHMARK(BM_GetLastSaveDate);

}  // namespace

BENCHMARK_MAIN();
