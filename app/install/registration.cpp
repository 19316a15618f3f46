#include "app/install/registration.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "component/component_reader.h"

namespace {

// The display name has always been read into a buffer of this many bytes,
// its terminator included.
constexpr size_t kDisplayNameBufferSize = kDisplayNameBytes + 1;
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

// Deletes `valueName` and makes sure it is gone.
bool Delete(RegistryKey& key, const char* subKey, const char* valueName) {
  key.DeleteValue(subKey, valueName);
  DWORD type = 0;
  std::vector<unsigned char> data;
  return key.ReadRaw(subKey, valueName, &type, &data) == RegistryKey::Stored::None;
}

// Works out the changes of one registration into a plan, keeping what each
// name holds before its change is planned.
class Planner {
 public:
  Planner(RegistryKey& key, std::vector<RegistrationPlan::Change>& changes, RegistrySnapshot& previous)
      : key(key), changes(changes), previous(previous) {}

  // `valueName` of `subKey` is written with `data` as `kind`.
  bool Write(RegistrationPlan::Change::Kind kind, const char* subKey, const char* valueName, const void* data,
             size_t size) {
    if (!previous.Keep(key, subKey, valueName)) return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    changes.push_back({kind, subKey, valueName, std::vector<unsigned char>(bytes, bytes + size)});
    return true;
  }
  // `valueName` of `subKey` goes, if it is there.
  bool Drop(const char* subKey, const char* valueName) {
    bool existed = false;
    if (!previous.Keep(key, subKey, valueName, &existed)) return false;
    if (existed) changes.push_back({RegistrationPlan::Change::Kind::Delete, subKey, valueName, {}});
    return true;
  }
  // Every value of `subKey` named "<prefix>N" with N at least `from` goes.
  // False when the key cannot be listed.
  bool DropRecords(const char* subKey, const std::string& prefix, long from) {
    std::vector<char> name(kValueNameBufferSize);
    std::vector<std::string> found;
    if (!key.BeginEnum(subKey)) return false;
    while (key.NextValue(name.data(), kValueNameBufferSize)) {
      if (EntryRecordIndex(name.data(), prefix) >= from) found.emplace_back(name.data());
    }
    key.EndEnum();
    for (const std::string& value : found) {
      if (!Drop(subKey, value.c_str())) return false;
    }
    return true;
  }

 private:
  RegistryKey& key;
  std::vector<RegistrationPlan::Change>& changes;
  RegistrySnapshot& previous;
};

// The registration's changes, in the order they are made.
bool PlanChanges(Planner& plan, const char* baseName, const ComponentRecords& component, const char* displayName) {
  using Kind = RegistrationPlan::Change::Kind;
  const ComponentKind& kind = *component.kind;
  const std::string prefix = EntryRecordPrefix(baseName);
  const bool seeded = component.seedCount > 0;
  const DWORD seedCount = static_cast<DWORD>(component.seedCount);
  if (seeded && !plan.Write(Kind::Dword, "seeds", baseName, &seedCount, sizeof seedCount)) return false;
  if (kind.recordsSubKey != nullptr) {
    for (size_t i = 0; i < component.entries.size(); ++i) {
      const std::string name = prefix + std::to_string(i);
      if (!plan.Write(Kind::Binary, kind.recordsSubKey, name.c_str(), component.entries[i].data(),
                      kEntryRecordSize)) {
        return false;
      }
    }
    // Records of an earlier version with more entries.
    if (!plan.DropRecords(kind.recordsSubKey, prefix, static_cast<long>(component.entries.size()))) return false;
  }
  // The component is of this kind only now: whatever an earlier version of
  // another kind (or with a seed count) left under its name goes.
  for (const ComponentKind& other : kComponentKinds) {
    if (&other == &kind) continue;
    if (!plan.Drop(other.category, baseName)) return false;
    if (other.recordsSubKey != nullptr && !plan.DropRecords(other.recordsSubKey, prefix, 0)) return false;
  }
  if (!seeded && !plan.Drop("seeds", baseName)) return false;
  // The display name goes in last: it is what makes the screensaver list the
  // component at all.
  return plan.Write(Kind::String, kind.category, baseName, displayName, std::strlen(displayName) + 1);
}

bool MakeChange(RegistryKey& key, const RegistrationPlan::Change& change) {
  using Kind = RegistrationPlan::Change::Kind;
  const char* subKey = change.subKey.c_str();
  const char* name = change.name.c_str();
  switch (change.kind) {
    case Kind::Dword: {
      DWORD value = 0;
      std::memcpy(&value, change.data.data(), sizeof value);
      return key.WriteDword(subKey, name, value);
    }
    case Kind::Binary:
      return key.WriteBinary(subKey, name, change.data.data(), static_cast<DWORD>(change.data.size()));
    case Kind::String:
      return key.WriteString(subKey, name, reinterpret_cast<const char*>(change.data.data()));
    case Kind::Delete:
      return Delete(key, subKey, name);
  }
  return false;
}

}  // namespace

bool RegistrySnapshot::Keep(RegistryKey& key, const char* subKey, const char* valueName,
                            bool* existed) {
  RecordedValue value{subKey, valueName, false, REG_NONE, {}};
  DWORD type = REG_NONE;
  const RegistryKey::Stored found = key.ReadRaw(subKey, valueName, &type, &value.data);
  if (found == RegistryKey::Stored::Unreadable) return false;
  value.type = type;
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

Registration PlanRegistration(RegistryKey& productKey, ResourceSource& module, const char* baseName,
                              RegistrationPlan* plan) {
  if (baseName == nullptr) return Registration::NotAComponent;
  ComponentRecords component;
  char displayName[kDisplayNameBufferSize];
  if (!ReadComponent(module, &component, nullptr) || !ToAnsi(component, displayName)) {
    return Registration::NotAComponent;
  }
  *plan = RegistrationPlan();
  Planner planner(productKey, plan->changes, plan->previous);
  if (!PlanChanges(planner, baseName, component, displayName)) return Registration::RegistryFailed;
  return Registration::Registered;
}

bool ApplyRegistration(RegistryKey& productKey, const RegistrationPlan& plan) {
  for (const RegistrationPlan::Change& change : plan.changes) {
    if (!MakeChange(productKey, change)) {
      plan.previous.Restore(productKey);
      return false;
    }
  }
  return true;
}

Registration RegisterComponent(RegistryKey& productKey, ResourceSource& module, const char* baseName,
                               RegistrySnapshot* previous) {
  RegistrationPlan plan;
  const Registration planned = PlanRegistration(productKey, module, baseName, &plan);
  if (planned != Registration::Registered) return planned;
  if (!ApplyRegistration(productKey, plan)) return Registration::RegistryFailed;
  if (previous != nullptr) *previous = plan.Previous();
  return Registration::Registered;
}
