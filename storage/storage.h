#pragma once

#include <cstdint>
#include <memory>

#include "storage/object_name.h"
#include "storage/status_record.h"

// <winbase.h> defines a function-like macro Yield(); without this, code that
// includes <windows.h> before this header could not declare or call
// ALStorage::Yield. Include <windows.h> first if you need both.
#ifdef Yield
#undef Yield
#endif

class ALStorage;

// Time stamp of a storage's object, local time. year 0 means "no stamp".
struct ALTimeStamp {
  std::int16_t year;    // four digits, e.g. 2000
  std::int16_t month;   // 1..12
  std::int16_t day;     // 1..31
  std::int16_t hour;    // 0..23
  std::int16_t minute;  // 0..59
  std::int16_t second;  // 0..59
};

// Attribute flags of a storage's object.
struct ALAttributeFlags {
  static constexpr std::uint16_t kReadOnly = 1u << 0;
  static constexpr std::uint16_t kSystem = 1u << 1;
  static constexpr std::uint16_t kHidden = 1u << 2;
  static constexpr std::uint16_t kArchive = 1u << 3;
  // When set, closing a created file removes every attribute instead of
  // applying the four above; reading a file's attributes clears it.
  static constexpr std::uint16_t kClearAll = 1u << 4;

  std::uint16_t bits;
};

// Told about the position of a storage after every buffer it loads or
// flushes. Not owned by the storage.
class ALProgressHook {
 public:
  virtual ~ALProgressHook() = default;
  // `position` is storage.Tell().
  virtual void Progress(std::int32_t position, ALStorage& storage) = 0;
};

// Sees every buffer a storage moves and may change its bytes in place. Not
// owned by the storage.
class ALBufferFilter {
 public:
  virtual ~ALBufferFilter() = default;
  // The first `length` bytes of `data`, just before they are written.
  virtual void BeforeWrite(unsigned char* data, std::int32_t length) = 0;
  // The first `length` bytes of `data`, just after they were read.
  virtual void AfterRead(unsigned char* data, std::int32_t length) = 0;
};

// A named, buffered byte container. All traffic goes through one buffer of
// `bufferSize` bytes, which exists exactly while the storage is open (Open
// for reading, Create for writing) and is owned by the storage.
//
// Results: 0, a byte count or a byte value on success; a negative status
// code on failure, recorded in `status`. -1 means end of data and is never
// recorded. Errors stick: once `status.code` is negative, Open, Create,
// LoadBuffer, FlushBuffer and Seek return it without acting.
//
// Calling order: construct, Open or Create, byte operations, Close, destroy.
// Single-threaded; LoadBuffer and FlushBuffer end in Yield, which may run the
// thread's window procedures.
class ALStorage {
 public:
  // Frees the buffer, the status text and the names. A concrete storage
  // closes its open object first.
  virtual ~ALStorage();
  ALStorage(const ALStorage&) = delete;
  ALStorage& operator=(const ALStorage&) = delete;

  // Writes this object's settings block, a big-endian 16-bit zero, to
  // `target`; returns target's status code. This object is not consulted.
  virtual int WriteSettings(ALStorage& target);
  // Reads and discards one big-endian 16-bit value from `source`; returns
  // source's status code. This object is not consulted.
  virtual int ReadSettings(ALStorage& source);

  // Opens for reading. Base part: allocates the buffer, zeroes the counters,
  // resets the CRC register and switches the CRC off. Returns 0, the sticky
  // status code, or StatusOutOfMemory when the buffer cannot be allocated or
  // bufferSize is below 1.
  virtual int Open();
  // Creates for writing; `unused` is not looked at (callers pass -1). Base
  // part: as Open, and also `size` := 0, `created` := 1. Same results.
  virtual int Create(std::int32_t unused);
  // Base part: frees the buffer (no flush); returns the status code.
  virtual int Close();

  // Brings the object's position to `position` if `filePosition` differs,
  // reads up to bufferSize bytes into the buffer, runs the CRC/filter,
  // sets readIndex 0, readCount n, filePosition position + n, calls Yield and
  // returns n > 0. Returns -1 at end of data with nothing changed, or a
  // negative status code.
  virtual int LoadBuffer(std::int32_t position) = 0;
  // Writes the writeCount pending bytes at filePosition (after CRC/filter),
  // advances filePosition, sets writeCount 0; then, also with nothing
  // pending, drops read-ahead (readIndex, readCount := 0), calls Yield and
  // returns 0. Returns a negative status code on failure, counters unchanged.
  virtual int FlushBuffer() = 0;
  // Flushes, then moves the object's position; returns 0 or a status code.
  // This one suits storages without a position of their own to move (the
  // position is filePosition alone): flush, stop at a negative status code,
  // set filePosition.
  virtual int Seek(std::int32_t position);

  // Reports Tell() to the monitor, if any, then removes and dispatches every
  // window message waiting for this thread (nothing where there are none).
  // Never waits.
  virtual void Yield();

  // The calls below work on the object by its name. These ones suit storages
  // whose objects no file system knows by name: nothing to rename or
  // delete, they return 0, and NewStorage makes none (nullptr).

  // Renames the object from the current name to `newName` (then the name
  // becomes newName), or, with nullptr, from the old name to the current one.
  // A non-zero `deleteTarget` first refuses a same-name rename and deletes
  // the target. Returns 0 or StatusRenameFailed. Does not check the status.
  virtual int Rename(const char* newName, int deleteTarget);
  // Renames the object back to the old name and swaps the names.
  virtual int RenameBack(int deleteTarget);
  // Gives the name the extension ".bak" and renames the object to it.
  virtual int RenameToBak(int deleteTarget);
  // Deletes the object; 0 or StatusDeleteFailed. Does not close.
  virtual int Delete();
  // A new storage of the given type code named `newName`, owned by the
  // caller; nullptr for an unknown type code or without memory.
  [[nodiscard]] virtual std::unique_ptr<ALStorage> NewStorage(const char* newName, std::int32_t storageType);

