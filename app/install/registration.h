#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "app/install/registry_key.h"

// Records a component module in the registry, from the records the module
// carries as component/component_reader.h reads them, and writes below
// HKEY_LOCAL_MACHINE\SOFTWARE\Lumora\Verdanelle:
//
//   type 1: plants\<base> REG_SZ display name; seeds\<base> REG_DWORD the
//           seed count, only when it is greater than 0
//   type 2/3/4: animations / sounds / specials \<base> REG_SZ display name;
//           aniint / soundint / specialint \<prefix>-<i> REG_BINARY, the 26
//           bytes of entry i; <prefix> is the first 20 characters of the
//           base name.
//
// These layouts are shared with the screensaver; they stay byte for byte.
//
// Modules come out of packages from folders the user can write to: they are
// read as data files (no code of theirs runs), and every resource that
// registration reads is checked before it is used (ReadComponent; its bytes
// must lie inside the module's image, module_resources.h).

inline constexpr const char kProductKeyPath[] = "SOFTWARE\\Lumora\\Verdanelle";

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
// its `module` through `productKey` (the key below which the screensaver
// looks, kProductKeyPath of HKEY_LOCAL_MACHINE), as described above, as a unit:
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
// Checked before anything is written: everything ReadComponent checks
// (the records' sizes, the type code, the display name's string block
// whole up to the name, every resource read within kMaxResourceSize and
// inside the module's image). The display name is converted from the
// checked copy to the ANSI code page, as many of its characters as fit into
// 299 bytes. Resources registration never reads do not matter, whatever
// their size.
//
// Returns Registered on success, with the copy in `*previous` (may be null)
// so that the caller can still undo the registration
// (RegistrySnapshot::Restore). Otherwise it has written nothing or put
// everything back, and returns NotAComponent for a null module or name or a
// module that fails the checks above, RegistryFailed when a write failed. A
// count or id array missing or unusable is no failure: the component then
// has no entry records.
enum class Registration { Registered, NotAComponent, RegistryFailed };
[[nodiscard]] Registration RegisterComponent(RegistryKey& productKey, HMODULE module,
                                             const char* baseName,
                                             RegistrySnapshot* previous = nullptr);
