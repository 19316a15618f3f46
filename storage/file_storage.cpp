#include "storage/file_storage.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/file_system.h"

namespace {

// Room for "~al~%03d.tmp" of any int, terminator included.
constexpr std::size_t kTempNameBufferSize = 32;
// Julian day number of 1970-01-01.
constexpr std::int64_t kUnixEpochJdn = 2440588;
// The years a DOS date can hold.
constexpr std::int64_t kFirstDosYear = 1980;
constexpr std::int64_t kLastDosYear = 2107;

bool HasSeparator(const char* text) { return std::strpbrk(text, "/\\") != nullptr; }

std::int32_t ClampToInt32(std::int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

}  // namespace

ALFileStorage::ALFileStorage(const char* nameText, std::int32_t bufferBytes, ALCaseMode caseMode)
    : ALStorage(nameText, bufferBytes, kTypeCode, caseMode), handle(-1), writeError(0) {}

ALFileStorage::~ALFileStorage() {
  if (handle != -1) Close();
}

int ALFileStorage::Open() {
  if (status.code < 0) return status.code;
  int error = 0;
  if (diskFileOnly != 0) {
    error = platform::Open(name.GetName(), platform::OpenMode::ReadOnlyDiskFile, handle);
  } else {
    if (readOnly == 0) error = platform::Open(name.GetName(), platform::OpenMode::ReadWrite, handle);
    // A read-only file (access denied for writing) is still readable.
    if (readOnly != 0 || error == platform::kErrAccess) {
      error = platform::Open(name.GetName(), platform::OpenMode::ReadOnly, handle);
    }
  }
  if (handle == -1) {
    return status.SetError(StatusOpenFailed, "File open failure.  Open of %s returned errno = %d",
                           name.GetName(), error);
  }
  // A failed allocation shows in the status at the end.
  ALStorage::Open();
  platform::FileInfo info;
  error = platform::Stat(name.GetName(), info);
  if (error != 0) {
    return status.SetError(StatusOpenFailed,
                           "Couldn't get time, date, and size information for %s.  errno = %d.",
                           name.GetName(), error);
  }
  size = ClampToInt32(info.size);
  timeDate = ALTimeStamp{};
  if (info.hasLocalTime) {
    timeDate.year = static_cast<std::int16_t>(info.year);
    timeDate.month = static_cast<std::int16_t>(info.month);
    timeDate.day = static_cast<std::int16_t>(info.day);
    timeDate.hour = static_cast<std::int16_t>(info.hour);
    timeDate.minute = static_cast<std::int16_t>(info.minute);
    timeDate.second = static_cast<std::int16_t>(info.second);
  }
  ReadAttributes();
  return status.code < 0 ? status.code : 0;
}

int ALFileStorage::Create(std::int32_t unused) {
  ALStorage::Create(unused);
  if (status.code < 0) return status.code;
  int error = 0;
  if (name.GetName()[0] != '\0') {
    const platform::OpenMode mode = createNew == 0 ? platform::OpenMode::CreateTruncate
                                    : guarded != 0 ? platform::OpenMode::CreateGuarded
                                                   : platform::OpenMode::CreateExclusive;
    error = platform::Open(name.GetName(), mode, handle);
    // Missing folders are made once, then the file is tried again.
    if (error == platform::kErrNoEntry && HasSeparator(name.GetName()) && MakeDirectories() != 0) {
      error = platform::Open(name.GetName(), mode, handle);
    }
  } else {
    // Look for a free temporary name; names taken (or locked) are skipped.
    int number = 0;
    for (; number < kTempNameCount; ++number) {
      SetTempName(number);
      error = platform::Open(name.GetName(), platform::OpenMode::CreateExclusive, handle);
      if (error == 0) break;
      if (error == platform::kErrExists || error == platform::kErrAccess) continue;
      status.SetError(StatusOpenFailed, "Temporary file creation failure.  Open of %s returned errno = %d",
                      name.GetName(), error);
      name.SetName("");
      return status.code;
    }
    if (number == kTempNameCount) {
      status.SetError(StatusOpenFailed,
                      "Temporary file creation failure.  Tried 1000 times to open %s (or a name "
                      "something like that).",
                      name.GetName());
      name.SetName("");
      return status.code;
    }
  }
  if (handle == -1) {
    return status.SetError(StatusOpenFailed, "File creation failure.  Open of %s returned errno = %d",
                           name.GetName(), error);
  }
  return 0;
}

int ALFileStorage::Close() {
  if (handle == -1) return status.code;
  FlushBuffer();
  std::int64_t length = -1;
  size = platform::Length(handle, length) == 0 ? ClampToInt32(length) : -1;
  const bool stamp = created != 0 && timeDate.year != 0;
  if (stamp) StampTime();
  const int closeError = platform::Close(handle);
  handle = -1;
  if (closeError != 0 && status.code >= 0) {
    writeError = closeError;
    status.SetError(StatusWriteFailed, "Write failure on %s.  result = %d, errno = %d",
                    name.GetName(), -1, closeError);
  }
  ALStorage::Close();
  if (stamp) WriteAttributes();
  created = 0;
  return status.code;
}

int ALFileStorage::Commit() {
  if (handle == -1) return status.code;
  if (FlushBuffer() < 0) return status.code;
  const int error = platform::Sync(handle);
  if (error == 0) return 0;
  writeError = error;
  return status.SetError(StatusWriteFailed, "Write failure on %s.  result = %d, errno = %d",
                         name.GetName(), -1, error);
}

void ALFileStorage::StampTime() {
  // All in 64 bits, so dates after 2038 do not wrap; a date a DOS time stamp
  // cannot hold leaves the file's time alone.
  const std::int64_t year = timeDate.year;
  const std::int64_t month = timeDate.month;
  const std::int64_t day = timeDate.day;
  if (year < kFirstDosYear || year > kLastDosYear) return;

  // Local date to Julian day number, then to seconds since 1970.
  const std::int64_t a = (month - 14) / 12;
  const std::int64_t jdn = 1461 * (year + 4800 + a) / 4 + 367 * (month - 2 - 12 * a) / 12 -
                           3 * ((year + 4900 + a) / 100) / 4 + day - 32075;
  std::int64_t seconds = 0;
  if (jdn >= kUnixEpochJdn) {
    seconds = (((jdn - kUnixEpochJdn) * 24 + timeDate.hour) * 60 + timeDate.minute) * 60 + timeDate.second;
  }
  // Local to universal time, with the bias in force now.
  seconds += platform::TimeZoneBiasSeconds();
  if (seconds < 0) return;

  // Back to a civil date.
  const std::int64_t days = seconds / 86400;
  const std::int64_t rest = seconds % 86400;
  std::int64_t l = days + kUnixEpochJdn + 68569;
  const std::int64_t n = 4 * l / 146097;
  l = l - (146097 * n + 3) / 4;
  const std::int64_t i = 4000 * (l + 1) / 1461001;
  l = l - 1461 * i / 4 + 31;
  const std::int64_t j = 80 * l / 2447;
  const std::int64_t utcDay = l - 2447 * j / 80;
  l = j / 11;
  const std::int64_t utcMonth = j + 2 - 12 * l;
  const std::int64_t utcYear = 100 * (n - 49) + i + l;
  if (utcYear < kFirstDosYear || utcYear > kLastDosYear) return;

  const std::int64_t hour = rest / 3600;
  const std::int64_t minute = (rest % 3600) / 60;
  const std::int64_t second = rest % 60;
  const auto dosDate = static_cast<std::uint16_t>(utcDay + 32 * utcMonth + 512 * (utcYear - kFirstDosYear));
  const auto dosTime = static_cast<std::uint16_t>(2048 * hour + 32 * minute + second / 2);
  // Like the attributes, the stamp is best effort: Close reports only the
  // status.
  static_cast<void>(platform::SetLastWriteTime(handle, dosDate, dosTime));
}

int ALFileStorage::ReadAttributes() {
  std::uint16_t flags = 0;
  if (platform::GetAttributes(name.GetName(), flags) != 0) return StatusOpenFailed;
  constexpr std::uint16_t kFileBits = ALAttributeFlags::kReadOnly | ALAttributeFlags::kSystem |
                                      ALAttributeFlags::kHidden | ALAttributeFlags::kArchive |
                                      ALAttributeFlags::kClearAll;
  attributes.bits = static_cast<std::uint16_t>((attributes.bits & ~kFileBits) | (flags & ~ALAttributeFlags::kClearAll));
  return 0;
}

void ALFileStorage::WriteAttributes() {
  static_assert(ALAttributeFlags::kReadOnly == platform::kAttrReadOnly &&
                    ALAttributeFlags::kSystem == platform::kAttrSystem &&
                    ALAttributeFlags::kHidden == platform::kAttrHidden &&
                    ALAttributeFlags::kArchive == platform::kAttrArchive &&
                    ALAttributeFlags::kClearAll == platform::kAttrClearAll,
                "attribute bits differ between the layers");
  platform::SetAttributes(name.GetName(), attributes.bits);
}

int ALFileStorage::LoadBuffer(std::int32_t position) {
  if (status.code < 0) return status.code;
  if (filePosition != position) {
    const int result = MoveFilePointer(position);
    if (result != 0) return result;
    filePosition = position;
  }
  // filePosition is 32-bit: bytes beyond 2^31 - 1 cannot be addressed, so
  // loads stop there, and one that finds no room leaves the buffer as it is.
  const std::int32_t room = INT32_MAX - filePosition;
  if (room == 0) {
    return status.SetError(StatusReadFailed, "Read failure on %s.  errno = %d", name.GetName(),
                           platform::kErrFileTooLarge);
  }
  std::int32_t count = 0;
  const int error = platform::Read(handle, buffer.get(), bufferSize < room ? bufferSize : room, count);
  if (count == 0) return -1;
  if (count < 0) {
    return status.SetError(StatusReadFailed, "Read failure on %s.  errno = %d", name.GetName(), error);
  }
  return LoadFinished(count);
}

int ALFileStorage::FlushBuffer() {
  if (status.code < 0) return status.code;
  if (writeCount != 0) {
    // filePosition is 32-bit: refuse to write what it could not address,
    // and what the caller said the file can never hold.
    const std::int32_t limit = sizeLimit < 0 ? 0 : sizeLimit;
    if (filePosition > limit || writeCount > limit - filePosition) {
      writeError = platform::kErrFileTooLarge;
      return status.SetError(StatusWriteFailed, "Write failure on %s.  result = %d, errno = %d",
                             name.GetName(), -1, platform::kErrFileTooLarge);
    }
    BeforeFlush();
    std::int32_t written = 0;
    const int error = platform::Write(handle, buffer.get(), writeCount, written);
    if (written != writeCount) {
      // A disk file written short without an error: the disk is full.
      writeError = error != 0 ? error : platform::kErrNoSpace;
      return status.SetError(StatusWriteFailed, "Write failure on %s.  result = %d, errno = %d",
                             name.GetName(), written, writeError);
    }
  }
  return FlushFinished();
}

int ALFileStorage::Seek(std::int32_t position) {
  FlushBuffer();
  if (status.code < 0) return status.code;
  if (filePosition != position) {
    const int result = MoveFilePointer(position);
    if (result != 0) return result;
  }
  filePosition = position;
  return 0;
}

int ALFileStorage::MoveFilePointer(std::int32_t position) {
  const int error = platform::SeekFromStart(handle, position);
  if (error == 0) return 0;
  return status.SetError(StatusSeekFailed, "Seek failure on %s.  errno = %d", name.GetName(), error);
}

int ALFileStorage::Rename(const char* newName, int deleteTarget) {
  const char* source = newName != nullptr ? name.GetName() : name.GetOldName();
  const char* target = newName != nullptr ? newName : name.GetName();
  if (deleteTarget != 0) {
    if (name.SameName(target, source)) {
      return status.SetError(StatusRenameFailed,
                             "Error attempting to rename %s to %s.  Can't rename to the same name!",
                             source, target);
    }
    // On a file system that ignores case, a target differing only in case
    // is the source itself: deleting it would lose the file.
    const int error = platform::IsSameFile(target, source) ? 0 : platform::Remove(target);
    if (error != 0 && error != platform::kErrNoEntry) {
      return status.SetError(StatusRenameFailed, "Error deleting %s before renaming %s.  errno = %d",
                             target, source, error);
    }
  }
  const int error = platform::Rename(source, target);
  if (error != 0) {
    return status.SetError(StatusRenameFailed, "Error renaming %s to %s.  errno = %d", source, target,
                           error);
  }
  if (newName != nullptr) name.SetName(newName);
  return 0;
}

int ALFileStorage::RenameBack(int deleteTarget) {
  const char* current = name.GetName();
  const char* old = name.GetOldName();
  // Without an old name there is nowhere to go back to; swapping would
  // leave the storage nameless.
  if (old[0] == '\0') {
    return status.SetError(StatusRenameFailed, "Error renaming %s to %s.  errno = %d", current, old,
                           platform::kErrNoEntry);
  }
  if (deleteTarget != 0) {
    const int error = platform::Remove(old);
    if (error != 0 && error != platform::kErrNoEntry) {
      return status.SetError(StatusRenameFailed, "Error deleting %s before renaming %s.  errno = %d", old,
                             current, error);
    }
  }
  // A file that is not there any more counts as moved back.
  const int error = platform::Rename(current, old);
  if (error != 0 && error != platform::kErrNoEntry) {
    return status.SetError(StatusRenameFailed, "Error renaming %s to %s.  errno = %d", current, old, error);
  }
  name.SwapNames();
  return 0;
}

int ALFileStorage::RenameToBak(int deleteTarget) {
  name.ChangeExtension(".bak");
  return Rename(nullptr, deleteTarget);
}

int ALFileStorage::Delete() {
  const int error = platform::Remove(name.GetName());
  if (error != 0) {
    return status.SetError(StatusDeleteFailed, "Error deleting file %s, errno = %d ", name.GetName(), error);
  }
  return 0;
}

std::unique_ptr<ALStorage> ALFileStorage::NewStorage(const char* newName, std::int32_t storageType) {
  if (storageType != -1 && storageType != kTypeCode) return nullptr;
  return std::unique_ptr<ALStorage>(
      new (std::nothrow) ALFileStorage(newName, kDefaultBufferSize, CaseInsensitive));
}

void ALFileStorage::SetTempName(int number) {
  char temp[kTempNameBufferSize];
  std::snprintf(temp, sizeof temp, "~al~%03d.tmp", number);
  name.SetName(temp);
}

int ALFileStorage::MakeDirectories() {
  const char* current = name.GetName();
  const std::size_t length = std::strlen(current);
  if (length == 0) return 0;
  std::unique_ptr<char[]> path(new (std::nothrow) char[length + 1]);
  if (!path) return 0;
  std::memcpy(path.get(), current, length + 1);
  // Make each folder along the path; those that exist (or are drive names,
  // or the empty prefix of a leading separator) fail harmlessly.
  for (char* rest = path.get();;) {
    char* separator = std::strpbrk(rest, "/\\");
    if (separator == nullptr) return 1;
    const char saved = *separator;
    *separator = '\0';
    const int error = platform::MakeDirectory(path.get());
    *separator = saved;
    if (error != 0 && error != platform::kErrAccess && error != platform::kErrExists &&
        error != platform::kErrTooManyOpen && error != platform::kErrNoEntry) {
      return 0;
    }
    if (separator[1] == '\0') return 0;
    rest = separator + 1;
  }
}
