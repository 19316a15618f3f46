// How close the installer's decode path comes to a bare zlib loop.
//
// Builds a module of about 8 MB from real binaries found on this machine (PE
// DLLs and ELF libraries), compresses it at level 9 as a raw deflate package,
// and decodes it file to file, again and again, in four ways, side by side in
// the same process (the order rotates every round; medians are reported):
//   (a) ALInflateDecoder over two ALFileStorages, 4096-byte buffers, CRC on
//   (b) bare zlib raw-inflate loop, 4096-byte read/write buffers, no CRC
//   (c) the same loop with 64 KiB buffers
//   (d) loop (b) plus a one-lookup-per-byte CRC of the output
//   (e) loop (b) plus the storages' CRC (UpdateCrc32, the form the dispatch
//       picked on this processor)
// and prints MB/s, the time ratios, and the peak heap of each run for a small
// and the full module (a run must not need more heap for a larger module).
// Times are the process's CPU time (user + system) per run: the build machine
// is shared, and waiting for a core is no cost of the decoder. Wall-clock
// medians are printed beside them, and so is the median of the ratios taken
// within each round.
//
//   inflate_bench [ROUNDS]     default 9 rounds
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <zlib.h>

#include "bench/heap_counter.h"
#include "decode/inflate_decoder.h"
#include "storage/crc32.h"
#include "storage/file_storage.h"
#include "tests/support/deflate_streams.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

constexpr std::size_t kCorpusBytes = 8u << 20;
constexpr std::size_t kSmallModuleBytes = 1u << 20;
constexpr std::size_t kLargestSample = 1536u << 10;
constexpr std::int32_t kInstallerBuffer = 4096;
constexpr std::size_t kLargeBuffer = 64u << 10;

struct Source {
  const char* folder;
  bool pe;  // else ELF
};
const Source kSources[] = {
    {"/usr/lib/x86_64-linux-gnu/wine/x86_64-windows", true},
    {"/usr/lib/i386-linux-gnu/wine/i386-windows", true},
    {"/usr/i686-w64-mingw32/lib", true},
    {"/usr/x86_64-w64-mingw32/lib", true},
    {"/usr/lib/x86_64-linux-gnu", false},
    {"/usr/lib/gcc/x86_64-linux-gnu", false},
};

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool HasMagic(const fs::path& path, bool pe) {
  unsigned char head[4] = {};
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(head), sizeof head);
  if (!in) return false;
  return pe ? (head[0] == 'M' && head[1] == 'Z') : std::memcmp(head, "\x7f" "ELF", 4) == 0;
}

