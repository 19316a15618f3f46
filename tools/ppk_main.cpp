// ppk: makes, unpacks and checks component packages.
//
//   ppk pack MODULE [PACKAGE]     default PACKAGE: MODULE's base name + .ppk;
//                                 prints the module's size and CRC-32
//   ppk unpack PACKAGE [MODULE]   default MODULE: PACKAGE's base name + .dll
//   ppk verify PACKAGE [--size N --crc X]
//                                 prints the decoded size and CRC-32; with
//                                 --size and --crc (hexadecimal), fails
//                                 unless the package decodes to exactly those
//   ppk inspect MODULE|PACKAGE    prints what the installer would register
//                                 (a package: a name ending in .ppk), or why
//                                 it would refuse the module (exit code 1)
//
// Exit codes: 0 success, 1 failure (message on standard error; for inspect
// also a module the installer would refuse, said on standard output), 2 bad
// arguments. Output is UTF-8. The build uses `ppk pack` to make packages and reads the line
// it prints, so that line stays as it is:
//   <MODULE>: <size> bytes, CRC-32 <8 hex digits>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/inspect.h"
#include "tools/pack.h"
#include "tools/package_names.h"
#include "tools/unpack.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: ppk pack MODULE [PACKAGE] | ppk unpack PACKAGE [MODULE] | "
    "ppk verify PACKAGE [--size N --crc X] | ppk inspect MODULE|PACKAGE\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "ppk: %s\n", message.c_str());
  return kExitFailed;
}

void PrintFigures(const std::string& name, std::uint64_t size, std::uint32_t crc32) {
  std::printf("%s: %" PRIu64 " bytes, CRC-32 %08" PRIX32 "\n", name.c_str(), size, crc32);
}

// A whole number in `text` of the given base, within `limit`.
bool ParseNumber(const char* text, int base, std::uint64_t limit, std::uint64_t* value) {
  if (*text == '\0' || *text == '-' || *text == '+') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long parsed = std::strtoull(text, &end, base);
  if (errno != 0 || *end != '\0' || parsed > limit) return false;
  *value = parsed;
  return true;
}

int Verify(int argc, char** argv) {
  const std::string package = argv[2];
  std::uint64_t size = 0;
  std::uint64_t crc = 0;
  const bool check = argc == 7;
  if (check && !(std::strcmp(argv[3], "--size") == 0 && ParseNumber(argv[4], 10, UINT64_MAX, &size) &&
                 std::strcmp(argv[5], "--crc") == 0 && ParseNumber(argv[6], 16, UINT32_MAX, &crc))) {
    return Usage();
  }
  ppk::VerifyResult result;
  std::string message;
  if (!ppk::VerifyPackage(package, &result, &message)) return Fail(message);
  PrintFigures(package, result.size, result.crc32);
  if (check && (result.size != size || result.crc32 != crc)) {
    return Fail(package + " does not decode to the module expected (" + argv[4] + " bytes, CRC-32 " +
                argv[6] + ").");
  }
  return kExitOk;
}

int Inspect(const std::string& path) {
  std::vector<unsigned char> module;
  std::string message;
  if (!ppk::LoadModule(path, ppk::kMaxInspectedModuleSize, &module, &message)) return Fail(message);
  std::string report;
  const bool registered = ppk::InspectModule(path, module, &report);
  std::fputs(report.c_str(), stdout);
  return registered ? kExitOk : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  const std::string first = argv[2];
  std::string message;

  if (command == "pack" && argc <= 4) {
    const std::string package = argc == 4 ? argv[3] : ppk::DefaultPackageName(first);
    ppk::PackResult result;
    if (!ppk::PackModule(first, package, &result, &message)) return Fail(message);
    PrintFigures(first, result.size, result.crc32);
    return kExitOk;
  }
  if (command == "unpack" && argc <= 4) {
    const std::string module = argc == 4 ? argv[3] : ppk::DefaultModuleName(first);
    if (!ppk::UnpackPackage(first, module, &message)) return Fail(message);
    return kExitOk;
  }
  if (command == "verify" && (argc == 3 || argc == 7)) return Verify(argc, argv);
  if (command == "inspect" && argc == 3) return Inspect(first);
  return Usage();
}
