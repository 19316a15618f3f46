#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

#include "platform/file_system.h"

// The error numbers the storage layer tests must mean the same here as in
// the Windows C runtime, so errno can pass through unchanged.
static_assert(ENOENT == platform::kErrNoEntry && EBADF == platform::kErrBadHandle && ENOMEM == platform::kErrNoMemory &&
                  EACCES == platform::kErrAccess && EEXIST == platform::kErrExists &&
                  EINVAL == platform::kErrInvalid && EISDIR == platform::kErrIsDirectory && ENFILE == platform::kErrTooManyOpen &&
                  EMFILE == platform::kErrTooManyOpenHere && EFBIG == platform::kErrFileTooLarge &&
                  ENOSPC == platform::kErrNoSpace,
              "errno values differ from the Windows C runtime's");

namespace platform {

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

// The folder `path` lies in, with its last separator, or "." for a bare name.
std::string FolderOf(const std::string& path) {
  const std::string::size_type slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

}  // namespace

int Open(const char* path, OpenMode mode, int& handle) {
  if (mode == OpenMode::ReadOnlyDiskFile) {
    // Not blocking: a pipe at the name must not hold the open up.
    handle = ::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) return errno == ELOOP ? EISDIR : errno;
    struct stat entry;
    if (::fstat(handle, &entry) == 0 && S_ISREG(entry.st_mode)) return 0;
    ::close(handle);
    handle = -1;
    return EISDIR;
  }
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::ReadWrite: flags |= O_RDWR; break;
    case OpenMode::ReadOnly: flags |= O_RDONLY; break;
    case OpenMode::CreateTruncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case OpenMode::CreateExclusive: flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW; break;
    // Others read and run it; the owner alone writes.
    case OpenMode::CreateGuarded: flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW; break;
    case OpenMode::ReadOnlyDiskFile: break;
  }
  handle = ::open(path, flags, mode == OpenMode::CreateGuarded ? 0644 : 0666);
  return handle < 0 ? errno : 0;
}

int Read(int handle, void* data, std::int32_t length, std::int32_t& count) {
  ssize_t result;
  do {
    result = ::read(handle, data, static_cast<std::size_t>(length));
  } while (result < 0 && errno == EINTR);
  count = static_cast<std::int32_t>(result);
  return result < 0 ? errno : 0;
}

int Write(int handle, const void* data, std::int32_t length, std::int32_t& count) {
  ssize_t result;
  do {
    result = ::write(handle, data, static_cast<std::size_t>(length));
  } while (result < 0 && errno == EINTR);
  count = static_cast<std::int32_t>(result);
  return result < 0 ? errno : 0;
}

int SeekFromStart(int handle, std::int32_t position) {
  return ::lseek(handle, static_cast<off_t>(position), SEEK_SET) < 0 ? errno : 0;
}

int Close(int handle) { return ::close(handle) < 0 ? errno : 0; }

int Duplicate(int handle, int& copy) {
  copy = ::fcntl(handle, F_DUPFD_CLOEXEC, 0);
  return copy < 0 ? errno : 0;
}

// Nothing holds a file here against a move by name.
int MoveOpen(int, const char* from, const char* to) { return RenameReplacing(from, to); }

int RemoveOpen(int, const char* path) { return ::unlink(path) < 0 ? errno : 0; }

int Sync(int handle) { return ::fsync(handle) < 0 ? errno : 0; }

int Length(int handle, std::int64_t& length) {
  struct stat info;
  if (::fstat(handle, &info) < 0) return errno;
  length = static_cast<std::int64_t>(info.st_size);
  return 0;
}

int Stat(const char* path, FileInfo& info) {
  struct stat status;
  if (::stat(path, &status) < 0) return errno;
  info = FileInfo{};
  info.size = static_cast<std::int64_t>(status.st_size);
  std::tm local;
  const std::time_t modified = status.st_mtime;
  if (::localtime_r(&modified, &local) == nullptr) return 0;
  info.hasLocalTime = true;
  info.year = local.tm_year + 1900;
  info.month = local.tm_mon + 1;
  info.day = local.tm_mday;
  info.hour = local.tm_hour;
  info.minute = local.tm_min;
  info.second = local.tm_sec;
  return 0;
}

int Remove(const char* path) { return ::unlink(path) < 0 ? errno : 0; }

int RemovePlainFile(const char* path) {
  struct stat entry;
  if (::lstat(path, &entry) < 0) return errno == ENOENT ? 0 : errno;
  if (!S_ISREG(entry.st_mode) || entry.st_nlink != 1) return EEXIST;
  // unlink never follows a link, so what is removed is at most the entry.
  if (::unlink(path) < 0) return errno == ENOENT ? 0 : errno;
  return 0;
}