// Half the corpus from PE files, half from ELF files, in name order so that
// every run on the same machine uses the same bytes.
Bytes GatherCorpus(int* peFiles, int* elfFiles) {
  Bytes corpus;
  *peFiles = *elfFiles = 0;
  for (bool pe : {true, false}) {
    const std::size_t goal = pe ? kCorpusBytes / 2 : kCorpusBytes;
    for (const Source& source : kSources) {
      if (source.pe != pe || corpus.size() >= goal) continue;
      std::error_code ec;
      std::vector<fs::path> files;
      for (const auto& entry : fs::directory_iterator(source.folder, ec)) {
        const std::string name = entry.path().filename().string();
        const bool wanted = pe ? (name.size() > 4 && name.substr(name.size() - 4) == ".dll")
                               : name.find(".so") != std::string::npos;
        std::error_code sizeError;
        if (wanted && entry.is_regular_file(sizeError) && !entry.is_symlink(sizeError) &&
            entry.file_size(sizeError) <= kLargestSample)
          files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
      for (const fs::path& file : files) {
        if (corpus.size() >= goal) break;
        if (!HasMagic(file, pe)) continue;
        const Bytes bytes = ReadFile(file);
        corpus.insert(corpus.end(), bytes.begin(), bytes.begin() +
                      static_cast<std::ptrdiff_t>(std::min(bytes.size(), goal - corpus.size())));
        ++(pe ? *peFiles : *elfFiles);
      }
    }
  }
  return corpus;
}

// (a): the installer's way.
bool DecodeWithStorages(const std::string& package, const std::string& module) {
  ALFileStorage input(package.c_str(), kInstallerBuffer, CaseInsensitive);
  ALFileStorage output(module.c_str(), kInstallerBuffer, CaseInsensitive);
  ALInflateDecoder decoder;
  return decoder.Decompress(input, output, -1) == 0;
}

enum class Crc { None, Bytewise, Storages };

// (b) to (e): read, inflate, write, with no storage object in between. The
// buffers come from the heap like the storages' do.
bool DecodeBare(const std::string& package, const std::string& module, std::size_t bufferSize,
                Crc crcKind, std::uint32_t* crcOut) {
  const int in = open(package.c_str(), O_RDONLY);
  const int out = open(module.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::unique_ptr<unsigned char[]> inBuf(new unsigned char[bufferSize]);
  std::unique_ptr<unsigned char[]> outBuf(new unsigned char[bufferSize]);
  z_stream zs;
  std::memset(&zs, 0, sizeof zs);
  bool ok = in >= 0 && out >= 0 && inflateInit2(&zs, -15) == Z_OK;
  std::uint32_t crc = 0xFFFFFFFFu;
  int rc = Z_OK;
  while (ok && rc != Z_STREAM_END) {
    if (zs.avail_in == 0) {
      const ssize_t got = read(in, inBuf.get(), bufferSize);
      if (got <= 0) break;
      zs.next_in = inBuf.get();
      zs.avail_in = static_cast<uInt>(got);
    }
    zs.next_out = outBuf.get();
    zs.avail_out = static_cast<uInt>(bufferSize);
    rc = inflate(&zs, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) ok = false;
    const std::size_t have = bufferSize - zs.avail_out;
    if (crcKind == Crc::Bytewise) crc = UpdateCrc32Bytewise(crc, outBuf.get(), have);
    if (crcKind == Crc::Storages) crc = UpdateCrc32(crc, outBuf.get(), have);
    if (have && write(out, outBuf.get(), have) != static_cast<ssize_t>(have)) ok = false;
  }
  ok = ok && rc == Z_STREAM_END;
  inflateEnd(&zs);
  if (in >= 0) close(in);
  if (out >= 0) close(out);
  *crcOut = ~crc;
  return ok;
}

struct Method {
  const char* label;
  std::function<bool(const std::string&, const std::string&)> run;
  std::vector<double> seconds;  // CPU
  std::vector<double> wallSeconds;
  std::size_t peakSmall = 0;
  std::size_t peakLarge = 0;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Runs one method once, returning its CPU seconds (wall seconds in *wall)
// and recording its peak heap.
double TimeOnce(Method& m, const std::string& package, const std::string& module,
                std::size_t* peak, double* wall = nullptr) {
  heap_counter::ResetPeak();
  const std::size_t before = heap_counter::Live();
  const double cpuStart = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  const bool ok = m.run(package, module);
  const auto stop = std::chrono::steady_clock::now();
  const double cpu = CpuSeconds() - cpuStart;
  *peak = std::max(*peak, heap_counter::Peak() - before);
  if (!ok) {
    std::fprintf(stderr, "inflate_bench: %s failed\n", m.label);
    std::exit(1);
  }
  if (wall) *wall = std::chrono::duration<double>(stop - start).count();
  return cpu;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  int peFiles = 0;
  int elfFiles = 0;
  const Bytes module = GatherCorpus(&peFiles, &elfFiles);
  if (module.size() < kSmallModuleBytes * 2) {
    std::fprintf(stderr, "inflate_bench: found only %zu bytes of binaries\n", module.size());
    return 1;
  }
  const Bytes small(module.begin(), module.begin() + kSmallModuleBytes);
  const Bytes package = deflate_streams::Deflate(module);
  const Bytes smallPackage = deflate_streams::Deflate(small);

  const fs::path dir = fs::temp_directory_path() / ("inflate_bench." + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string packagePath = (dir / "large.ppk").string();
  const std::string smallPackagePath = (dir / "small.ppk").string();
  const std::string outPath = (dir / "module.dll").string();
  if (!WriteFile(packagePath, package) || !WriteFile(smallPackagePath, smallPackage)) {
    std::fprintf(stderr, "inflate_bench: cannot write into %s\n", dir.string().c_str());
    return 1;
  }
  const std::uint32_t moduleCrc = static_cast<std::uint32_t>(
      crc32(0, module.data(), static_cast<uInt>(module.size())));

  std::uint32_t lastCrc = 0;
  auto bare = [&lastCrc](std::size_t size, Crc crc) {
    return [&lastCrc, size, crc](const std::string& p, const std::string& m) {
      return DecodeBare(p, m, size, crc, &lastCrc);
    };
  };
  std::vector<Method> methods;
  methods.push_back({"(a) decoder + file storages, 4 KiB, CRC", DecodeWithStorages, {}, {}});
  methods.push_back({"(b) bare zlib loop, 4 KiB, no CRC", bare(4096, Crc::None), {}, {}});
  methods.push_back({"(c) bare zlib loop, 64 KiB, no CRC", bare(kLargeBuffer, Crc::None), {}, {}});
  methods.push_back({"(d) (b) + CRC one lookup per byte", bare(4096, Crc::Bytewise), {}, {}});
  methods.push_back({"(e) (b) + the storages' CRC", bare(4096, Crc::Storages), {}, {}});

  // Every method must give the module back before its time counts.
  for (Method& m : methods) {
    std::size_t ignored = 0;
    TimeOnce(m, packagePath, outPath, &ignored);
    if (ReadFile(outPath) != module) {
      std::fprintf(stderr, "inflate_bench: %s decoded wrong bytes\n", m.label);
      return 1;
    }
    if (m.label[1] >= 'd' && lastCrc != moduleCrc) {
      std::fprintf(stderr, "inflate_bench: %s computed a wrong CRC\n", m.label);
      return 1;
    }
  }
  // Rounds with a rotating order, so that no method always runs first.
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t i = 0; i < methods.size(); ++i) {
      Method& m = methods[(i + static_cast<std::size_t>(round)) % methods.size()];
      double wall = 0;
      m.seconds.push_back(TimeOnce(m, packagePath, outPath, &m.peakLarge, &wall));
      m.wallSeconds.push_back(wall);
      TimeOnce(m, smallPackagePath, outPath, &m.peakSmall);
    }
  }
  fs::remove_all(dir);

  const double mb = static_cast<double>(module.size()) / 1e6;
  std::printf("corpus: %.2f MB from %d PE DLLs and %d ELF libraries; package %.2f MB (ratio %.3f)\n",
              mb, peFiles, elfFiles, static_cast<double>(package.size()) / 1e6,
              static_cast<double>(package.size()) / static_cast<double>(module.size()));
  std::printf("%d rounds, medians of CPU time (wall time), MB/s of decoded output by CPU time;\n"
              "peak heap per run for a %.2f MB and the %.2f MB module\n",
              rounds, static_cast<double>(kSmallModuleBytes) / 1e6, mb);
  for (const Method& m : methods) {
    const double t = Median(m.seconds);
    std::printf("  %-42s %7.2f ms (%7.2f) %7.1f MB/s   heap %6zu / %6zu bytes\n", m.label, t * 1e3,
                Median(m.wallSeconds) * 1e3, mb / t, m.peakSmall, m.peakLarge);
  }
  const double a = Median(methods[0].seconds);
  const double b = Median(methods[1].seconds);
  const double c = Median(methods[2].seconds);
  const double d = Median(methods[3].seconds);
  const double e = Median(methods[4].seconds);
  std::printf("time ratios: (b)/(a) = %.3f  (target >= 0.97)\n", b / a);
  std::printf("             (c)/(a) = %.3f  (d)/(b) = %.3f  (e)/(b) = %.3f\n", c / a, d / b, e / b);
  // The same ratios taken within each round, where the two runs are moments
  // apart, then their median: steadier when the machine's speed drifts.
  const auto pairedMedian = [&methods](std::size_t over, std::size_t under) {
    std::vector<double> ratios;
    for (std::size_t r = 0; r < methods[over].seconds.size(); ++r) {
      ratios.push_back(methods[over].seconds[r] / methods[under].seconds[r]);
    }
    return Median(ratios);
  };
  std::printf("per-round ratios, median: (b)/(a) = %.3f  (e)/(b) = %.3f\n", pairedMedian(1, 0), pairedMedian(4, 1));
  std::printf("the storages' CRC: %s\n",
              Crc32DispatchForm() == Crc32Form::Folding ? "carry-less-multiply folding" : "slicing-by-16");
  bool flat = true;
  for (const Method& m : methods) flat = flat && m.peakLarge == m.peakSmall;
  std::printf("peak heap independent of module size: %s\n", flat ? "yes" : "NO");
  return 0;
}
