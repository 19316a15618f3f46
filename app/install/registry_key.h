#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// The installer's only access to the registry. An object is bound to a root
// key and a path below it; every operation names a sub-key relative to that
// path (null: the path itself) and a value in it, opens the joined key with
// RegCreateKeyA, makes one registry call and closes the key again before it
// returns. Opening creates every missing key of the joined path, so even a
// read leaves its key behind (empty); an object made with
// Opening::ExistingOnly opens existing keys only, and fails where one is
// missing. Between operations no handle is held,
// except the enumeration key from BeginEnum to EndEnum.
//
// Results are true for success and false for failure; nothing is shown or
// recorded.
// A null root makes every operation fail. Not shared between threads.
//
// The order of the virtual operations below is fixed; new ones go after the
// destructor's slot, never between.
class RegistryKey {
 public:
  // Room for the object's path: 259 characters and the terminator.
  static constexpr size_t kPathBufferSize = 260;
  // Room for the path, a backslash and a sub-key name as long as a path,
  // with terminator.
  static constexpr size_t kJoinedPathBufferSize = 2 * kPathBufferSize;

  enum class Opening { CreateMissing, ExistingOnly };

  // Keeps `root` (not owned, never closed) and copies at most 259 characters
  // of `path`; a null path is the empty path (sub-keys directly below root).
  RegistryKey(HKEY root, const char* path, Opening opening = Opening::CreateMissing);

  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Writes REG_BINARY `valueName` of exactly `size` bytes from `data`.
  // Fails for a null value name or null data.
  [[nodiscard]] virtual bool WriteBinary(const char* subKey, const char* valueName,
                                        const void* data, DWORD size);
  // Writes REG_SZ `valueName` holding `text` and its terminating zero (an
  // empty text stores one byte). Fails for a null value name or text.
  [[nodiscard]] virtual bool WriteString(const char* subKey, const char* valueName,
                                        const char* text);
  // Writes REG_DWORD `valueName` (4 bytes). A null value name writes the
  // key's default value.
  [[nodiscard]] virtual bool WriteDword(const char* subKey, const char* valueName, DWORD value);
  // Reads REG_BINARY `valueName` into `buffer`; succeeds only if the type is
  // REG_BINARY and the value fits in `bufferSize` bytes. Never writes past
  // `bufferSize`; on failure the content of the buffer is undefined.
  [[nodiscard]] virtual bool ReadBinary(const char* subKey, const char* valueName, void* buffer,
                                       DWORD bufferSize);
  // Reads REG_SZ `valueName` into `buffer` as a zero-terminated string that
  // lies within `bufferSize` bytes. Fails for any other type, for a value
  // that does not fit with its terminator (a value stored without one gets
  // it added when there is room), and for a null or zero-sized buffer.
  // Whenever the buffer has room it holds a terminated string on return:
  // the value on success, the empty string on failure, so callers may
  // append to it either way.
  [[nodiscard]] virtual bool ReadString(const char* subKey, const char* valueName, char* buffer,
                                       DWORD bufferSize);
  // Reads REG_DWORD `valueName`; stores it in `*value` only on success.
  [[nodiscard]] virtual bool ReadDword(const char* subKey, const char* valueName, DWORD* value);
  // Deletes `valueName`; whether it existed or the deletion worked is not told.
  virtual void DeleteValue(const char* subKey, const char* valueName);
  // Opens `subKey` for value enumeration and starts at index 0. Fails for a
  // null root or while an enumeration is open (that one stays open).
  [[nodiscard]] virtual bool BeginEnum(const char* subKey);
  // Stores the name of the value at the enumeration index in `nameBuffer`
  // (`bufferSize` characters with terminator) and advances the index, also
  // when there is no such value. False when no enumeration is open, past the last
  // value, or the name does not fit (the buffer then holds the empty string).
  [[nodiscard]] virtual bool NextValue(char* nameBuffer, DWORD bufferSize);
  // Closes the enumeration key, if one is open.
  virtual void EndEnum();
  // Closes an enumeration left open, so that no handle outlives the object.
  virtual ~RegistryKey();

  // What ReadRaw found.
  enum class Stored { Value, None, Unreadable };
  // The value exactly as stored, whatever its type: Value with its type in
  // `*type` and its bytes in `*data`; None when there is no such value
  // (`*data` emptied); Unreadable when it exists but cannot be read. For taking a
  // copy of what a write is about to replace. ReadRaw and WriteRaw use the
  // wide registry calls: text values keep their UTF-16 bytes, so that text
  // another program wrote in characters outside the ANSI code page comes
  // back unchanged (the ANSI calls would convert it).
  [[nodiscard]] virtual Stored ReadRaw(const char* subKey, const char* valueName, DWORD* type,
                                       std::vector<unsigned char>* data);
  // Stores `size` bytes of `data` as `valueName` of type `type`, exactly as
  // given (the counterpart of ReadRaw). Fails for a null value name, or null
  // data with a size above 0; text values are UTF-16, as ReadRaw hands them.
  [[nodiscard]] virtual bool WriteRaw(const char* subKey, const char* valueName, DWORD type,
                                     const void* data, DWORD size);

  // Writes what has been changed below the object's path to disk
  // (RegFlushKey), so that it is there after a power cut, before a change
  // elsewhere that depends on it. True on success.
  [[nodiscard]] bool Flush();

  // Index of the value that the next NextValue asks for.
  uint32_t EnumIndex() const { return enumIndex; }

  // Makes the `bytesRead` bytes of a REG_SZ just read into `buffer` a
  // terminated string within `bufferSize` bytes: data that ends with its
  // terminator is kept, data without one gets it appended when there is
  // room. Returns true then; returns false and leaves the empty string when the
  // terminator does not fit (bufferSize > 0, bytesRead <= bufferSize).
  // The registry hands REG_SZ data back as it was written, terminator or
  // not, and may fill the buffer to its last byte.
  [[nodiscard]] static bool TerminateString(char* buffer, DWORD bufferSize, DWORD bytesRead);

 protected:
  // Opens (creating as needed, unless ExistingOnly) the object's path
  // joined with `subKey`. Null for a null root, a joined path longer than
  // 519 characters, or a failed RegCreateKeyA (RegOpenKeyExA). The caller closes the handle with CloseSubKey.
  HKEY OpenSubKey(const char* subKey) const;
  // Closes `key` unless it is null.
  static void CloseSubKey(HKEY key);
  // RegSetValueExA on an open key; false for a null value name or data.
  static bool SetValue(HKEY key, const char* valueName, const void* data, DWORD size,
                      DWORD type);
  // RegQueryValueExA on an open key, limited to `bufferSize` bytes; true if
  // the call succeeds and the stored type is `type`, false for a null value name or
  // buffer or any failure. `bytesRead` (may be null) receives the size read.
  static bool QueryValue(HKEY key, const char* valueName, void* buffer, DWORD bufferSize,
                        DWORD type, DWORD* bytesRead);

 private:
  uint32_t enumIndex = 0;
  HKEY root;
  Opening opening;
  HKEY enumKey = nullptr;
  char path[kPathBufferSize];
};
