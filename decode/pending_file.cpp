#include "decode/pending_file.h"

#include <cctype>

#include "decode/inflate_decoder.h"
#include "platform/file_system.h"

namespace {

constexpr std::int32_t kWholeInput = -1;

// Paths compared as the file systems the installer writes to compare names.
bool SamePathText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::string::size_type i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool SameEntry(const std::string& a, const std::string& b) {
  return SamePathText(a, b) || platform::IsSameFile(a.c_str(), b.c_str());
}

}  // namespace

ALPendingFile::ALPendingFile(const char* targetPath, Protection protection)
    : target(targetPath != nullptr ? targetPath : ""), protection(protection) {}

ALPendingFile::~ALPendingFile() { Discard(); }

std::string ALPendingFile::PendingName(const std::string& path, int number, const char* suffix) {
  if (number == 0) return path + suffix;
  return path + "." + std::to_string(number) + suffix;
}

void ALPendingFile::RemoveLeftovers(const char* targetPath) {
  const std::string path = targetPath != nullptr ? targetPath : "";
  if (path.empty()) return;
  for (int number = 0; number < kNameCount; ++number) {
    static_cast<void>(platform::RemovePlainFile(PendingName(path, number).c_str()));
    static_cast<void>(platform::RemovePlainFile(PendingName(path, number, kAsideSuffix).c_str()));
  }
}

bool ALPendingFile::Clashes(const char* sourcePath) const {
  const std::string source = sourcePath != nullptr ? sourcePath : "";
  if (SameEntry(source, target)) return true;
  for (int number = 0; number < kNameCount; ++number) {
    if (SamePathText(source, PendingName(target, number)) || SamePathText(target, PendingName(source, number))) {
      return true;
    }
  }
  return false;
}

void ALPendingFile::Discard() {
  if (!pendingMade) return;
  if (held >= 0) {
    static_cast<void>(platform::RemoveOpen(held, pending.c_str()));
    platform::Close(held);
    held = -1;
  } else {
    static_cast<void>(platform::Remove(pending.c_str()));
  }
  pendingMade = false;
}

int ALPendingFile::Write(const char* sourcePath, const Producer& produce, ALStatusRecord& status) {
  Discard();
  pending.clear();
  size = 0;
  crc32 = 0;
  fault = Fault::None;
  // An input named as the target or as one of its pending names (or the
  // target as one of the input's) is a mistake of the caller.
  if (Clashes(sourcePath)) {
    fault = Fault::PackageUnreadable;
    return status.SetError(StatusOpenFailed, "File creation failure.  %s and %s are one file or its pending file",
                           sourcePath, target.c_str());
  }
  // Every leftover of a cut-off run goes; the first name that is free then
  // is taken. One that leads to the source (another name or link of it) is
  // neither.
  for (int number = 0; number < kNameCount; ++number) {
    const std::string name = PendingName(target, number);
    if (platform::IsSameFile(sourcePath, name.c_str())) continue;
    if (platform::RemovePlainFile(name.c_str()) == 0 && pending.empty()) pending = name;
  }
  if (pending.empty()) {
    fault = Fault::WriteFailed;
    return status.SetError(StatusOpenFailed, "File creation failure.  No free pending name beside %s",
                           target.c_str());
  }

  ALFileStorage output(pending.c_str(), kBufferSize, CaseInsensitive);
  output.createNew = 1;
  output.guarded = protection == Protection::AdministratorsOnly ? 1 : 0;
  if (output.Create(-1) != StatusOk) {
    fault = Fault::WriteFailed;
    return status.CopyFrom(output.status).code;
  }
  pendingMade = true;
  output.StartCrc32(0xFFFFFFFFu);
  if (produce(output, status) != StatusOk) {
    // The pending file's own failure first: the decoder may report a read
    // failure of the package instead, which came later.
    return Abandon(output, output.status.code < 0 ? FaultOf(output) : FaultOfProducer(status.code), status);
  }
  if (output.Commit() != StatusOk) return Abandon(output, FaultOf(output), status.CopyFrom(output.status));
  // Held on through a second handle once the storage lets go of its own.
  const int error = platform::Duplicate(output.handle, held);
  if (error != 0) {
    status.SetError(StatusWriteFailed, "Write failure on %s.  result = -1, errno = %d", pending.c_str(), error);
    return Abandon(output, Fault::WriteFailed, status);
  }
  if (output.Close() != StatusOk) return Abandon(output, FaultOf(output), status.CopyFrom(output.status));
  size = static_cast<std::uint32_t>(output.size);
  crc32 = ~output.crc;
  return StatusOk;
}

