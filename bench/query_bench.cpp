// Each query against the bare system calls it cannot do without: open,
// fstat, flock, pread, close on the same file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "library/data_paths.h"
#include "vellumar/vellumar.h"

namespace {

std::string g_dir;

void SetUpFiles() {
  if (!g_dir.empty()) return;
  char tmpl[] = "/tmp/vellumar-bench-XXXXXX";
  g_dir = ::mkdtemp(tmpl);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(g_dir, ignored);
  });
  const unsigned char info[18] = {0x00, 0x04, 0x00, 0x03, 0xD8, 0x07, 0, 0, 0, 0, 3, 0, 0, 0};
  std::string path = g_dir + "/vers_res.inf";
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(info, 1, sizeof info, f);
  std::fclose(f);
  std::fclose(std::fopen((g_dir + "/app.ver").c_str(), "wb"));
  std::snprintf(vellumar::g_szAppDirectory, sizeof vellumar::g_szAppDirectory, "%s", g_dir.c_str());
  vellumar::ComposeDataPaths();
}

void RawSequence(benchmark::State& state, off_t offset, size_t size) {
  SetUpFiles();
  std::string path = g_dir + "/vers_res.inf";
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
  SetUpFiles();
  std::string path = g_dir + "/app.ver";
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat st;
    ::fstat(fd, &st);
    benchmark::DoNotOptimize(::flock(fd, LOCK_EX | LOCK_NB));
    benchmark::DoNotOptimize(st.st_mtim.tv_sec);
    ::close(fd);
  }
}

void BM_GetResolutionStr(benchmark::State& state) {
  SetUpFiles();
  char answer[16];
  for (auto _ : state) {
    GetResolutionStr(answer);
    benchmark::DoNotOptimize(answer);
  }
}

void BM_GetResolutionInt(benchmark::State& state) {
  SetUpFiles();
  std::int32_t w, h;
  for (auto _ : state) {
    GetResolutionInt(&w, &h);
    benchmark::DoNotOptimize(w);
    benchmark::DoNotOptimize(h);
  }
}

void BM_GetAppVersion(benchmark::State& state) {
  SetUpFiles();
  char answer[40];
  for (auto _ : state) {
    GetAppVersion(answer);
    benchmark::DoNotOptimize(answer);
  }
}

void BM_GetOSVer(benchmark::State& state) {
  SetUpFiles();
  char answer[16];
  for (auto _ : state) {
    GetOSVer(answer);
    benchmark::DoNotOptimize(answer);
  }
}

void BM_GetLastSaveDate(benchmark::State& state) {
  SetUpFiles();
  char answer[32];
  for (auto _ : state) {
    GetLastSaveDate(answer);
    benchmark::DoNotOptimize(answer);
  }
}

BENCHMARK(BM_RawSequence_Resolution);
BENCHMARK(BM_GetResolutionStr);
BENCHMARK(BM_GetResolutionInt);
BENCHMARK(BM_RawSequence_Version);
BENCHMARK(BM_GetAppVersion);
BENCHMARK(BM_GetOSVer);
BENCHMARK(BM_RawSequence_Stamp);
BENCHMARK(BM_GetLastSaveDate);

}  // namespace

BENCHMARK_MAIN();
