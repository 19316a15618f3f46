// ppk: makes, unpacks and checks component packages.
//
//   ppk pack MODULE [PACKAGE]     default PACKAGE: MODULE's base name + .ppk
//   ppk unpack PACKAGE [MODULE]   default MODULE: PACKAGE's base name + .dll
//   ppk verify PACKAGE            prints the decoded size and CRC-32
//
// Exit codes: 0 success, 1 failure (message on standard error), 2 bad
// arguments. The build uses `ppk pack` to make packages, so this command line
// stays as it is.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/pack.h"
#include "tools/package_names.h"
#include "tools/unpack.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: ppk pack MODULE [PACKAGE] | ppk unpack PACKAGE [MODULE] | ppk verify PACKAGE\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "ppk: %s\n", message.c_str());
  return kExitFailed;
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
    if (!ppk::PackModule(first, package, &message)) return Fail(message);
    return kExitOk;
  }
  if (command == "unpack" && argc <= 4) {
    const std::string module = argc == 4 ? argv[3] : ppk::DefaultModuleName(first);
    if (!ppk::UnpackPackage(first, module, &message)) return Fail(message);
    return kExitOk;
  }
  if (command == "verify" && argc == 3) {
    ppk::VerifyResult result;
    if (!ppk::VerifyPackage(first, &result, &message)) return Fail(message);
    std::printf("%s: %" PRIu64 " bytes, CRC-32 %08" PRIX32 "\n", first.c_str(), result.size,
                result.crc32);
    return kExitOk;
  }
  return Usage();
}
