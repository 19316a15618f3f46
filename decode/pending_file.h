#pragma once

#include <cstdint>
#include <string>

#include "storage/status_record.h"

// Decoding a package into a file that must never be seen half-written: the
// module of an installed component, or what `ppk unpack` writes.
//
// The decoded bytes go to a pending file beside the target (the target's
// name plus ".tmp": the same folder, so the move never crosses a volume),
// which reaches the disk before it replaces the target in one step. Until
// Replace succeeds the target is exactly as it was, also when the process
// is killed or the power fails on the way; the pending file is removed when
// the object goes away without a successful Replace.
//
//   ALPendingFile module("C:\\Verdanelle\\p0046.dll");
//   if (module.Decode("p0046.ppk", status) != 0) return ...;   // old module kept
//   ... look at module.PendingPath(), Size(), Crc32() ...
//   if (module.Replace(status) != 0) return ...;               // old module kept
class ALPendingFile {
 public:
  static constexpr const char* kSuffix = ".tmp";
  // The buffers of both storages, as the installer has always used them.
  static constexpr std::int32_t kBufferSize = 4096;

  // Why the last Decode or Replace failed, for a caller that tells the user.
  enum class Fault {
    None,
    PackageUnreadable,  // the package could not be opened or read
    DataDamaged,        // not a whole raw deflate stream
    DiskFull,           // no room left for the pending file
    WriteFailed,        // any other failure to create, write, sync or move
    TargetInUse,        // Replace: the target is open or mapped elsewhere
  };

  explicit ALPendingFile(const char* targetPath);
  // Removes the pending file unless Replace moved it into place.
  ~ALPendingFile();
  ALPendingFile(const ALPendingFile&) = delete;
  ALPendingFile& operator=(const ALPendingFile&) = delete;

  // Decodes the raw deflate package `packagePath`, opened read-only (the
  // package is never written), with the inflate decoder into a new pending
  // file (one left behind by a killed run is overwritten), which is then
  // written to disk and closed. Returns 0, with Size() and Crc32() telling
  // what was decoded. Otherwise returns the failing code, with its message
  // in `status`, and removes the pending file: the storages' errors (open,
  // read, write; a failed sync or close is StatusWriteFailed), the decoder's
  // (StatusDataError for damaged or incomplete data, StatusOutOfMemory), or
  // StatusOpenFailed when the package is the pending file itself.
  [[nodiscard]] int Decode(const char* packagePath, ALStatusRecord& status);

  // Moves the decoded file over the target in one step, written through.
  // Returns 0, or StatusRenameFailed with its message in `status` (also when
  // nothing was decoded), leaving the target as it was and the pending file
  // to the destructor, so that Replace may be tried again: LastFault() is
  // TargetInUse when another process holds the target (it may let go).
  [[nodiscard]] int Replace(ALStatusRecord& status);

  // What made the last Decode or Replace fail; None after a success.
  Fault LastFault() const { return fault; }

  const char* TargetPath() const { return target.c_str(); }
  const char* PendingPath() const { return pending.c_str(); }
  // Bytes decoded by the last successful Decode.
  std::uint32_t Size() const { return size; }
  // Standard CRC-32 of those bytes (the register inverted).
  std::uint32_t Crc32() const { return crc32; }

 private:
  // Removes the pending file if this object may have made it.
  void Discard();

  std::string target;
  std::string pending;
  bool pendingMade = false;
  std::uint32_t size = 0;
  std::uint32_t crc32 = 0;
  Fault fault = Fault::None;
};
