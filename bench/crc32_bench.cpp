// CRC-32 throughput: the carry-less-multiply folding form and the
// slicing-by-16 form against the one-lookup-per-byte reference, in the same
// process, and their ratios.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "storage/crc32.h"

namespace {

std::vector<unsigned char> Data(std::size_t size) {
  std::vector<unsigned char> data(size);
  std::uint32_t seed = 1;
  for (unsigned char& byte : data) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<unsigned char>(seed >> 16);
  }
  return data;
}

template <std::uint32_t (*Update)(std::uint32_t, const unsigned char*, std::size_t)>
void Crc(benchmark::State& state) {
  const std::vector<unsigned char> data = Data(static_cast<std::size_t>(state.range(0)));
  std::uint32_t crc = 0xFFFFFFFFu;
  for (auto _ : state) {
    crc = Update(crc, data.data(), data.size());
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// 4096 is the storages' buffer, one ProcessBuffer call; 1 MiB a long run.
BENCHMARK(Crc<UpdateCrc32Bytewise>)->Name("crc32/bytewise")->Arg(4096)->Arg(1 << 20);
BENCHMARK(Crc<UpdateCrc32Slicing16>)->Name("crc32/slicing16")->Arg(4096)->Arg(1 << 20);
#if ADDON_CRC32_FOLDING
// Registered only where the processor has it; calling it elsewhere faults.
const bool kFoldingRegistered =
    Crc32FoldingAvailable() &&
    benchmark::RegisterBenchmark("crc32/folding", Crc<UpdateCrc32Folding>)->Arg(4096)->Arg(1 << 20) != nullptr;
#endif

// Console output plus the bytes per second of every run, by name.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto rate = run.counters.find("bytes_per_second");
      if (rate != run.counters.end()) rates[run.benchmark_name()] = rate->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> rates;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto rate = [&reporter](const char* form, const char* size) {
    const auto found = reporter.rates.find(std::string("crc32/") + form + "/" + size);
    return found == reporter.rates.end() ? 0.0 : found->second;
  };
  for (const char* size : {"4096", "1048576"}) {
    const double reference = rate("bytewise", size);
    const double slicing = rate("slicing16", size);
    const double folding = rate("folding", size);
    if (reference == 0 || slicing == 0) continue;
    std::printf("CRC-32 over %s-byte blocks: bytewise %.0f MB/s, slicing-by-16 %.0f MB/s (%.2fx bytewise)", size,
                reference / 1e6, slicing / 1e6, slicing / reference);
    if (folding != 0) {
      std::printf(", folding %.0f MB/s (%.2fx bytewise, %.2fx slicing-by-16)", folding / 1e6, folding / reference,
                  folding / slicing);
    }
    std::printf("\n");
  }
  std::printf("UpdateCrc32 dispatches to %s\n",
              Crc32DispatchForm() == Crc32Form::Folding ? "folding" : "slicing-by-16");
  benchmark::Shutdown();
  return 0;
}
