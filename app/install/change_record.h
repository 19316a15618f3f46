#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What an installation of one component is about to change, kept on disk
// beside the module while it changes: the module and the component's
// registry values are two places, and a run cut off between them (killed,
// the machine restarted, the power gone) must be brought back to one
// version at the next start. Portable, so that the format and its checks
// are tested everywhere.
//
// The record of module M lies at the first free name of "M.rec",
// "M.1.rec" .. "M.9.rec", made new, written whole and synced to disk before
// the first registry value of the component changes, and removed once the
// component is done or put back. A record is read back whole or not at
// all: it carries its length and a CRC-32 of its bytes.

// Names a record may have.
constexpr int kRecordNameCount = 10;
// A record is never larger: the values it keeps are a component's display
// names, seed count and at most 32,767 entry records of 26 bytes each, plus
// whatever an earlier installation left under those names (each value at
// most kMaxRecordedValueSize).
constexpr std::uint32_t kMaxChangeRecordSize = 16u << 20;
constexpr std::uint32_t kMaxRecordedValueSize = 1u << 20;

// Record names below the product key: the first this many characters of
// the base name, "-" and the entry's index in decimal.
constexpr std::size_t kRecordPrefixLength = 20;

// A registry value as it was before a registration changed it: its type
// and bytes exactly as stored (text in UTF-16), or that there was none.
struct RecordedValue {
  std::string subKey;
  std::string name;
  bool existed = false;
  std::uint32_t type = 0;
  std::vector<unsigned char> data;
};

struct ChangeRecord {
  // Size and CRC-32 of the new module: the module in place is the new one
  // exactly when it has both.
  std::uint32_t moduleSize = 0;
  std::uint32_t moduleCrc32 = 0;
  // Every value the registration writes or deletes, as it was.
  std::vector<RecordedValue> previous;
};

// Name number `number` (0 .. kRecordNameCount - 1) of the records of the
// module at `modulePath`.
[[nodiscard]] std::string ChangeRecordName(const std::string& modulePath, int number);

// The bytes of `record` as they go to disk. Empty when the record would be
// larger than kMaxChangeRecordSize or a value larger than
// kMaxRecordedValueSize (nothing may then be changed).
[[nodiscard]] std::vector<unsigned char> EncodeChangeRecord(const ChangeRecord& record);

// Reads `length` bytes as a record into `*record`. False when they are not
// a whole record of this format (cut short, longer, damaged, bounds broken):
// `*record` is then unusable.
[[nodiscard]] bool DecodeChangeRecord(const unsigned char* bytes, std::size_t length, ChangeRecord* record);

// "<first kRecordPrefixLength characters of `baseName`>-": the prefix of
// the component's entry records.
[[nodiscard]] std::string EntryRecordPrefix(const char* baseName);

// The index N of a value named "<prefix>N" (N in decimal without leading
// zeros, as entry records are named), or -1 when `valueName` is none of
// the records `prefix` begins. The prefix is compared without case, as the
// registry compares value names.
[[nodiscard]] long EntryRecordIndex(const char* valueName, const std::string& prefix);

// Whether `value` is one that a registration of component `baseName` may
// change: its name under a category or "seeds", or one of its entry records
// under a records sub-key. A record naming anything else is no record of
// this installer's.
[[nodiscard]] bool IsComponentValue(const RecordedValue& value, const char* baseName);

// Writes `record` into a new file at the first free record name of
// `modulePath` (whatever has a name already is left alone and the next one
// is tried), one that only administrators may change
// (platform::OpenMode::CreateGuarded), and syncs it to disk. Returns 0 with the name in `*path`.
// Otherwise returns the error number (kErrNoSpace for a full disk,
// kErrExists when no name is free, kErrFileTooLarge for a record beyond
// kMaxChangeRecordSize) and leaves no file behind.
[[nodiscard]] int WriteChangeRecord(const std::string& modulePath, const ChangeRecord& record, std::string* path);

// What is at a record name.
enum class RecordFound {
  None,        // nothing
  Whole,       // a record, read into `*record`
  Torn,        // a plain file that is no whole record: a run was cut off
               // while writing it, before it changed anything
  Unreadable,  // something that cannot be read, is no plain file, or is
               // not the installer's own (another user made it)
};
// Reads the record at `path` (never through a link, and only one the
// installer made; see platform::ReadPlainFile): the record decides what is
// written below the product key.
[[nodiscard]] RecordFound ReadChangeRecord(const std::string& path, ChangeRecord* record);

// Removes the record at `path` once the change it kept is done or undone
// (as a leftover: only a plain file of one link; see
// platform::RemovePlainFile). 0 or the error number.
[[nodiscard]] int RemoveChangeRecord(const std::string& path);

// Whether the file at `path` is exactly `size` bytes long with the standard
// CRC-32 `crc32`: read only when its size agrees, so never more than `size`
// bytes. False when it cannot be read.
[[nodiscard]] bool FileMatches(const std::string& path, std::uint32_t size, std::uint32_t crc32);
