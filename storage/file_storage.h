#pragma once

#include <climits>
#include <cstdint>
#include <memory>

#include "storage/storage.h"

// A storage on a disk file, through low-level binary file handles opened
// with deny-none sharing. Every failure is recorded in `status` with its
// English message; the messages name the storage's current name.
class ALFileStorage : public ALStorage {
 public:
  // Storage type code of file storages.
  static constexpr std::int32_t kTypeCode = 1;
  // Buffer size of storages made by NewStorage.
  static constexpr std::int32_t kDefaultBufferSize = 4096;
  // Numbers tried for temporary names, ~al~000.tmp .. ~al~999.tmp.
  static constexpr int kTempNameCount = 1000;

  // `nameText` is the file's path ("" makes Create pick a temporary name).
  ALFileStorage(const char* nameText, std::int32_t bufferBytes, ALCaseMode caseMode);
  // Closes the file if it is open.
  ~ALFileStorage() override;

  // Opens the existing file named GetName() read-write, falling back to
  // read-only when access is denied (or directly read-only when `readOnly`
  // is set), and reads its size, local modification time and attributes.
  // Returns 0 or a negative status code (StatusOpenFailed with errno, or
  // StatusOutOfMemory); a failure after the open leaves the file open for
  // Close to release.
  int Open() override;
  // Creates (truncates) the file named GetName(), making missing folders
  // once if the first attempt finds none; with `createNew` set only as a new
  // entry, failing (StatusOpenFailed, errno 17) when anything has the name,
  // a link included, which is neither followed nor touched. With an empty
  // name creates a fresh ~al~NNN.tmp in the current folder and takes that
  // name. Returns 0 or a negative status code (StatusOpenFailed,
  // StatusOutOfMemory).
  int Create(std::int32_t unused) override;
  // Flushes, measures `size`, and for a created file with a non-zero year
  // stamps the last-write time from `timeDate` and applies `attributes`;
  // closes the file and frees the buffer. Returns the status code: a failed
  // final flush shows there, and so does a close the OS refuses (it may have
  // lost written data), as StatusWriteFailed. Does nothing but return the
  // status code when not open.
  int Close() override;
  // See ALStorage. Failures: StatusSeekFailed, StatusReadFailed. Loads stop
  // at filePosition 2^31 - 1 (a load reads no further); one that starts
  // there fails as a read with errno 27 and leaves the buffer as it was.
  int LoadBuffer(std::int32_t position) override;
  // See ALStorage. Failure: StatusWriteFailed, also (errno 27) when the write
  // would carry filePosition past sizeLimit (at most 2^31 - 1), and (errno
  // 28) when the OS writes fewer bytes without naming an error.
  int FlushBuffer() override;
  // Flushes (result not examined), then moves the file pointer. Returns 0,
  // the sticky status code, or StatusSeekFailed.
  int Seek(std::int32_t position) override;
  // Works on names and files only, in any state. See ALStorage.
  int Rename(const char* newName, int deleteTarget) override;
  // Deletes the old-name file first when `deleteTarget` (a missing one is
  // fine), renames current -> old (a missing current file counts as done)
  // and swaps the names. Returns 0 or StatusRenameFailed.
  int RenameBack(int deleteTarget) override;
  // ChangeExtension(".bak"), then Rename(nullptr, deleteTarget). The name
  // keeps ".bak" even when the rename fails.
  int RenameToBak(int deleteTarget) override;
  // Deletes the file named GetName(); any failure, a missing file included,
  // records StatusDeleteFailed. Does not close the file.
  int Delete() override;
  // A new ALFileStorage(newName, 4096, CaseInsensitive) for type code -1 or
  // 1; nullptr for any other code or without memory.
  [[nodiscard]] std::unique_ptr<ALStorage> NewStorage(const char* newName,
                                                      std::int32_t storageType) override;

  // Writes the pending bytes and makes everything written so far reach the
  // disk (not just the OS's cache), so that a file renamed into place after
  // it survives a power cut. Returns 0, the sticky status code, or
  // StatusWriteFailed (recorded) when the flush or the sync fails. The file
  // stays open; nothing is done when it is not open.
  int Commit();

  // Sets the name to "~al~%03d.tmp" of `number` (0..999); the previous name
  // becomes the old name.
  virtual void SetTempName(int number);
  // Creates every folder named by the path of GetName(), ignoring folders
  // that exist or cannot be made for errno 2, 13, 17 or 23. Returns 1 when
  // the path ends in a file name, 0 on another failure, an empty name, or a
  // name that ends in a separator.
  virtual int MakeDirectories();

  // Low-level file handle, -1 while no file is open.
  int handle;
  // When non-zero, Create makes a new file only (see Create), which others
  // may only read while it is open (platform::OpenMode::CreateExclusive).
  std::int16_t createNew = 0;
  // When non-zero as well, the new file is one that only administrators may
  // ever write, rename or delete (platform::OpenMode::CreateGuarded).
  std::int16_t guarded = 0;
  // When non-zero, Open opens for reading only, and only a file on a disk
  // at the name itself: never through a link, never a folder, device or
  // pipe (StatusOpenFailed with errno 21).
  std::int16_t diskFileOnly = 0;
  // Writes that would carry the file past this many bytes fail as
  // StatusWriteFailed with errno 27, writing nothing of that buffer.
  std::int32_t sizeLimit = INT32_MAX;
  // The error number (platform/file_system.h) behind the last failed write,
  // sync or close, 0 while none failed: a full disk and other write
  // failures share StatusWriteFailed, and a caller may have to tell them
  // apart.
  int writeError;

 private:
  // Moves the file pointer to `position` from the start of the file; 0, or
  // StatusSeekFailed (recorded). filePosition is left to the caller.
  int MoveFilePointer(std::int32_t position);
  // Reads the file's attributes into `attributes` (bits 0..3, bit 4
  // cleared); StatusOpenFailed without recording anything if unreadable.
  int ReadAttributes();
  // Applies `attributes` to the file; result ignored by design.
  void WriteAttributes();
  // Sets the open file's last-write time from `timeDate` (local time).
  void StampTime();
};
