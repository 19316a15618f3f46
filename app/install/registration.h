#pragma once

#include <windows.h>

#include <cstddef>

#include "app/install/registry_key.h"

// Records a loaded component module in the registry, from the RCDATA records
// the module carries (all ids modulo 65536, numbers little-endian):
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
// thread only, like the rest of the installer.
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

// Reads RCDATA `id` (modulo 65536) of `module`. If it exists and is exactly
// 2 bytes long, stores its sign-extended 16-bit value in `*value` and returns
// 1; otherwise returns 0 and leaves `*value` as it was.
[[nodiscard]] int ReadResourceShort(HMODULE module, int id, int* value);

// Registers the component `baseName` (as written in the component list) from
// its loaded `module` through the lent product key, as described above.
// Returns 1 when the display name was written, 0 otherwise: no key lent, a
// null module or name, type code or display-name id missing or mis-sized,
// display name missing from the string table, a type code other than 1 to 4
// (in all of these nothing is written), or the display name's write failed.
// A plant's seed count and the entry records are written before the display
// name and do not change the result; what was written stays on failure.
[[nodiscard]] int RegisterComponent(HMODULE module, const char* baseName);

// Writes the entry records of `module` under `recordsSubKey` of the product
// key, through a key of its own (not the lent one). Returns 1 when every
// record was written (also for a count of 0), 0 for null arguments, a count
// or id array missing or unusable, or a failed write; the first failed
// write ends the records, the ones before it stay.
[[nodiscard]] int WriteEntryRecords(HMODULE module, const char* baseName,
                                    const char* recordsSubKey);

// Builds the 26-byte record of `entryId` (sign-extended 16-bit) from the
// module's blocks and writes it as REG_BINARY `valueName` under
// `recordsSubKey` of `key`. Returns the result of the write.
[[nodiscard]] int WriteEntryRecord(RegistryKey& key, const char* recordsSubKey, HMODULE module,
                                   const char* valueName, int entryId);
