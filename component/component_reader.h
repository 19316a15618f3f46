#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "component/resource_source.h"

// What registration takes from a component module, with every check on it,
// for the installer (over the module it opened as data) and for
// `ppk inspect` (over the bytes of a module file) alike.
//
// The module's records (RCDATA, ids modulo 65536, numbers 16-bit
// little-endian, signed):
//
//   400  exactly 2 bytes: type code, one of kComponentKinds
//   401  exactly 2 bytes: id of the display name in the module's string table
//   404  plants: exactly 2 bytes, the seed count (written only above 0)
//   402  animations, sounds, specials: exactly 2 bytes, the entry count, not
//        negative
//   403  at least 2 x count bytes: the entry ids (bytes beyond are not read)
//   id + 404, id + 405, id + 406: exactly 10, 10 and 4 bytes, the blocks of
//        entry id (any other size, or none: zeros in their place)
//
// These layouts, and the registry values made of them, are shared with the
// screensaver; they stay byte for byte.

// The largest resource registration reads. Every record fits: the largest,
// 403, holds at most 32,767 two-byte ids (65,534 bytes), and a string block
// 16 strings. A resource that registration reads and that claims more makes
// the module refused, whatever of it would be used; one it never reads may
// be any size (a component may carry pictures and sounds of its own).
constexpr std::uint32_t kMaxResourceSize = 64 * 1024;

// An entry's registry value: its id (2 bytes), then its blocks (10, 10, 4).
constexpr std::size_t kEntryRecordSize = 26;

// The most entries a component may have; one that announces more is
// refused. Each entry is registry work (a value kept, written and perhaps
// put back) and three lookups, and a module is untrusted: its count alone
// must not decide how long the installer works. So at most
// kMaxBytesReadPerModule bytes of a module are ever read: its two numbers,
// one string block, the count and the ids, and three blocks per entry.
constexpr int kMaxEntries = 4096;
constexpr std::uint32_t kMaxBytesReadPerModule = 2 + 2 + kMaxResourceSize + 2 + kMaxResourceSize + kMaxEntries * 24;

// The display name goes into the registry as at most this many bytes, as a
// 300-byte buffer with its terminator has always held it.
constexpr std::size_t kDisplayNameBytes = 299;
// Units of the display name kept: in any ANSI code page a unit gives at
// least one byte and a surrogate pair at least one, so no conversion into
// kDisplayNameBytes uses more.
constexpr std::size_t kMaxDisplayNameUnits = 2 * kDisplayNameBytes;

// A kind of component and where its values go below the product key.
struct ComponentKind {
  int typeCode;               // record 400
  const char* name;           // for people: "plant"
  const char* category;       // sub-key of the display name, value <base>
  bool seeded;                // has a seed count (record 404) under "seeds"
  const char* recordsSubKey;  // sub-key of the entry records; null: none
};
inline constexpr ComponentKind kComponentKinds[] = {
    {1, "plant", "plants", true, nullptr},
    {2, "animation", "animations", false, "aniint"},
    {3, "sound", "sounds", false, "soundint"},
    {4, "special", "specials", false, "specialint"},
};

// One thing the reader found in a module that its vendor should hear of:
// a reason why the installer refuses the module, or something registration
// mends without a word (the installer says nothing about those).
struct Finding {
  enum class Record : std::uint8_t {
    TypeCode,       // 400
    DisplayNameId,  // 401
    StringBlock,    // the string block that holds the display name
    DisplayName,    // the display name itself
    SeedCount,      // 404
    EntryCount,     // 402
    EntryIds,       // 403
    FirstBlock,     // entry id + 404 of entry `entry`
    SecondBlock,    // entry id + 405
    LastBlock,      // entry id + 406
  };
  enum class Problem : std::uint8_t {
    Missing,        // the module has no such resource
    WrongSize,      // `size` bytes where exactly `expected` are wanted
    Unreadable,     // it claims bytes outside the module, or cannot be loaded
    OverLimit,      // it claims `size` bytes, more than kMaxResourceSize
    NoKind,         // type code `value` is none of kComponentKinds
    NotPositive,    // seed count `value` is 0 or below, so none is written
    Negative,       // entry count `value` is below 0
    TooMany,        // entry count `value` is above `expected`, kMaxEntries
    FewerIds,       // `size` bytes, fewer than the `expected` the count needs
    StrayBytes,     // `size` bytes, more than the `expected` the count needs
    StringPastEnd,  // string `value` runs past the end of the block
    EndsEarly,      // the block ends before string `value`
    Empty,          // string `value` is empty
  };
  Record record;
  Problem problem;
  bool refuses;                // the installer refuses the module for it
  std::uint16_t id = 0;        // the resource (for DisplayName, the string)
  std::uint32_t size = 0;      // its size, where one was found
  std::uint32_t expected = 0;  // see Problem
  std::int32_t value = 0;      // see Problem
  std::uint32_t entry = 0;     // blocks: the entry's index
};

// What registration writes for a module.
struct ComponentRecords {
  const ComponentKind* kind = nullptr;
  // The display name's string id (record 401, modulo 65536) and its UTF-16
  // units, copied from the checked string block: the first
  // min(displayNameLength, kMaxDisplayNameUnits) of them are kept.
  std::uint16_t displayNameId = 0;
  char16_t displayName[kMaxDisplayNameUnits] = {};
  std::size_t displayNameLength = 0;
  // The seed count to write; 0 when none is written (no plant, or its
  // record missing, mis-sized, 0 or negative).
  int seedCount = 0;
  // Entry i's registry value, in order: its id, then its three blocks.
  std::vector<std::array<unsigned char, kEntryRecordSize>> entries;
};

// Reads the component that `source` holds, as registration takes it, into
// `*component`. Checks, in this order: 400 and 401 (present, 2 bytes), the
// type code, the string block of the display name (present, each of its
// strings within it, holding the strings up to the display name, which is
// not empty), then what the kind reads: 404, or 402, 403 and each entry's
// three blocks. Every resource read must be found or missing as the source
// tells, never refused, and at most kMaxResourceSize bytes; only those
// read, of the exact sizes above, are copied.
//
// Returns true when registration takes the module. Returns false when the
// installer refuses it; `*component` is then unusable. `findings` (may be
// null) gets what was found on the way: each thing mended, and on refusal,
// last, the reason (the only finding with `refuses`).
[[nodiscard]] bool ReadComponent(ResourceSource& source, ComponentRecords* component,
                                 std::vector<Finding>* findings);