bool IsPlainFile(const char* path) {
  struct stat entry;
  return ::lstat(path, &entry) == 0 && S_ISREG(entry.st_mode) && entry.st_nlink == 1;
}

int ReadPlainFile(const char* path, std::uint32_t maxBytes, std::vector<unsigned char>& bytes) {
  bytes.clear();
  // Not blocking: a fifo at the name must not hang the reader.
  const int file = ::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (file < 0) return errno == ELOOP ? EEXIST : errno;
  struct stat entry;
  int error = ::fstat(file, &entry) < 0 ? errno : 0;
  if (error == 0 && (!S_ISREG(entry.st_mode) || entry.st_nlink != 1)) error = EEXIST;
  // Made by this user (or root), or by whoever owns the folder.
  if (error == 0 && entry.st_uid != ::geteuid() && entry.st_uid != 0) {
    struct stat owner;
    if (::stat(FolderOf(path).c_str(), &owner) < 0 || owner.st_uid != entry.st_uid) error = EACCES;
  }
  if (error == 0 && static_cast<std::uint64_t>(entry.st_size) > maxBytes) error = EFBIG;
  if (error == 0) {
    bytes.resize(static_cast<std::size_t>(entry.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t count = ::read(file, bytes.data() + done, bytes.size() - done);
      if (count < 0 && errno == EINTR) continue;
      if (count < 0) {
        error = errno;
        break;
      }
      if (count == 0) break;
      done += static_cast<std::size_t>(count);
    }
    bytes.resize(error == 0 ? done : 0);
  }
  ::close(file);
  return error;
}

// Nothing keeps a file from being removed here.
int RemoveAtRestart(const char*) { return kErrInvalid; }

int PrepareToReplace(const char* path) {
  struct stat entry;
  if (::lstat(path, &entry) < 0) return errno == ENOENT ? 0 : errno;
  // A read-only file is replaced all the same: the folder decides.
  return S_ISREG(entry.st_mode) ? 0 : EISDIR;
}

int Rename(const char* from, const char* to) {
  // POSIX rename replaces an existing target; the Windows one refuses, and
  // the storage layer's rename steps are written for the refusal.
#if defined(__linux__) && defined(RENAME_NOREPLACE)
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
  struct stat target;
  if (::lstat(to, &target) == 0) return EEXIST;
  return ::rename(from, to) < 0 ? errno : 0;
}

int RenameReplacing(const char* from, const char* to) {
  if (::rename(from, to) < 0) return errno;
  // The move is an entry of the folder: sync the folder as well.
  const int directory = ::open(FolderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory < 0) return errno;
  const int error = ::fsync(directory) < 0 ? errno : 0;
  ::close(directory);
  return error;
}

bool IsSameFile(const char* first, const char* second) {
  struct stat a;
  struct stat b;
  if (::stat(first, &a) < 0 || ::stat(second, &b) < 0) return false;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int MakeDirectory(const char* path) { return ::mkdir(path, 0777) < 0 ? errno : 0; }

int GetAttributes(const char* path, std::uint16_t& flags) {
  struct stat status;
  if (::stat(path, &status) < 0) return errno;
  flags = (status.st_mode & S_IWUSR) != 0 ? 0 : kAttrReadOnly;
  return 0;
}

int SetAttributes(const char* path, std::uint16_t flags) {
  struct stat status;
  if (::stat(path, &status) < 0) return errno;
  mode_t mode = status.st_mode & 07777;
  const bool readOnly = (flags & kAttrClearAll) == 0 && (flags & kAttrReadOnly) != 0;
  if (readOnly) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  return ::chmod(path, mode) < 0 ? errno : 0;
}

std::int32_t TimeZoneBiasSeconds() {
  const std::time_t now = std::time(nullptr);
  std::tm local;
  if (::localtime_r(&now, &local) == nullptr) return 0;
  return static_cast<std::int32_t>(-local.tm_gmtoff);
}

int SetLastWriteTime(int handle, std::uint16_t dosDate, std::uint16_t dosTime) {
  const unsigned day = dosDate & 31u;
  const unsigned month = (dosDate >> 5) & 15u;
  const unsigned year = 1980u + (dosDate >> 9);
  const unsigned hour = dosTime >> 11;
  const unsigned minute = (dosTime >> 5) & 63u;
  const unsigned second = (dosTime & 31u) * 2u;
  if (day < 1 || month < 1 || month > 12 || hour > 23 || minute > 59 || second > 59) {
    return kErrInvalid;
  }
  const std::int64_t seconds =
      DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<std::time_t>(seconds);
  times[1].tv_nsec = 0;
  return ::futimens(handle, times) < 0 ? errno : 0;
}

}  // namespace platform