ALPendingFile::Fault ALPendingFile::FaultOf(const ALFileStorage& output) {
  return output.writeError == platform::kErrNoSpace        ? Fault::DiskFull
         : output.writeError == platform::kErrFileTooLarge ? Fault::OverLimit
                                                           : Fault::WriteFailed;
}

ALPendingFile::Fault ALPendingFile::FaultOfProducer(int code) {
  switch (code) {
    case StatusOpenFailed:
    case StatusReadFailed:
    case StatusSeekFailed: return Fault::PackageUnreadable;
    case StatusDataError: return Fault::DataDamaged;
    default: return Fault::WriteFailed;
  }
}

int ALPendingFile::Abandon(ALFileStorage& output, Fault why, const ALStatusRecord& status) {
  output.Close();
  Discard();
  fault = why;
  return status.code;
}

int ALPendingFile::Decode(const char* packagePath, std::int32_t sizeLimit, ALStatusRecord& status) {
  const auto inflate = [&](ALFileStorage& output, ALStatusRecord& result) {
    output.sizeLimit = sizeLimit;
    ALFileStorage input(packagePath, kBufferSize, CaseInsensitive);
    input.readOnly = 1;
    input.diskFileOnly = 1;
    ALInflateDecoder decoder;
    if (decoder.Decompress(input, output, kWholeInput) == StatusOk) return StatusOk;
    return result.CopyFrom(decoder.status).code;
  };
  return Write(packagePath, inflate, status);
}

int ALPendingFile::ReplaceMovingAside() {
  std::string aside;
  int error = platform::kErrExists;
  for (int number = 0; number < kNameCount && error == platform::kErrExists; ++number) {
    aside = PendingName(target, number, kAsideSuffix);
    // An earlier aside module still loaded keeps its name.
    if (platform::RemovePlainFile(aside.c_str()) != 0) continue;
    error = platform::Rename(target.c_str(), aside.c_str());
  }
  // Held open without leave to rename it: in use (or no free aside name).
  if (error != 0) return error;
  error = platform::MoveOpen(held, pending.c_str(), target.c_str());
  if (error != 0) {
    static_cast<void>(platform::Rename(aside.c_str(), target.c_str()));
    return error;
  }
  if (platform::RemovePlainFile(aside.c_str()) != 0) static_cast<void>(platform::RemoveAtRestart(aside.c_str()));
  return 0;
}

int ALPendingFile::Replace(ALStatusRecord& status) {
  fault = Fault::None;
  if (!pendingMade || held < 0) {
    fault = Fault::WriteFailed;
    return status.SetError(StatusRenameFailed, "Error renaming %s to %s.  errno = %d", pending.c_str(),
                           target.c_str(), platform::kErrNoEntry);
  }
  int error = platform::MoveOpen(held, pending.c_str(), target.c_str());
  // Windows refuses to replace a read-only file, a folder, and a module a
  // running program has loaded (it may be renamed, though).
  if (error == platform::kErrAccess) {
    error = platform::PrepareToReplace(target.c_str());
    if (error == 0) error = platform::MoveOpen(held, pending.c_str(), target.c_str());
    if (error == platform::kErrAccess) error = ReplaceMovingAside();
  }
  if (error != 0) {
    // Still refused access: another process has it open (the screensaver,
    // its settings or preview, a virus scanner).
    fault = error == platform::kErrAccess ? Fault::TargetInUse
            : error == platform::kErrNoSpace ? Fault::DiskFull
                                             : Fault::WriteFailed;
    return status.SetError(StatusRenameFailed, "Error renaming %s to %s.  errno = %d", pending.c_str(),
                           target.c_str(), error);
  }
  pendingMade = false;
  platform::Close(held);
  held = -1;
  return StatusOk;
}
