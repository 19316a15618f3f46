#include "decode/pending_file.h"

#include "decode/inflate_decoder.h"
#include "platform/file_system.h"
#include "storage/file_storage.h"

namespace {

constexpr std::int32_t kWholeInput = -1;

}  // namespace

ALPendingFile::ALPendingFile(const char* targetPath)
    : target(targetPath != nullptr ? targetPath : ""), pending(target + kSuffix) {}

ALPendingFile::~ALPendingFile() { Discard(); }

void ALPendingFile::Discard() {
  if (!pendingMade) return;
  static_cast<void>(platform::Remove(pending.c_str()));
  pendingMade = false;
}

int ALPendingFile::Decode(const char* packagePath, ALStatusRecord& status) {
  Discard();
  size = 0;
  crc32 = 0;
  fault = Fault::None;
  // Creating the pending file would empty the package itself.
  if (platform::IsSameFile(packagePath, pending.c_str())) {
    fault = Fault::PackageUnreadable;
    return status.SetError(StatusOpenFailed, "File creation failure.  %s is the package being decoded",
                           pending.c_str());
  }

  ALFileStorage input(packagePath, kBufferSize, CaseInsensitive);
  input.readOnly = 1;
  ALFileStorage output(pending.c_str(), kBufferSize, CaseInsensitive);
  // Created here rather than by the decoder, so that it is still open for
  // the sync once the decoder is done.
  pendingMade = true;
  output.Create(-1);
  ALInflateDecoder decoder;
  if (decoder.Decompress(input, output, kWholeInput) != StatusOk) {
    status.CopyFrom(decoder.status);
  } else if (output.Commit() != StatusOk || output.Close() != StatusOk) {
    status.CopyFrom(output.status);
  } else {
    size = static_cast<std::uint32_t>(output.size);
    crc32 = ~output.crc;
    return StatusOk;
  }
  output.Close();
  Discard();
  if (input.status.code < 0) {
    fault = Fault::PackageUnreadable;
  } else if (status.code == StatusDataError) {
    fault = Fault::DataDamaged;
  } else {
    fault = output.writeError == platform::kErrNoSpace ? Fault::DiskFull : Fault::WriteFailed;
  }
  return status.code;
}

int ALPendingFile::Replace(ALStatusRecord& status) {
  fault = Fault::None;
  if (!pendingMade) {
    fault = Fault::WriteFailed;
    return status.SetError(StatusRenameFailed, "Error renaming %s to %s.  errno = %d", pending.c_str(),
                           target.c_str(), platform::kErrNoEntry);
  }
  const int error = platform::RenameReplacing(pending.c_str(), target.c_str());
  if (error != 0) {
    // Refused access to a target the installer may write: another process
    // has it open or mapped (the screensaver, its settings or preview).
    fault = error == platform::kErrAccess ? Fault::TargetInUse
            : error == platform::kErrNoSpace ? Fault::DiskFull
                                             : Fault::WriteFailed;
    return status.SetError(StatusRenameFailed, "Error renaming %s to %s.  errno = %d", pending.c_str(),
                           target.c_str(), error);
  }
  pendingMade = false;
  return StatusOk;
}
