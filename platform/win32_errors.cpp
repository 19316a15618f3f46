// The Win32 error codes the Windows file layer meets, by number, so that the
// table builds and is tested on every OS; the Windows build checks the
// numbers against the system's headers.
#include <cstdint>

#include "platform/file_system.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

namespace {

struct ErrorPair {
  std::uint32_t win32;
  int errorNumber;
};

constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kTooManyOpenFiles = 4;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kNotEnoughMemory = 8;
constexpr std::uint32_t kOutOfMemory = 14;
constexpr std::uint32_t kInvalidDrive = 15;
constexpr std::uint32_t kWriteProtect = 19;
constexpr std::uint32_t kSharingViolation = 32;
constexpr std::uint32_t kLockViolation = 33;
constexpr std::uint32_t kHandleDiskFull = 39;
constexpr std::uint32_t kBadNetPath = 53;
constexpr std::uint32_t kFileExists = 80;
constexpr std::uint32_t kDiskFull = 112;
constexpr std::uint32_t kBadPathName = 161;
constexpr std::uint32_t kAlreadyExists = 183;
// A file mapped into some process's memory cannot be replaced.
constexpr std::uint32_t kUserMappedFile = 1224;

#ifdef _WIN32
static_assert(kFileNotFound == ERROR_FILE_NOT_FOUND && kPathNotFound == ERROR_PATH_NOT_FOUND &&
                  kTooManyOpenFiles == ERROR_TOO_MANY_OPEN_FILES && kAccessDenied == ERROR_ACCESS_DENIED &&
                  kNotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY && kOutOfMemory == ERROR_OUTOFMEMORY &&
                  kInvalidDrive == ERROR_INVALID_DRIVE && kWriteProtect == ERROR_WRITE_PROTECT &&
                  kSharingViolation == ERROR_SHARING_VIOLATION && kLockViolation == ERROR_LOCK_VIOLATION &&
                  kHandleDiskFull == ERROR_HANDLE_DISK_FULL && kBadNetPath == ERROR_BAD_NETPATH &&
                  kFileExists == ERROR_FILE_EXISTS && kDiskFull == ERROR_DISK_FULL &&
                  kBadPathName == ERROR_BAD_PATHNAME && kAlreadyExists == ERROR_ALREADY_EXISTS &&
                  kUserMappedFile == ERROR_USER_MAPPED_FILE,
              "Win32 error codes differ from the system's");
#endif

constexpr ErrorPair kErrorMap[] = {
    {kFileNotFound, kErrNoEntry},        {kPathNotFound, kErrNoEntry},
    {kInvalidDrive, kErrNoEntry},        {kBadNetPath, kErrNoEntry},
    {kBadPathName, kErrNoEntry},         {kAccessDenied, kErrAccess},
    {kSharingViolation, kErrAccess},     {kLockViolation, kErrAccess},
    {kWriteProtect, kErrAccess},         {kUserMappedFile, kErrAccess},
    {kFileExists, kErrExists},           {kAlreadyExists, kErrExists},
    {kTooManyOpenFiles, kErrTooManyOpenHere},
    {kNotEnoughMemory, kErrNoMemory},    {kOutOfMemory, kErrNoMemory},
    {kDiskFull, kErrNoSpace},            {kHandleDiskFull, kErrNoSpace},
};

}  // namespace

int ErrorNumberOfWin32Error(std::uint32_t code) {
  for (const ErrorPair& pair : kErrorMap) {
    if (pair.win32 == code) return pair.errorNumber;
  }
  return kErrInvalid;
}

}  // namespace platform