  // The next byte (0..255), -1 at end of data, or a negative status code.
  // Bytes left in the buffer are still handed out after an error.
  [[nodiscard]] int ReadChar();
  // Appends the low 8 bits of `value` and returns them (0..255); flushes
  // first when the buffer is full and returns the status code if that fails
  // (the byte is not stored).
  int WriteChar(int value);
  // WriteChar of the high byte, then the low byte; returns the status code.
  int WriteBigEndian16(std::uint16_t value);
  // Reads the high byte, then the low byte, into `value`; returns the status
  // code. At end of data the code stays 0 and `value` comes out as 0xFFFF.
  int ReadBigEndian16(std::uint16_t& value);
  // Hands out up to `most` (> 0) unread bytes of the buffer at `*bytes`,
  // loading the next buffer first when none is left, and counts them as
  // read. Returns their number; 0 at end of data or after a failure (then
  // recorded in status). For a caller that reads the buffer in place (a
  // decoder feeding a decompressor).
  std::int32_t TakeInput(std::int32_t most, const unsigned char** bytes);
  // For a caller that fills the buffer itself (a decoder writing straight
  // into it): the buffer's first `count` bytes become the pending bytes and
  // are written as FlushBuffer writes them. Afterwards nothing is pending,
  // also when the write failed (those bytes are dropped; the failure stays
  // in status). Returns FlushBuffer's result.
  int FlushFilled(std::int32_t count);
  // Switches the CRC-32 on with register `start` (0xFFFFFFFF for the
  // standard CRC). Open and Create switch it off, so call it after them.
  void StartCrc32(std::uint32_t start);
  // Position in the object of the next byte ReadChar would return or
  // WriteChar would write.
  [[nodiscard]] std::int32_t Tell() const;

  // Owned I/O buffer of bufferSize bytes while open; none while closed.
  // Decoders treat a storage without a buffer as not open.
  std::unique_ptr<unsigned char[]> buffer;
  // Valid bytes in the buffer while reading.
  std::int32_t readCount;
  // Bytes in the buffer not yet written.
  std::int32_t writeCount;
  // Index of the next byte to read.
  std::int32_t readIndex;
  // The object's position: just past the buffered data while reading, where
  // the buffered data will go while writing. Never exceeds 2^31 - 1.
  std::int32_t filePosition;
  // Size of the object in bytes; -1 until measured, 0 after Create.
  std::int32_t size;
  // Running CRC-32 register, never inverted by the storage.
  std::uint32_t crc;
  // The CRC is updated while non-zero.
  std::int16_t crcEnabled;
  // Set by Create, cleared by Close of the concrete storage.
  std::int16_t created;
  // When non-zero, Open of the concrete storage opens for reading only.
  std::int16_t readOnly;
  // Not owned; none by default.
  ALBufferFilter* filter;
  // Storage type code of the concrete class (1: file).
  std::int32_t typeCode;
  // Buffer size in bytes given at construction.
  std::int32_t bufferSize;
  // Not owned; none by default.
  ALProgressHook* monitor;
  // Time stamp of the object; all zero at construction.
  ALTimeStamp timeDate;
  // Attribute flags; all clear at construction.
  ALAttributeFlags attributes;
  // The object's name and case mode.
  ALObjectName name;
  // The object's status.
  ALStatusRecord status;

 protected:
  // `nameText` must not be null ("" is allowed). The buffer is allocated by
  // Open or Create, not here. If the name cannot be stored the status is
  // StatusOutOfMemory "Allocation of buffer failed in ALStorage constructor".
  ALStorage(const char* nameText, std::int32_t bufferBytes, std::int32_t storageType,
            ALCaseMode caseMode);

  // The bookkeeping every storage shares, around the raw input and output
  // of the concrete storages:
  //  - LoadFinished: `count` (> 0) bytes were just read into the buffer
  //    from filePosition. Runs the filter (AfterRead) and the CRC over
  //    them, sets readIndex 0, readCount `count`, moves filePosition past
  //    them, calls Yield and returns `count`.
  //  - BeforeFlush: the writeCount pending bytes are about to be written.
  //    Runs the filter (BeforeWrite) and the CRC over them.
  //  - FlushFinished: the pending bytes were written at filePosition (or
  //    there were none). Moves filePosition past them (stopping at
  //    2^31 - 1), sets writeCount 0, drops read-ahead (readIndex, readCount
  //    := 0), calls Yield and returns 0.
  int LoadFinished(std::int32_t count);
  void BeforeFlush();
  int FlushFinished();

 private:
  // Runs the filter over the first `length` bytes of the buffer (AfterRead
  // when `reading`, else BeforeWrite), then the CRC if it is on.
  void ProcessBuffer(std::int32_t length, bool reading);

  // The buffer part shared by Open and Create: allocates the buffer, zeroes
  // the counters and switches the CRC off with a fresh register. Returns 0,
  // or StatusOutOfMemory (recorded) when there is no buffer.
  int StartBuffer();
};

// The settings block that storages and decoders write and read for
// themselves: a single big-endian 16-bit zero. Both return the storage's
// status code afterwards.
int WriteSettingsBlock(ALStorage& target);
int ReadSettingsBlock(ALStorage& source);
