#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <direct.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/file_system.h"

namespace platform {

namespace {

// The C runtime's error number for a failed Win32 call.
int ErrorNumberOfLastError() { return ErrorNumberOfWin32Error(GetLastError()); }

// Closes a Win32 file handle on every way out, unless it was handed on.
class FileHandle {
 public:
  explicit FileHandle(HANDLE value) : value(value) {}
  ~FileHandle() {
    if (value != INVALID_HANDLE_VALUE && value != nullptr) CloseHandle(value);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  // The handle, no longer closed here.
  HANDLE Release() {
    const HANDLE released = value;
    value = INVALID_HANDLE_VALUE;
    return released;
  }
  HANDLE value;
};

// A C runtime handle for `file`, which then owns it; 0 with it in `handle`,
// or kErrTooManyOpenHere and -1, `file` closed.
int HandOver(FileHandle& file, int flags, int& handle) {
  handle = _open_osfhandle(reinterpret_cast<intptr_t>(file.value), flags);
  if (handle < 0) return kErrTooManyOpenHere;
  file.Release();
  return 0;
}

struct AttributePair {
  std::uint16_t flag;
  DWORD attribute;
};
// Note the crossing of system and hidden.
constexpr AttributePair kAttributeMap[] = {
    {kAttrReadOnly, FILE_ATTRIBUTE_READONLY},
    {kAttrSystem, FILE_ATTRIBUTE_SYSTEM},
    {kAttrHidden, FILE_ATTRIBUTE_HIDDEN},
    {kAttrArchive, FILE_ATTRIBUTE_ARCHIVE},
};

}  // namespace

namespace {

// Opens the entry `path` itself for reading, when it is a file on a disk
// found under its own name; see OpenMode::ReadOnlyDiskFile.
int OpenDiskFile(const char* path, int& handle);

// Room for a path in wide characters, terminator included; longer final
// paths are not compared and count as different.
constexpr DWORD kPathBufferSize = 1024;

// Only administrators and SYSTEM may do anything but read and run it.
constexpr char kAdministratorsWrite[] = "O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";

// Makes a new file that others may only read while it is open, with the
// administrators-only DACL when `guarded`; see OpenMode::CreateExclusive.
int CreateNew(const char* path, bool guarded, int& handle) {
  handle = -1;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  if (guarded && !ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdministratorsWrite, SDDL_REVISION_1,
                                                                     &attributes.lpSecurityDescriptor, nullptr)) {
    return ErrorNumberOfLastError();
  }
  FileHandle file(CreateFileA(path, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                              guarded ? &attributes : nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  const int error = file.value == INVALID_HANDLE_VALUE ? ErrorNumberOfLastError() : 0;
  LocalFree(attributes.lpSecurityDescriptor);
  if (error != 0) return error;
  return HandOver(file, _O_RDWR | _O_BINARY, handle);
}

HANDLE OsHandle(int handle) { return reinterpret_cast<HANDLE>(_get_osfhandle(handle)); }

}  // namespace

int Open(const char* path, OpenMode mode, int& handle) {
  if (mode == OpenMode::ReadOnlyDiskFile) return OpenDiskFile(path, handle);
  if (mode == OpenMode::CreateExclusive || mode == OpenMode::CreateGuarded) {
    return CreateNew(path, mode == OpenMode::CreateGuarded, handle);
  }
  int flags = _O_BINARY | _O_NOINHERIT;
  switch (mode) {
    case OpenMode::ReadWrite: flags |= _O_RDWR; break;
    case OpenMode::ReadOnly: flags |= _O_RDONLY; break;
    case OpenMode::CreateTruncate: flags |= _O_RDWR | _O_CREAT | _O_TRUNC; break;
    default: break;
  }
  handle = _sopen(path, flags, _SH_DENYNO, _S_IREAD | _S_IWRITE);
  return handle < 0 ? errno : 0;
}

int Read(int handle, void* data, std::int32_t length, std::int32_t& count) {
  count = _read(handle, data, static_cast<unsigned>(length));
  return count < 0 ? errno : 0;
}

// Through the OS handle: the C runtime turns a write that the disk cut
// short into a failure with an error number that does not say so.
int Write(int handle, const void* data, std::int32_t length, std::int32_t& count) {
  count = -1;
  const intptr_t os = _get_osfhandle(handle);
  if (os == -1) return kErrInvalid;
  DWORD written = 0;
  if (!WriteFile(reinterpret_cast<HANDLE>(os), data, static_cast<DWORD>(length), &written, nullptr)) {
    // A handle not opened for writing, as the C runtime says it.
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED ? kErrBadHandle : ErrorNumberOfWin32Error(error);
  }
  count = static_cast<std::int32_t>(written);
  return 0;
}

int SeekFromStart(int handle, std::int32_t position) {
  return _lseek(handle, position, SEEK_SET) < 0 ? errno : 0;
}

int Close(int handle) { return _close(handle) < 0 ? errno : 0; }

int Duplicate(int handle, int& copy) {
  copy = -1;
  HANDLE duplicate = INVALID_HANDLE_VALUE;
  const HANDLE process = GetCurrentProcess();
  if (OsHandle(handle) == INVALID_HANDLE_VALUE ||
      !DuplicateHandle(process, OsHandle(handle), process, &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return kErrInvalid;
  }
  FileHandle held(duplicate);
  return HandOver(held, _O_RDONLY | _O_BINARY, copy);
}

int MoveOpen(int handle, const char* /*from*/, const char* to) {
  const HANDLE file = OsHandle(handle);
  wchar_t target[kPathBufferSize] = {};
  const int length = MultiByteToWideChar(CP_ACP, 0, to, -1, target, kPathBufferSize);
  if (file == INVALID_HANDLE_VALUE || length <= 1) return kErrInvalid;
  // The structure ends in the name, without its terminator.
  const DWORD size = static_cast<DWORD>(offsetof(FILE_RENAME_INFO, FileName) + (length - 1) * sizeof(wchar_t));
  std::vector<unsigned char> block(size + sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(block.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>((length - 1) * sizeof(wchar_t));
  std::memcpy(rename->FileName, target, rename->FileNameLength);
  if (!SetFileInformationByHandle(file, FileRenameInfo, rename, size)) return ErrorNumberOfLastError();
  // The move reaches the disk with the file's metadata.
  return FlushFileBuffers(file) ? 0 : ErrorNumberOfLastError();
}

int RemoveOpen(int handle, const char* /*path*/) {
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = TRUE;
  const HANDLE file = OsHandle(handle);
  if (file == INVALID_HANDLE_VALUE ||
      !SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition)) {
    return ErrorNumberOfLastError();
  }
  return 0;
}

int Sync(int handle) {
  const intptr_t os = _get_osfhandle(handle);
  if (os == -1) return kErrInvalid;
  if (FlushFileBuffers(reinterpret_cast<HANDLE>(os)) != 0) return 0;
  return ErrorNumberOfLastError();
}

int Length(int handle, std::int64_t& length) {
  const __int64 result = _filelengthi64(handle);
  if (result < 0) return errno;
  length = result;
  return 0;
}

int Stat(const char* path, FileInfo& info) {
  struct _stat64 status;
  if (_stat64(path, &status) < 0) return errno;
  info = FileInfo{};
  info.size = status.st_size;
  const __time64_t modified = status.st_mtime;
  const std::tm* local = _localtime64(&modified);
  if (local == nullptr) return 0;
  info.hasLocalTime = true;
  info.year = local->tm_year + 1900;
  info.month = local->tm_mon + 1;
  info.day = local->tm_mday;
  info.hour = local->tm_hour;
  info.minute = local->tm_min;
  info.second = local->tm_sec;
  return 0;
}

int Remove(const char* path) { return std::remove(path) < 0 ? errno : 0; }

namespace {



constexpr DWORD kNotPlain = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;

// The path the handle ends at, as the file system names it: long names,
// "\\?\UNC\server\..." for a share. False when it does not fit.
bool FinalPath(HANDLE handle, wchar_t (&path)[kPathBufferSize]) {
  const DWORD length = GetFinalPathNameByHandleW(handle, path, kPathBufferSize, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  return length != 0 && length < kPathBufferSize;
}

// The folder `path` lies in, with its last separator ("C:\\" for "C:\\x",
// not "C:", the current folder of drive C), or "." for a bare name; the
// last name in `*leaf`.
std::string FolderOf(const char* path, const char** leaf) {
  const char* slash = std::strrchr(path, '\\');
  const char* other = std::strrchr(path, '/');
  if (other != nullptr && (slash == nullptr || other > slash)) slash = other;
  *leaf = slash != nullptr ? slash + 1 : path;
  return slash != nullptr ? std::string(path, *leaf) : std::string(".");
}

// True when `file`, opened by `path`, is the entry of that name in the
// folder that `path` names. A link that does not show as a reparse point (a
// link of the host system under an emulator) is still opened through; the
// path the handle ends at then lies elsewhere. Both sides are final paths
// (a folder named in its short form or on a share ends in the same form as
// the file), and the last name is the one asked for, compared without case.
bool OpenedByItsOwnName(HANDLE file, const char* path) {
  const char* leaf = nullptr;
  FileHandle folder(CreateFileA(FolderOf(path, &leaf).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  wchar_t opened[kPathBufferSize] = {};
  wchar_t expected[kPathBufferSize] = {};
  if (folder.value == INVALID_HANDLE_VALUE || !FinalPath(file, opened) || !FinalPath(folder.value, expected)) {
    return false;
  }
  size_t length = wcslen(expected);
  if (length == 0 || expected[length - 1] != L'\\') expected[length++] = L'\\';
  const int leafLength = MultiByteToWideChar(CP_ACP, 0, leaf, -1, expected + length,
                                             static_cast<int>(kPathBufferSize - length));
  if (leafLength <= 1) return false;
  return CompareStringOrdinal(opened, -1, expected, -1, TRUE) == CSTR_EQUAL;
}

// Clears the read-only attribute of `path`, whose attributes are
// `attributes`, while the caller holds it open without sharing deletion (so
// that the name cannot be moved meanwhile and still leads to the file the
// caller checked); 0 or the error number. By name, since asking for the
// right to write attributes when opening a read-only file is refused by
// some file systems.
int ClearReadOnly(const char* path, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return 0;
  DWORD cleared = attributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  if (cleared == 0) cleared = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesA(path, cleared) ? 0 : ErrorNumberOfLastError();
}

// Opens the entry `path` itself (never what a link at it points to) with
// `access` and `share`, and checks that it is a plain file with one link
// found under its own name. 0 with `info` filled; kErrExists when something
// else has the name; or the error number of the open or the look.
int OpenPlainFile(const char* path, DWORD access, DWORD share, FileHandle& file, BY_HANDLE_FILE_INFORMATION& info) {
  file.value = CreateFileA(path, access, share, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file.value == INVALID_HANDLE_VALUE) return ErrorNumberOfLastError();
  if (!GetFileInformationByHandle(file.value, &info)) return ErrorNumberOfLastError();
  if ((info.dwFileAttributes & kNotPlain) != 0 || info.nNumberOfLinks != 1 ||
      GetFileType(file.value) != FILE_TYPE_DISK || !OpenedByItsOwnName(file.value, path)) {
    return kErrExists;
  }
  return 0;
}

int OpenDiskFile(const char* path, int& handle) {
  handle = -1;
  // Shared for reading only: nothing may change the bytes while they are read.
  FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (file.value == INVALID_HANDLE_VALUE) return ErrorNumberOfLastError();
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.value, &info)) return ErrorNumberOfLastError();
  if ((info.dwFileAttributes & kNotPlain) != 0 || GetFileType(file.value) != FILE_TYPE_DISK ||
      !OpenedByItsOwnName(file.value, path)) {
    return kErrIsDirectory;
  }
  return HandOver(file, _O_RDONLY | _O_BINARY, handle);
}

}  // namespace

int RemovePlainFile(const char* path) {
  // Not shared: a file someone holds open is not a leftover.
  FileHandle file(INVALID_HANDLE_VALUE);
  BY_HANDLE_FILE_INFORMATION info;
  int error = OpenPlainFile(path, DELETE | FILE_READ_ATTRIBUTES, 0, file, info);
  if (error != 0) return error == kErrNoEntry ? 0 : error;
  // A module moved aside keeps the read-only attribute it had, which would
  // keep it from being deleted.
  error = ClearReadOnly(path, info.dwFileAttributes);
  if (error != 0) return error;
  // Deleted through the handle just checked, when it closes.
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = TRUE;
  if (!SetFileInformationByHandle(file.value, FileDispositionInfo, &disposition, sizeof disposition)) {
    return ErrorNumberOfLastError();
  }
  return 0;
}

bool IsPlainFile(const char* path) {
  FileHandle file(INVALID_HANDLE_VALUE);
  BY_HANDLE_FILE_INFORMATION info;
  return OpenPlainFile(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, file,
                       info) == 0;
}

namespace {

// The owner of the open `handle` (opened with READ_CONTROL) in `sid`; false
// when it cannot be had.
bool OwnerOf(HANDLE handle, std::vector<unsigned char>& sid) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool known = owner != nullptr && IsValidSid(owner);
  if (known) {
    const auto* bytes = static_cast<const unsigned char*>(owner);
    sid.assign(bytes, bytes + GetLengthSid(owner));
  }
  LocalFree(descriptor);
  return known;
}

// Whether the file open as `file` at `path` belongs to the installer: owned
// by the Administrators group or SYSTEM, or by the owner of its folder.
bool OwnedByInstaller(HANDLE file, const char* path) {
  std::vector<unsigned char> owner;
  if (!OwnerOf(file, owner)) return false;
  PSID sid = owner.data();
  if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinLocalSystemSid)) return true;
  const char* leaf = nullptr;
  FileHandle folder(CreateFileA(FolderOf(path, &leaf).c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  std::vector<unsigned char> folderOwner;
  return folder.value != INVALID_HANDLE_VALUE && OwnerOf(folder.value, folderOwner) && EqualSid(sid, folderOwner.data());
}

}  // namespace

int ReadPlainFile(const char* path, std::uint32_t maxBytes, std::vector<unsigned char>& bytes) {
  bytes.clear();
  FileHandle file(INVALID_HANDLE_VALUE);
  BY_HANDLE_FILE_INFORMATION info;
  const int error = OpenPlainFile(path, GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, file, info);
  if (error != 0) return error;
  if (!OwnedByInstaller(file.value, path)) return kErrAccess;
  if (info.nFileSizeHigh != 0 || info.nFileSizeLow > maxBytes) return kErrFileTooLarge;
  bytes.resize(info.nFileSizeLow);
  DWORD done = 0;
  while (done < bytes.size()) {
    DWORD count = 0;
    if (!ReadFile(file.value, bytes.data() + done, static_cast<DWORD>(bytes.size()) - done, &count, nullptr)) {
      bytes.clear();
      return ErrorNumberOfLastError();
    }
    // Shorter than it said: it changed meanwhile.
    if (count == 0) break;
    done += count;
  }
  bytes.resize(done);
  return 0;
}

int RemoveAtRestart(const char* path) {
  return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0 ? 0 : ErrorNumberOfLastError();
}

int PrepareToReplace(const char* path) {
  FileHandle file(CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (file.value == INVALID_HANDLE_VALUE) {
    const int error = ErrorNumberOfLastError();
    return error == kErrNoEntry ? 0 : error;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.value, &info)) return ErrorNumberOfLastError();
  if ((info.dwFileAttributes & kNotPlain) != 0 || GetFileType(file.value) != FILE_TYPE_DISK) return kErrIsDirectory;
  return ClearReadOnly(path, info.dwFileAttributes);
}

// The C runtime's rename already refuses an existing target.
int Rename(const char* from, const char* to) { return std::rename(from, to) < 0 ? errno : 0; }

int RenameReplacing(const char* from, const char* to) {
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) return 0;
  return ErrorNumberOfLastError();
}

namespace {

// Volume and file index of an existing file, without opening it for access.
bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
  const FileHandle file(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file.value != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file.value, &info) != FALSE;
}

}  // namespace

bool IsSameFile(const char* first, const char* second) {
  BY_HANDLE_FILE_INFORMATION a;
  BY_HANDLE_FILE_INFORMATION b;
  if (!FileIdentity(first, a) || !FileIdentity(second, b)) return false;
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

int MakeDirectory(const char* path) { return _mkdir(path) < 0 ? errno : 0; }

int GetAttributes(const char* path, std::uint16_t& flags) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return ErrorNumberOfLastError();
  flags = 0;
  for (const AttributePair& pair : kAttributeMap) {
    if ((attributes & pair.attribute) != 0) flags |= pair.flag;
  }
  return 0;
}

int SetAttributes(const char* path, std::uint16_t flags) {
  DWORD attributes = 0;
  if ((flags & kAttrClearAll) == 0) {
    for (const AttributePair& pair : kAttributeMap) {
      if ((flags & pair.flag) != 0) attributes |= pair.attribute;
    }
  }
  // "No attributes" is spelled FILE_ATTRIBUTE_NORMAL.
  if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesA(path, attributes) ? 0 : ErrorNumberOfLastError();
}

std::int32_t TimeZoneBiasSeconds() {
  TIME_ZONE_INFORMATION zone;
  const DWORD which = GetTimeZoneInformation(&zone);
  if (which == TIME_ZONE_ID_INVALID) return 0;
  std::int32_t bias = zone.Bias * 60;
  if (which == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias * 60;
  return bias;
}

int SetLastWriteTime(int handle, std::uint16_t dosDate, std::uint16_t dosTime) {
  FILETIME written;
  if (!DosDateTimeToFileTime(dosDate, dosTime, &written)) return ErrorNumberOfLastError();
  const intptr_t osHandle = _get_osfhandle(handle);
  if (osHandle == -1) return errno;
  if (!SetFileTime(reinterpret_cast<HANDLE>(osHandle), nullptr, nullptr, &written)) {
    return ErrorNumberOfLastError();
  }
  return 0;
}

}  // namespace platform
