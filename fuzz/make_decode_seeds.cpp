// Writes the decode fuzzer's seed corpus into the folder named on the command
// line: module-like data compressed in several ways, with the run shapes of
// the input header varied, plus some damaged and cut streams.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/deflate_streams.h"

int main(int argc, char** argv) {
  using namespace deflate_streams;
  if (argc != 2) {
    std::fputs("usage: make_decode_seeds FOLDER\n", stderr);
    return 2;
  }
  std::vector<Bytes> packages;
  for (const int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY, Z_RLE}) {
    for (const int level : {0, 6, 9}) {
      const int n = static_cast<int>(packages.size());
      const Bytes module = ModuleLike(200 + 700 * static_cast<std::size_t>(n % 5), static_cast<std::uint32_t>(n + 1));
      packages.push_back(Deflate(module, level, -9 - n % 7, strategy));
    }
  }
  packages.push_back(Concat(EmptyStoredBlocks(30), Deflate(ModuleLike(300, 77))));
  packages.emplace_back(packages[2].begin(), packages[2].begin() + static_cast<std::ptrdiff_t>(packages[2].size() / 2));
  packages.push_back(Bytes{0x07});
  for (std::size_t i = 0; i < packages.size(); ++i) {
    // The header of fuzz/decode_fuzz_input.h varies the run's shape and limits
    // the length to three quarters.
    const std::size_t limit = packages[i].size() * 3 / 4;
    const Bytes seed = Concat({static_cast<unsigned char>((i * 5) & 0x3F), static_cast<unsigned char>(limit & 0xFF),
                               static_cast<unsigned char>((limit >> 8) & 0xFF)},
                              packages[i]);
    const std::string path = std::string(argv[1]) + "/seed" + std::to_string(i);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file != nullptr && std::fwrite(seed.data(), 1, seed.size(), file) == seed.size();
    if (file == nullptr || std::fclose(file) != 0 || !written) {
      std::fprintf(stderr, "make_decode_seeds: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  std::printf("make_decode_seeds: %zu seeds in %s\n", packages.size(), argv[1]);
  return 0;
}
