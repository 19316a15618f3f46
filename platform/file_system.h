#pragma once

#include <cstdint>
#include <vector>

// The few operating-system calls the portable layers need, one
// implementation per OS. Failures come back as C runtime error numbers,
// translated here once; the numbers the callers test have the same value on
// every OS we build for.
namespace platform {

constexpr int kErrNoEntry = 2;          // no such file or directory
constexpr int kErrBadHandle = 9;        // a handle not open for what was asked
constexpr int kErrNoMemory = 12;        // not enough memory
constexpr int kErrAccess = 13;          // access denied
constexpr int kErrExists = 17;          // already exists
constexpr int kErrInvalid = 22;         // invalid argument
constexpr int kErrTooManyOpen = 23;     // too many open files in the system
constexpr int kErrTooManyOpenHere = 24; // too many open files in this process
constexpr int kErrIsDirectory = 21;     // a folder, or anything else but a plain file, where one is meant
constexpr int kErrFileTooLarge = 27;    // file too large
constexpr int kErrNoSpace = 28;         // no space left on the device

// The error number for a Win32 error code (GetLastError), for the Windows
// file layer; portable so that the table can be checked anywhere. Codes
// without a closer match give kErrInvalid.
[[nodiscard]] int ErrorNumberOfWin32Error(std::uint32_t code);

// How Open opens a file. Always binary; shared deny-none (others may read
// and write it meanwhile) unless said otherwise; created files are readable
// and writable.
enum class OpenMode {
  ReadWrite,        // existing file
  ReadOnly,         // existing file
  CreateTruncate,   // read-write, created if missing, emptied if present
  CreateExclusive,  // read-write, fails with kErrExists if any entry has the
                    // name: a link there is neither followed nor replaced;
                    // while open, others may only read it (Windows: not
                    // write, rename or delete it), and the handle may move
                    // or remove it (MoveOpen, RemoveOpen)
  CreateGuarded,    // as CreateExclusive; and for good (Windows) it is
                    // owned by the Administrators group, and only
                    // administrators and SYSTEM may write, rename or delete
                    // it, everybody else may read and run it, also once it
                    // has been moved elsewhere in its volume
  ReadOnlyDiskFile, // read-only, the entry itself, which must be a file on a
                    // disk: a link at the name is never followed, and it,
                    // a folder, a device or a pipe fails with
                    // kErrIsDirectory (nothing is read from them)
};

// Opens `path`; on success stores a handle >= 0 in `handle` and returns 0,
// on failure stores -1 and returns the error number.
[[nodiscard]] int Open(const char* path, OpenMode mode, int& handle);

// Reads up to `length` bytes; `count` gets the number read (0 at end of
// file) and 0 is returned, or `count` gets -1 and the error number is
// returned.
[[nodiscard]] int Read(int handle, void* data, std::int32_t length, std::int32_t& count);

// Writes `length` bytes; `count` gets the number written (possibly fewer)
// and 0 is returned, or `count` gets -1 and the error number is returned.
[[nodiscard]] int Write(int handle, const void* data, std::int32_t length, std::int32_t& count);

// Moves the file pointer to `position` from the start; 0 or the error number
// (kErrInvalid for a negative position).
[[nodiscard]] int SeekFromStart(int handle, std::int32_t position);

// Closes the handle; 0 or the error number.
int Close(int handle);

// A second handle to the file open as `handle`, with the same access and
// sharing (no new open: nothing at the name is consulted); 0 with it in
// `copy`, or the error number and -1.
[[nodiscard]] int Duplicate(int handle, int& copy);

// Moves the file open as `handle` (made with CreateExclusive or
// CreateGuarded), whose name is `from`, over `to` in one step, replacing an
// existing `to`, and returns once the move is on disk. On Windows the move
// goes through the handle itself, so that the file moved is the one open,
// whatever has the name `from` by then; elsewhere by name. Errors as
// RenameReplacing; a failure leaves both names as they were.
[[nodiscard]] int MoveOpen(int handle, const char* from, const char* to);

// Removes the file open as `handle` (made with CreateExclusive or
// CreateGuarded), whose name is `path`: on Windows through the handle, when
// it closes; elsewhere by name at once. 0 or the error number.
int RemoveOpen(int handle, const char* path);

// Makes the file's data reach the disk: returns when what was written
// through `handle` is stored, not merely handed to the OS. 0 or the error
// number.
[[nodiscard]] int Sync(int handle);

// The file's current length, leaving the file pointer alone; 0 or the error
// number.
[[nodiscard]] int Length(int handle, std::int64_t& length);

// Size and modification time of a file by path.
struct FileInfo {
  std::int64_t size;
  bool hasLocalTime;  // false when the time has no local broken-down form
  int year;           // e.g. 2000
  int month;          // 1..12
  int day;            // 1..31
  int hour;
  int minute;
  int second;
};
// Fills `info`; 0 or the error number.
[[nodiscard]] int Stat(const char* path, FileInfo& info);

// Deletes a file by path; 0 or the error number.
[[nodiscard]] int Remove(const char* path);

// Removes `path` only when it is a plain file (read-only or not) with
// exactly one link that nobody holds open, found under its own name in its
// folder: never a link, a folder, a device or a reparse point, and never
// through a link (what a link points to is not touched). The folder may be named in any form the
// OS takes for it (a share, short 8.3 names, another spelling). Returns 0
// when nothing has the name any more (removed, or there was nothing);
// kErrExists when something else has the name, which is left alone; or the
// error number of a failed check or removal (kErrAccess for a file mapped
// as a module somewhere, which Windows does not let go of).
[[nodiscard]] int RemovePlainFile(const char* path);

// Whether `path` is a plain file with one link, found under its own name
// (as RemovePlainFile checks); false for anything else or nothing.
[[nodiscard]] bool IsPlainFile(const char* path);

// Reads the whole of `path` into `bytes`, when it is a plain file with one
// link, found under its own name (as RemovePlainFile checks), of at most
// `maxBytes` bytes, that this installer made: owned by the Administrators
// group or SYSTEM (elsewhere: this user or root), as the files an elevated
// installer makes with CreateGuarded are and no other user's can be, or by
// whoever owns its folder (on a file system that keeps no owners, every
// file is its folder's owner's). A link at the name is never followed.
// Returns 0; or kErrNoEntry when nothing has the name, kErrExists when
// something else than such a file has it, kErrAccess when another owns it,
// kErrFileTooLarge when it is larger, or the error number of a failed open
// or read (`bytes` then empty).
[[nodiscard]] int ReadPlainFile(const char* path, std::uint32_t maxBytes, std::vector<unsigned char>& bytes);

// Has `path` removed when the system next starts, for a plain file that
// cannot be removed now because a running program has it mapped. Only
// Windows keeps files against removal; elsewhere this is never needed and
// returns kErrInvalid. 0 or the error number.
[[nodiscard]] int RemoveAtRestart(const char* path);

// Readies the file at `path` to be replaced by a move: clears its read-only
// attribute, which Windows honours for replacing too. Through a handle that
// does not follow a link at the name. Returns 0 for a plain file (or when
// nothing has the name); kErrIsDirectory, changing nothing, when a folder,
// a link, a device or anything else but a plain file has it; or the error
// number of a failed look or change.
[[nodiscard]] int PrepareToReplace(const char* path);

// Moves a file by path. Fails (kErrExists where the OS can tell, otherwise
// the OS's refusal) when `to` already exists, on every OS; 0 or the error
// number.
[[nodiscard]] int Rename(const char* from, const char* to);

// Moves a file by path over `to`, replacing an existing `to` in one step, so
// that a failure leaves the old `to` in place, and returns once the move is
// on disk (written through). Sync `from` first: otherwise a power cut may
// keep the move but not the data. 0 or the error number.
[[nodiscard]] int RenameReplacing(const char* from, const char* to);

// True when both paths exist and name the same file (on a file system that
// ignores case, "a.dll" and "A.DLL" do).
[[nodiscard]] bool IsSameFile(const char* first, const char* second);

// Creates one folder; 0 or the error number.
[[nodiscard]] int MakeDirectory(const char* path);

// File attribute bits, as the storage layer's attribute flags hold them.
constexpr std::uint16_t kAttrReadOnly = 1u << 0;
constexpr std::uint16_t kAttrSystem = 1u << 1;
constexpr std::uint16_t kAttrHidden = 1u << 2;
constexpr std::uint16_t kAttrArchive = 1u << 3;
constexpr std::uint16_t kAttrClearAll = 1u << 4;

// Stores the file's read-only, system, hidden and archive bits in `flags`
// (other bits zero); 0 or the error number. Where the OS has only the
// read-only notion (the owner's write permission), the other bits are 0.
[[nodiscard]] int GetAttributes(const char* path, std::uint16_t& flags);

// Gives the file exactly the attributes in `flags` bits 0..3, or none at all
// when kAttrClearAll is set. Bits the OS has no notion of are not applied.
// 0 or the error number.
int SetAttributes(const char* path, std::uint16_t flags);

// Universal time minus local time, in seconds, as in force now (daylight
// saving included when it is in force now).
[[nodiscard]] std::int32_t TimeZoneBiasSeconds();

// Sets the open file's last-write time to the given DOS date and time,
// read as universal time; creation and access times stay. 0 or the error
// number.
[[nodiscard]] int SetLastWriteTime(int handle, std::uint16_t dosDate, std::uint16_t dosTime);

}  // namespace platform
