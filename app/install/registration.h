#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "app/install/registry_key.h"

// Records a component module in the registry, from the RCDATA records the
// module carries (all ids modulo 65536, numbers little-endian):
//
//   400  2 bytes   type code: 1 plant, 2 animation, 3 sound, 4 special
//   401  2 bytes   string-table id of the display name in the module
//   404  2 bytes   seed count (plants)
//   402  2 bytes   entry count (animations, sounds, specials), not negative
//   403  >= 2 x count bytes: the entry ids, signed 16-bit each
//   id + 404 / id + 405 / id + 406: 10 / 10 / 4 bytes, the blocks of entry id
//
// and writes below HKEY_LOCAL_MACHINE\SOFTWARE\Lumora\Verdanelle:
//
//   type 1: plants\<base> REG_SZ display name; seeds\<base> REG_DWORD the
//           seed count, only when it is greater than 0
//   type 2/3/4: animations / sounds / specials \<base> REG_SZ display name;
//           aniint / soundint / specialint \<prefix>-<i> REG_BINARY, 26 bytes
//           per entry: id (2), block 404 (10), block 405 (10), block 406 (4),
//           each block zeros when its resource is missing or mis-sized;
//           <prefix> is the first 20 characters of the base name.
//
// These layouts are shared with the screensaver; they stay byte for byte.
//
// Modules come out of packages from folders the user can write to: they are
// read as data files (no code of theirs runs), and every size their resource
// directory claims for a resource that registration reads is checked
// (CheckComponentModule, resource_blob.h).

inline constexpr const char kProductKeyPath[] = "SOFTWARE\\Lumora\\Verdanelle";

// The product key is lent to RegisterComponent for the length of one
// installation run. The driver owns the key and lends it with a loan on the
// stack; the loan is withdrawn when it goes out of scope:
//
//   RegistryKey productKey(HKEY_LOCAL_MACHINE, kProductKeyPath);
//   ...
//   ProductKeyLoan loan(productKey);   // RegisterComponent may write now
//   ... walk the components ...
//   // loan ends here, before productKey goes away
//
// Loans nest: the end of an inner loan lends the outer key again. One
// thread only, like the rest of the installer. The lent key is
// appState.productKey.
class ProductKeyLoan {
 public:
  explicit ProductKeyLoan(RegistryKey& key);
  ~ProductKeyLoan();

  ProductKeyLoan(const ProductKeyLoan&) = delete;
  ProductKeyLoan& operator=(const ProductKeyLoan&) = delete;

 private:
  RegistryKey* previous;
};

// The key currently lent, or null outside a loan.
RegistryKey* LentProductKey();

// A component module opened for reading its resources only: mapped as a data
// file, so that neither its entry point nor its TLS callbacks run, and
// readable whatever its bitness (a 64-bit installer reads 32-bit modules and
// the other way round). Closed when the object goes away.
class ComponentModule {
 public:
  explicit ComponentModule(const char* path);
  ~ComponentModule();
  ComponentModule(const ComponentModule&) = delete;
  ComponentModule& operator=(const ComponentModule&) = delete;

  // The handle for FindResourceA, LoadResource and LoadStringA; null when
  // the file could not be opened as a module.
  HMODULE Get() const { return module; }

 private:
  HMODULE module;
};

// What registration would find in `module`, checked before anything is
// written or the module replaces an installed one: record 400 a known type
// code, record 401 present and the display name it names loadable, and
// every resource that registration copies within kMaxResourceSize and
// within the module's image: 400, 401, the string block holding the display
// name (and holding its strings), 404 for a plant, 402 and 403 and each
// entry's three blocks for the other kinds. Resources it never reads do not
// matter, whatever their size. Returns 1 when the module passes, 0
// otherwise (also for a null module).
[[nodiscard]] int CheckComponentModule(HMODULE module);

// Reads RCDATA `id` (modulo 65536) of `module`. If it exists and is exactly
// 2 bytes long, stores its sign-extended 16-bit value in `*value` and returns
// 1; otherwise returns 0 and leaves `*value` as it was.
[[nodiscard]] int ReadResourceShort(HMODULE module, int id, int* value);

// What the registry held, before a registration, under every name that the
// registration writes or deletes; enough to put it all back.
class RegistrySnapshot {
 public:
  // Keeps the value `valueName` of `subKey` as it is now (type and bytes as
  // stored, whatever characters a text holds), or that there is none; tells
  // which in `*existed` (may be null). False when it exists but cannot be
  // read (nothing may be written over it then).
  [[nodiscard]] bool Keep(RegistryKey& key, const char* subKey, const char* valueName,
                          bool* existed = nullptr);
  // Rewrites every kept value that existed, byte for byte, and deletes every
  // kept name that did not. True when all of it went back.
  bool Restore(RegistryKey& key) const;
  bool Empty() const { return values.empty(); }

 private:
  struct Value {
    std::string subKey;
    std::string name;
    bool existed;
    DWORD type;
    std::vector<unsigned char> data;
  };
  std::vector<Value> values;
};

// Registers the component `baseName` (as written in the component list) from
// its `module` through the lent product key, as described above, as a unit:
// either every value goes in, or the registry is left exactly as it was
// found. Before writing or deleting, it keeps a copy of what the component's
// names hold (display names, seed count, its <prefix>-N entry records);
// when any write or deletion fails it puts the copy back. After a
// successful registration the component is there as its module describes it
// now, and as nothing else: its entry records numbered at or beyond the new
// count (an earlier version with more entries) are gone, and so are its
// name in the other categories, its entry records under the other kinds'
// record keys (an earlier version of another kind) and its seed count
// unless the module is a plant with one. Names and records of other
// components stay, also those that begin like this one (the <prefix>- of
// record names is compared without case, as the registry does).
//
// Returns Registered on success, with the copy in `*previous` (may be null)
// so that the caller can still undo the registration
// (RegistrySnapshot::Restore). Otherwise it has written nothing or put
// everything back, and returns NotAComponent for a null module or name or a
// module that CheckComponentModule refuses, RegistryFailed when no key is
// lent or a write failed. A count or id array missing or unusable is no
// failure: the component then has no entry records.
enum class Registration { Registered, NotAComponent, RegistryFailed };
[[nodiscard]] Registration RegisterComponent(HMODULE module, const char* baseName,
                                             RegistrySnapshot* previous = nullptr);

// Writes the entry records of `module` under `recordsSubKey` of `key`: 1 when
// every record was written (also for a count of 0), 0 for null arguments, a
// count or id array missing or unusable, or a failed write; the first failed
// write ends the records. The number of records it meant to write goes to
// `*count` (0 when the count or ids are unusable).
[[nodiscard]] int WriteEntryRecords(RegistryKey& key, HMODULE module, const char* baseName,
                                    const char* recordsSubKey, int* count);

// Builds the 26-byte record of `entryId` (sign-extended 16-bit) from the
// module's blocks and writes it as REG_BINARY `valueName` under
// `recordsSubKey` of `key`. Returns the result of the write.
[[nodiscard]] int WriteEntryRecord(RegistryKey& key, const char* recordsSubKey, HMODULE module,
                                   const char* valueName, int entryId);
