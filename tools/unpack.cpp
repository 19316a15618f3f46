#include "tools/unpack.h"

#include <cstdio>

#include "decode/inflate_decoder.h"
#include "platform/file_system.h"
#include "storage/file_storage.h"
#include "storage/null_storage.h"
#include "tools/package_names.h"
#include "tools/replace_file.h"

namespace ppk {
namespace {

// The installer's storages: 4096-byte buffers, names compared ignoring case.
constexpr std::int32_t kBufferSize = 4096;
constexpr std::int32_t kWholeInput = -1;

std::string MessageOf(const ALStatusRecord& status) {
  if (status.Text()) return status.Text();
  return "Decoding failed with status " + std::to_string(status.code) + ".";
}

}  // namespace

bool UnpackPackage(const std::string& packagePath, const std::string& modulePath,
                   std::string* message) {
  // "ppk unpack x.dll" would replace the package with what it decodes to.
  if (platform::IsSameFile(packagePath.c_str(), modulePath.c_str())) {
    *message = packagePath + " and " + modulePath + " are the same file.";
    return false;
  }
  const std::string tempPath = TemporaryNameBeside(modulePath);
  bool decoded;
  {
    ALFileStorage input(packagePath.c_str(), kBufferSize, CaseInsensitive);
    ALFileStorage output(tempPath.c_str(), kBufferSize, CaseInsensitive);
    ALInflateDecoder decoder;
    decoded = decoder.Decompress(input, output, kWholeInput) == 0;
    if (!decoded) *message = MessageOf(decoder.status);
  }  // both files are closed here, before the rename
  if (decoded && ReplaceFile(tempPath, modulePath, message)) return true;
  std::remove(tempPath.c_str());
  return false;
}

bool VerifyPackage(const std::string& packagePath, VerifyResult* result, std::string* message) {
  ALFileStorage input(packagePath.c_str(), kBufferSize, CaseInsensitive);
  ALNullStorage output("(verify)", kBufferSize);
  ALInflateDecoder decoder;
  if (decoder.Decompress(input, output, kWholeInput) != 0) {
    *message = MessageOf(decoder.status);
    return false;
  }
  result->size = output.bytesWritten;
  result->crc32 = ~output.crc;
  return true;
}

}  // namespace ppk
