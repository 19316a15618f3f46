#include "app/install/registration.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/install/module_resources.h"
#include "component/component_reader.h"

namespace {

// The display name has always been read into a buffer of this many bytes,
// its terminator included.
constexpr size_t kDisplayNameBufferSize = kDisplayNameBytes + 1;
// Record names: at most this many characters of the base name, "-", index.
constexpr size_t kRecordPrefixLength = 20;
constexpr size_t kRecordNameBufferSize = 40;
// Registry value names are at most 16,383 characters.
constexpr DWORD kValueNameBufferSize = 16384;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// The display name of `component` in the ANSI code page, as the installer
// has always written it: of its units, as many as convert into
// kDisplayNameBytes bytes (never half a surrogate pair), then the
// terminator. False when nothing converts.
bool ToAnsi(const ComponentRecords& component, char* text) {
  wchar_t units[kMaxDisplayNameUnits];
  int count = static_cast<int>(std::min(component.displayNameLength, kMaxDisplayNameUnits));
  std::copy(component.displayName, component.displayName + count, units);
  while (count > 0) {
    const int written = WideCharToMultiByte(CP_ACP, 0, units, count, text, static_cast<int>(kDisplayNameBytes),
                                            nullptr, nullptr);
    if (written > 0) {
      text[written] = '\0';
      return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    --count;
    if (count > 0 && IsHighSurrogate(component.displayName[count - 1])) --count;
  }
  return false;
}

// "<first 20 characters of the base name>-" into `name`; its length.
size_t RecordPrefix(const char* baseName, char* name) {
  size_t length = 0;
  while (length < kRecordPrefixLength && baseName[length] != '\0') {
    name[length] = baseName[length];
    ++length;
  }
  name[length++] = '-';
  name[length] = '\0';
  return length;
}

// The N of a value named "<prefix>N" (N decimal, as the records are named),
// or -1 when the name is not one of this component's records. The prefix is
// compared without case, as the registry compares value names.
long RecordIndexOf(const char* valueName, const char* prefix, size_t prefixLength) {
  if (_strnicmp(valueName, prefix, prefixLength) != 0) return -1;
  const char* digits = valueName + prefixLength;
  if (*digits == '\0' || (digits[0] == '0' && digits[1] != '\0')) return -1;
  long index = 0;
  for (const char* d = digits; *d != '\0'; ++d) {
    if (*d < '0' || *d > '9' || index > 100000) return -1;
    index = index * 10 + (*d - '0');
  }
  return index;
}

// Deletes `valueName` and makes sure it is gone.
bool Delete(RegistryKey& key, const char* subKey, const char* valueName) {
  key.DeleteValue(subKey, valueName);
  DWORD type = 0;
  std::vector<unsigned char> data;
  return key.ReadRaw(subKey, valueName, &type, &data) == RegistryKey::Stored::None;
}

// Keeps `valueName` in `snapshot` and deletes it, if it exists.
bool Drop(RegistryKey& key, const char* subKey, const char* valueName,
          RegistrySnapshot& snapshot) {
  bool existed = false;
  if (!snapshot.Keep(key, subKey, valueName, &existed)) return false;
  return !existed || Delete(key, subKey, valueName);
}

// Drops every value of `subKey` named "<prefix>N" with N at least `from`.
// False when the key cannot be listed or a value cannot be kept or deleted.
bool DropRecords(RegistryKey& key, const char* subKey, const char* prefix, size_t prefixLength,
                 long from, RegistrySnapshot& snapshot) {
  std::vector<char> name(kValueNameBufferSize);
  std::vector<std::string> found;
  if (!key.BeginEnum(subKey)) return false;
  while (key.NextValue(name.data(), kValueNameBufferSize)) {
    if (RecordIndexOf(name.data(), prefix, prefixLength) >= from) found.emplace_back(name.data());
  }
  key.EndEnum();
  for (const std::string& value : found) {
    if (!Drop(key, subKey, value.c_str(), snapshot)) return false;
  }
  return true;
}

// The registration's writes, with what they replace already kept.
bool WriteComponent(RegistryKey& key, const char* baseName, const ComponentRecords& component,
                    const char* displayName, RegistrySnapshot& snapshot) {
  const ComponentKind& kind = *component.kind;
  if (!snapshot.Keep(key, kind.category, baseName)) return false;
  char prefix[kRecordNameBufferSize] = {};
  const size_t prefixLength = RecordPrefix(baseName, prefix);
  const bool seeded = component.seedCount > 0;
  if (seeded && (!snapshot.Keep(key, "seeds", baseName) ||
                 !key.WriteDword("seeds", baseName, static_cast<DWORD>(component.seedCount)))) {
    return false;
  }
  if (kind.recordsSubKey != nullptr) {
    for (size_t i = 0; i < component.entries.size(); ++i) {
      char name[kRecordNameBufferSize];
      std::snprintf(name, sizeof name, "%s%u", prefix, static_cast<unsigned>(i));
      if (!snapshot.Keep(key, kind.recordsSubKey, name) ||
          !key.WriteBinary(kind.recordsSubKey, name, component.entries[i].data(), kEntryRecordSize)) {
        return false;
      }
    }
    // Records of an earlier version with more entries.
    if (!DropRecords(key, kind.recordsSubKey, prefix, prefixLength, static_cast<long>(component.entries.size()),
                     snapshot)) {
      return false;
    }
  }
  // The component is of this kind only now: whatever an earlier version of
  // another kind (or with a seed count) left under its name goes.
  for (const ComponentKind& other : kComponentKinds) {
    if (&other == &kind) continue;
    if (!Drop(key, other.category, baseName, snapshot)) return false;
    if (other.recordsSubKey != nullptr &&
        !DropRecords(key, other.recordsSubKey, prefix, prefixLength, 0, snapshot)) {
      return false;
    }
  }
  if (!seeded && !Drop(key, "seeds", baseName, snapshot)) return false;
  // The display name goes in last: it is what makes the screensaver list the
  // component at all.
  return key.WriteString(kind.category, baseName, displayName);
}

}  // namespace

ComponentModule::ComponentModule(const char* path)
    : module(path != nullptr
                 ? LoadLibraryExA(path, nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)
                 : nullptr) {}

ComponentModule::~ComponentModule() {
  if (module != nullptr) FreeLibrary(module);
}

bool RegistrySnapshot::Keep(RegistryKey& key, const char* subKey, const char* valueName,
                            bool* existed) {
  Value value{subKey, valueName, false, REG_NONE, {}};
  const RegistryKey::Stored found = key.ReadRaw(subKey, valueName, &value.type, &value.data);
  if (found == RegistryKey::Stored::Unreadable) return false;
  value.existed = found == RegistryKey::Stored::Value;
  if (existed != nullptr) *existed = value.existed;
  values.push_back(std::move(value));
  return true;
}

bool RegistrySnapshot::Restore(RegistryKey& key) const {
  bool restored = true;
  // Newest first, so that a name kept twice ends as it first was.
  for (auto value = values.rbegin(); value != values.rend(); ++value) {
    if (value->existed) {
      restored &= key.WriteRaw(value->subKey.c_str(), value->name.c_str(), value->type,
                               value->data.data(), static_cast<DWORD>(value->data.size()));
    } else {
      restored &= Delete(key, value->subKey.c_str(), value->name.c_str());
    }
  }
  return restored;
}

Registration RegisterComponent(RegistryKey& productKey, HMODULE module, const char* baseName,
                               RegistrySnapshot* previous) {
  if (module == nullptr || baseName == nullptr) return Registration::NotAComponent;
  ModuleResources resources(module);
  ComponentRecords component;
  char displayName[kDisplayNameBufferSize];
  if (!ReadComponent(resources, &component, nullptr) || !ToAnsi(component, displayName)) {
    return Registration::NotAComponent;
  }

  RegistrySnapshot snapshot;
  if (!WriteComponent(productKey, baseName, component, displayName, snapshot)) {
    snapshot.Restore(productKey);
    return Registration::RegistryFailed;
  }
  if (previous != nullptr) *previous = std::move(snapshot);
  return Registration::Registered;
}
