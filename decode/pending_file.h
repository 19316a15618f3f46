#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <string>

#include "storage/file_storage.h"
#include "storage/status_record.h"

// Writing a file that must never be seen half-written: the module of an
// installed component, what `ppk unpack` decodes, the package `ppk pack`
// makes. The one way in this code base to "write to a pending file, sync,
// move into place".
//
// The bytes go to a pending file beside the target (the same folder, so the
// move never crosses a volume), which reaches the disk before it replaces
// the target in one step. Until Replace succeeds the target is exactly as it
// was, also when the process is killed or the power fails on the way.
//
// The folder may be writable by others, so the pending file is always a new
// entry: the first of the names "<target>.tmp", "<target>.1.tmp" ..
// "<target>.9.tmp" that nothing has. Only a file this object created is
// written or moved. The one exception to "never remove what this object
// did not make" are leftovers of a run that was cut off (killed, or the
// power failed) before it could clean up: a plain file under one of the
// pending names or the aside names below is taken for one and removed,
// since nothing else makes files of those names in the target's folder.
// Anything else there (a link, a folder, a file with other links or held
// open, the source itself) is left alone.
//
// On Windows a module that a running program has loaded cannot be replaced
// or removed, but it can be renamed: Replace then moves it aside to the
// first free name of "<target>.old", "<target>.1.old" .. "<target>.9.old"
// (never a name ending in the target's own extension, which a program
// looking for modules would take for one), moves the new file into place,
// and removes the aside file at once if nothing holds it any more, or else
// has it removed when the system restarts; RemoveLeftovers removes it
// too, once it is let go.
//
//   ALPendingFile module("C:\\Verdanelle\\p0046.dll");
//   if (module.Decode("p0046.ppk", ALPendingFile::kNoLimit, status) != 0) return ...;
//   ... look at module.PendingPath(), Size(), Crc32() ...
//   if (module.Replace(status) != 0) return ...;               // old module kept
class ALPendingFile {
 public:
  static constexpr const char* kSuffix = ".tmp";
  // Names of a module moved aside by Replace.
  static constexpr const char* kAsideSuffix = ".old";
  // Names tried for the pending file, "<target>.tmp" being the first, and
  // for the aside file.
  static constexpr int kNameCount = 10;
  // The buffers of the storages, as the installer has always used them.
  static constexpr std::int32_t kBufferSize = ALFileStorage::kDefaultBufferSize;
  // No bound on the bytes written beyond what a file storage can address.
  static constexpr std::int32_t kNoLimit = INT32_MAX;

  // Puts the content into `output`, a created storage on the pending file
  // whose running CRC-32 has been started. Returns 0, or the failing code
  // with its message in `status`.
  using Producer = std::function<int(ALFileStorage& output, ALStatusRecord& status)>;

  // Why the last Decode or Replace failed, for a caller that tells the user.
  enum class Fault {
    None,
    PackageUnreadable,  // the package could not be opened or read
    DataDamaged,        // not a whole raw deflate stream
    DiskFull,           // no room left for the pending file
    WriteFailed,        // any other failure to create, write, sync or move,
                        // and a target that is no plain file (a folder)
    TargetInUse,        // Replace: another process holds the target open
    OverLimit,          // Decode: more bytes than the size limit allows
  };

  // Who may change the pending file, and so the target it becomes.
  enum class Protection {
    Ordinary,            // as any new file in its folder
    AdministratorsOnly,  // only administrators and SYSTEM may ever write,
                         // rename or delete it (Windows); others read it
  };

  explicit ALPendingFile(const char* targetPath, Protection protection = Protection::Ordinary);
  // Removes the pending file unless Replace moved it into place.
  ~ALPendingFile();
  ALPendingFile(const ALPendingFile&) = delete;
  ALPendingFile& operator=(const ALPendingFile&) = delete;

