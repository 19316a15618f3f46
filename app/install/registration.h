#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "app/install/change_record.h"
#include "app/install/registry_key.h"
#include "component/resource_source.h"

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
// read as data (no code of theirs runs; module_view.h), and every resource
// that registration reads is checked before it is used (ReadComponent; its
// bytes must lie inside the module file).

inline constexpr const char kProductKeyPath[] = "SOFTWARE\\Lumora\\Verdanelle";

// What the registry held, before a registration, under every name that the
// registration writes or deletes; enough to put it all back.
class RegistrySnapshot {
 public:
  RegistrySnapshot() = default;
  // The values kept by an earlier snapshot (read back from a change record).
  explicit RegistrySnapshot(std::vector<RecordedValue> kept) : values(std::move(kept)) {}

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
  // What was kept, in the order it was kept.
  const std::vector<RecordedValue>& Values() const { return values; }

 private:
  std::vector<RecordedValue> values;
};

enum class Registration;
class RegistrationPlan;
Registration PlanRegistration(RegistryKey&, ResourceSource&, const char*, RegistrationPlan*);
bool ApplyRegistration(RegistryKey&, const RegistrationPlan&);

// A registration worked out, with nothing changed yet: each write and
// deletion in the order it is made, and what the registry holds under each
// of those names now (Previous()), to be kept somewhere safe before the
// first change is made (ApplyRegistration).
class RegistrationPlan {
 public:
  struct Change {
    enum class Kind { Dword, Binary, String, Delete } kind;
    std::string subKey;
    std::string name;
    std::vector<unsigned char> data;  // the DWORD, the bytes or the text with its terminator
  };

  const RegistrySnapshot& Previous() const { return previous; }

 private:
  friend Registration PlanRegistration(RegistryKey&, ResourceSource&, const char*, RegistrationPlan*);
  friend bool ApplyRegistration(RegistryKey&, const RegistrationPlan&);
  std::vector<Change> changes;
  RegistrySnapshot previous;
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
// inside the module). The display name is converted from the
// checked copy to the ANSI code page, as many of its characters as fit into
// 299 bytes. Resources registration never reads do not matter, whatever
// their size.
//
// Returns Registered on success, with the copy in `*previous` (may be null)
// so that the caller can still undo the registration
// (RegistrySnapshot::Restore). Otherwise it has written nothing or put
// everything back, and returns NotAComponent for a null name or a module
// that fails the checks above, RegistryFailed when a value to be
// replaced cannot be read, a key cannot be listed or a write failed. A
// count or id array missing or unusable is no failure: the component then
// has no entry records.
enum class Registration { Registered, NotAComponent, RegistryFailed };
[[nodiscard]] Registration RegisterComponent(RegistryKey& productKey, ResourceSource& module,
                                             const char* baseName,
                                             RegistrySnapshot* previous = nullptr);

// RegisterComponent in two steps, so that what it replaces can be kept on
// disk before anything changes. PlanRegistration reads the module and the
// registry and changes nothing: Registered with the plan in `*plan`, or
// NotAComponent or RegistryFailed as RegisterComponent would fail before
// its first write. ApplyRegistration then makes the plan's changes: true
// when all went in; otherwise it puts back what it changed and returns
// false.
[[nodiscard]] Registration PlanRegistration(RegistryKey& productKey, ResourceSource& module, const char* baseName,
                                            RegistrationPlan* plan);
[[nodiscard]] bool ApplyRegistration(RegistryKey& productKey, const RegistrationPlan& plan);
