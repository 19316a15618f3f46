// Writes the decode fuzzer's seed corpus into the folder named on the command
// line: module-like data compressed in several ways, with the run shapes of
// the input header varied, plus some damaged and cut streams.
#include <cstdio>
#include <string>

#include "fuzz/decode_fuzz_input.h"
#include "tests/support/deflate_streams.h"

namespace {

using deflate_streams::Bytes;

bool WriteSeed(const std::string& dir, int number, std::uint8_t flags, std::uint16_t limit,
               const Bytes& package) {
  const std::string path = dir + "/seed" + std::to_string(number);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const unsigned char header[decode_fuzz::kHeaderSize] = {
      flags, static_cast<unsigned char>(limit & 0xFF), static_cast<unsigned char>(limit >> 8)};
  bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
  if (!package.empty()) ok = ok && std::fwrite(package.data(), 1, package.size(), f) == package.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_decode_seeds FOLDER\n", stderr);
    return 2;
  }
  const std::string dir = argv[1];
  std::vector<Bytes> packages;
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY, Z_RLE};
  int n = 0;
  for (int strategy : strategies) {
    for (int level : {0, 6, 9}) {
      const Bytes module = deflate_streams::ModuleLike(200 + 700 * static_cast<std::size_t>(n % 5), n + 1);
      packages.push_back(deflate_streams::Deflate(module, level, -9 - (n % 7), strategy));
      ++n;
    }
  }
  Bytes blocks = deflate_streams::EmptyStoredBlocks(30);
  const Bytes tail = deflate_streams::Deflate(deflate_streams::ModuleLike(300, 77));
  blocks.insert(blocks.end(), tail.begin(), tail.end());
  packages.push_back(blocks);
  packages.push_back(Bytes(packages[2].begin(), packages[2].begin() + packages[2].size() / 2));
  packages.push_back(Bytes{0x07});

  int number = 0;
  for (std::size_t i = 0; i < packages.size(); ++i) {
    const auto flags = static_cast<std::uint8_t>((i * 5) & 0x3F);
    const auto limit = static_cast<std::uint16_t>(packages[i].size() * 3 / 4);
    if (!WriteSeed(dir, number++, flags, limit, packages[i])) {
      std::fprintf(stderr, "make_decode_seeds: cannot write into %s\n", dir.c_str());
      return 1;
    }
  }
  std::printf("make_decode_seeds: %d seeds in %s\n", number, dir.c_str());
  return 0;
}