  // Creates a new pending file, lets `produce` fill it from `sourcePath`
  // (which is only read: it is never created, written or removed here), and
  // writes it to disk. Leftovers at the other pending names are removed on
  // the way. The pending file stays open (Held()) until Replace moves it
  // into place or it is removed: meanwhile others may read it but neither
  // write, rename nor delete it, so that what is checked of it is what goes
  // into place. Returns 0, with Size() and Crc32() telling what
  // was written. Otherwise returns the failing code, with its message in
  // `status`, and removes the pending file: StatusOpenFailed when the
  // source is the target or is named as one of its pending names (or the
  // target as one of the source's), or when no free name is left; the
  // storage's errors (create, write; a failed sync or close is
  // StatusWriteFailed); or the producer's.
  [[nodiscard]] int Write(const char* sourcePath, const Producer& produce, ALStatusRecord& status);

  // Write with the inflate decoder on the raw deflate package `packagePath`
  // (opened read-only, and only when it is a file on a disk at that name
  // itself: never through a link, never a folder, device or pipe). The pending file holds at most `sizeLimit` bytes:
  // decoding ends, failing with StatusWriteFailed (errno 27), at the first
  // buffer that would carry it past. Other failures as Write, and the
  // decoder's (StatusDataError for damaged or incomplete data,
  // StatusOutOfMemory).
  [[nodiscard]] int Decode(const char* packagePath, std::int32_t sizeLimit, ALStatusRecord& status);

  // Moves the written file over the target in one step, written through
  // (the held file itself, whatever has its name by then).
  // A read-only target is replaced too (its attribute cleared first), and
  // one that a program has loaded is moved aside (see above). Returns 0, or
  // StatusRenameFailed with its message in `status` (also when nothing was
  // written), leaving the target as it was and the pending file to the
  // destructor, so that Replace may be tried again: LastFault() is
  // TargetInUse when another process holds the target open (it may let
  // go), WriteFailed when no retry can help (a folder has the target's name).
  [[nodiscard]] int Replace(ALStatusRecord& status);

  // Name number `number` of the pending (or, with kAsideSuffix, aside)
  // files of `path`.
  [[nodiscard]] static std::string PendingName(const std::string& path, int number, const char* suffix = kSuffix);

  // Removes what a cut-off run may have left beside `targetPath`: plain
  // files at its pending and aside names (see above), nothing else. One
  // that cannot go yet (an aside module still loaded) stays.
  static void RemoveLeftovers(const char* targetPath);

  // The pending file, open for reading (as platform handles go) from a
  // successful Write until Replace or the destructor; -1 otherwise. Not to
  // be closed by the caller.
  int Held() const { return held; }

  // What made the last Write, Decode or Replace fail; None after a success.
  Fault LastFault() const { return fault; }

  const char* TargetPath() const { return target.c_str(); }
  // The pending file's name; "" until Write has created one.
  const char* PendingPath() const { return pending.c_str(); }
  // Bytes written by the last successful Write.
  std::uint32_t Size() const { return size; }
  // Standard CRC-32 of those bytes (the register inverted).
  std::uint32_t Crc32() const { return crc32; }

 private:
  // Moves the held target aside and the written file into its place; 0 or
  // the error number of the move that failed.
  int ReplaceMovingAside();
  // Why writing `output` failed, from the error behind it.
  static Fault FaultOf(const ALFileStorage& output);
  // Why a producer failed that left the pending file sound, from its code:
  // the package could not be opened or read, or was damaged; anything else
  // counts as a failed write.
  static Fault FaultOfProducer(int code);
  // Closes `output`, removes the pending file, notes `why` and hands back
  // the code of `status`.
  int Abandon(ALFileStorage& output, Fault why, const ALStatusRecord& status);
  // True when writing the target from `sourcePath` could touch the source.
  bool Clashes(const char* sourcePath) const;
  // Removes the pending file if this object created it.
  void Discard();

  std::string target;
  std::string pending;
  Protection protection;
  bool pendingMade = false;
  int held = -1;
  std::uint32_t size = 0;
  std::uint32_t crc32 = 0;
  Fault fault = Fault::None;
};
