// The baselines of the query benchmarks: the bare system calls that a query
// cannot do without (open, fstat, flock, pread, close) on the same files.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "bench/bench_files.h"

namespace {

void RawSequence(benchmark::State& state, off_t offset, size_t size) {
  const std::string path = vellumar::bench::AppDirectory() + "/vers_res.inf";
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat st;
    ::fstat(fd, &st);
    ::flock(fd, LOCK_EX | LOCK_NB);
    unsigned char bytes[4] = {};
    benchmark::DoNotOptimize(::pread(fd, bytes, size, offset));
    ::close(fd);
    benchmark::DoNotOptimize(bytes);
  }
}

void BM_RawSequence_Resolution(benchmark::State& state) { RawSequence(state, 0, 4); }
void BM_RawSequence_Version(benchmark::State& state) { RawSequence(state, 4, 2); }

// The stamp's sequence: the open's status read is all the query needs.
void BM_RawSequence_Stamp(benchmark::State& state) {
  const std::string path = vellumar::bench::AppDirectory() + "/app.ver";
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat st;
    ::fstat(fd, &st);
    benchmark::DoNotOptimize(::flock(fd, LOCK_EX | LOCK_NB));
    benchmark::DoNotOptimize(st.st_mtim.tv_sec);
    ::close(fd);
  }
}

BENCHMARK(BM_RawSequence_Resolution);
BENCHMARK(BM_RawSequence_Version);
BENCHMARK(BM_RawSequence_Stamp);

}  // namespace
