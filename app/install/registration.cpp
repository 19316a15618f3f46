#include "app/install/registration.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/app_state.h"
#include "app/install/resource_blob.h"

namespace {

constexpr int kTypeCodeId = 400;
constexpr int kDisplayNameId = 401;
constexpr int kEntryCountId = 402;
constexpr int kEntryIdsId = 403;
constexpr int kSeedCountId = 404;
// Blocks of entry id n are the resources n + 404, n + 405 and n + 406.
constexpr int kFirstBlockOffset = 404;
constexpr int kSecondBlockOffset = 405;
constexpr int kLastBlockOffset = 406;

constexpr int kDisplayNameBufferSize = 300;
constexpr size_t kRecordSize = 26;
constexpr size_t kFirstBlockAt = 2;
constexpr size_t kSecondBlockAt = 12;
constexpr size_t kLastBlockAt = 22;
constexpr size_t kLongBlockSize = 10;
constexpr size_t kShortBlockSize = 4;
// Record names: at most this many characters of the base name, "-", index.
constexpr size_t kRecordPrefixLength = 20;
constexpr size_t kRecordNameBufferSize = 40;
// Registry value names are at most 16,383 characters.
constexpr DWORD kValueNameBufferSize = 16384;
// A string-table block holds 16 strings, each a length and that many
// UTF-16 units.
constexpr int kStringsPerBlock = 16;

// Where each kind of component goes.
struct Kind {
  int typeCode;
  const char* category;       // display name, value named by the base name
  const char* recordsSubKey;  // entry records; null for plants
};
constexpr Kind kKinds[] = {
    {1, "plants", nullptr},
    {2, "animations", "aniint"},
    {3, "sounds", "soundint"},
    {4, "specials", "specialint"},
};

const Kind* KindOf(int typeCode) {
  for (const Kind& kind : kKinds) {
    if (kind.typeCode == typeCode) return &kind;
  }
  return nullptr;
}

int SignExtend16(unsigned low, unsigned high) {
  return static_cast<int16_t>(static_cast<uint16_t>(low | (high << 8)));
}

// Puts the bytes of RCDATA `id` at `out` if the resource is exactly `size`
// bytes long; otherwise leaves `out` as it is (zeros).
void CopyBlock(HMODULE module, int id, unsigned char* out, size_t size) {
  const ResourceBlob blob(module, id, RT_RCDATA);
  const unsigned char* bytes = nullptr;
  uint32_t length = 0;
  if (!blob.GetData(&bytes, &length) || length != size) return;
  std::memcpy(out, bytes, size);
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

// A string block whose strings all lie within its bytes.
bool IsWholeStringBlock(const unsigned char* bytes, uint32_t size) {
  size_t at = 0;
  for (int i = 0; i < kStringsPerBlock && at < size; ++i) {
    if (size - at < 2) return false;
    const size_t units = static_cast<size_t>(bytes[at]) | static_cast<size_t>(bytes[at + 1]) << 8;
    at += 2;
    if (units * 2 > size - at) return false;
    at += units * 2;
  }
  return true;
}

// The entry ids of `module` (sign-extended): false when the count (402) is
// missing, not 2 bytes or negative, or the id array (403) holds fewer ids.
bool ReadEntryIds(HMODULE module, std::vector<int>* ids) {
  int count = 0;
  if (!ReadResourceShort(module, kEntryCountId, &count) || count < 0) return false;
  const ResourceBlob idsBlob(module, kEntryIdsId, RT_RCDATA);
  const unsigned char* bytes = nullptr;
  uint32_t size = 0;
  if (!idsBlob.GetData(&bytes, &size) || size / 2 < static_cast<uint32_t>(count)) return false;
  ids->clear();
  for (int i = 0; i < count; ++i) ids->push_back(SignExtend16(bytes[2 * i], bytes[2 * i + 1]));
  return true;
}

// Whether resource `id` of `type` can be copied as it claims to be: within
// kMaxResourceSize and within the module's image. A missing one can: it is
// read as absent.
bool IsBelievable(HMODULE module, int id, LPCSTR type) {
  const ResourceBlob blob(module, id, type);
  return !blob.Refused() && (blob.Size() == 0 || blob.GetData(nullptr, nullptr));
}

// Every resource that registration copies for a module of `kind`, beyond
// the type code and display-name id that were read already: the string block
// holding the display name, and the seed count, or the count, the ids and
// each entry's blocks. Resources it never reads may be anything (a
// component may carry pictures and sounds of its own).
bool ReadsAreBelievable(HMODULE module, const Kind& kind, int displayNameId) {
  const ResourceBlob strings(module, (displayNameId & 0xFFFF) / kStringsPerBlock + 1, RT_STRING);
  const unsigned char* bytes = nullptr;
  uint32_t size = 0;
  if (strings.Refused() || !strings.GetData(&bytes, &size) || !IsWholeStringBlock(bytes, size)) {
    return false;
  }
  if (kind.recordsSubKey == nullptr) return IsBelievable(module, kSeedCountId, RT_RCDATA);

  if (!IsBelievable(module, kEntryCountId, RT_RCDATA) ||
      !IsBelievable(module, kEntryIdsId, RT_RCDATA)) {
    return false;
  }
  std::vector<int> ids;
  if (!ReadEntryIds(module, &ids)) return true;  // no records, so no blocks are read
  for (const int id : ids) {
    for (const int offset : {kFirstBlockOffset, kSecondBlockOffset, kLastBlockOffset}) {
      if (!IsBelievable(module, id + offset, RT_RCDATA)) return false;
    }
  }
  return true;
}

// Deletes `valueName` and makes sure it is gone.
bool Delete(RegistryKey& key, const char* subKey, const char* valueName) {
  key.DeleteValue(subKey, valueName);
  DWORD type = 0;
  std::vector<unsigned char> data;
  return key.ReadRaw(subKey, valueName, &type, &data) == 0;
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

// What CheckComponentModule checks; the module's kind, with its display
// name in `displayName` (kDisplayNameBufferSize bytes), or null.
const Kind* CheckedKind(HMODULE module, char* displayName) {
  if (module == nullptr) return nullptr;
  int typeCode = 0;
  int displayNameId = 0;
  if (!ReadResourceShort(module, kTypeCodeId, &typeCode) ||
      !ReadResourceShort(module, kDisplayNameId, &displayNameId)) {
    return nullptr;
  }
  const Kind* kind = KindOf(typeCode);
  if (kind == nullptr || !ReadsAreBelievable(module, *kind, displayNameId)) return nullptr;
  if (LoadStringA(module, static_cast<UINT>(displayNameId) & 0xFFFF, displayName,
                  kDisplayNameBufferSize) <= 0) {
    return nullptr;
  }
  return kind;
}

// The registration's writes, with what they replace already kept.
bool WriteComponent(RegistryKey& key, HMODULE module, const char* baseName, const Kind& kind,
                    const char* displayName, RegistrySnapshot& snapshot) {
  if (!snapshot.Keep(key, kind.category, baseName)) return false;
  char prefix[kRecordNameBufferSize] = {};
  const size_t prefixLength = RecordPrefix(baseName, prefix);
  bool seeded = false;
  if (kind.recordsSubKey == nullptr) {
    int seedCount = 0;
    seeded = ReadResourceShort(module, kSeedCountId, &seedCount) && seedCount > 0;
    if (seeded && (!snapshot.Keep(key, "seeds", baseName) ||
                   key.WriteDword("seeds", baseName, static_cast<DWORD>(seedCount)) != 1)) {
      return false;
    }
  } else {
    std::vector<int> ids;
    const size_t count = ReadEntryIds(module, &ids) ? ids.size() : 0;
    for (size_t i = 0; i < count; ++i) {
      char name[kRecordNameBufferSize];
      std::snprintf(name, sizeof name, "%s%u", prefix, static_cast<unsigned>(i));
      if (!snapshot.Keep(key, kind.recordsSubKey, name)) return false;
    }
    int written = 0;
    // Unusable counts or ids are no failure: the component has no records.
    if (!WriteEntryRecords(key, module, baseName, kind.recordsSubKey, &written) && written > 0) {
      return false;
    }
    // Records of an earlier version with more entries.
    if (!DropRecords(key, kind.recordsSubKey, prefix, prefixLength, written, snapshot)) return false;
  }
  // The component is of this kind only now: whatever an earlier version of
  // another kind (or with a seed count) left under its name goes.
  for (const Kind& other : kKinds) {
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
  return key.WriteString(kind.category, baseName, displayName) == 1;
}

}  // namespace

ProductKeyLoan::ProductKeyLoan(RegistryKey& key) : previous(appState.productKey) {
  appState.productKey = &key;
}

ProductKeyLoan::~ProductKeyLoan() { appState.productKey = previous; }

RegistryKey* LentProductKey() { return appState.productKey; }

ComponentModule::ComponentModule(const char* path)
    : module(path != nullptr
                 ? LoadLibraryExA(path, nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)
                 : nullptr) {}

ComponentModule::~ComponentModule() {
  if (module != nullptr) FreeLibrary(module);
}

int CheckComponentModule(HMODULE module) {
  char displayName[kDisplayNameBufferSize];
  return CheckedKind(module, displayName) != nullptr ? 1 : 0;
}

int ReadResourceShort(HMODULE module, int id, int* value) {
  const ResourceBlob blob(module, id, RT_RCDATA);
  const unsigned char* bytes = nullptr;
  uint32_t size = 0;
  if (!blob.GetData(&bytes, &size) || size != 2) return 0;
  if (value != nullptr) *value = SignExtend16(bytes[0], bytes[1]);
  return 1;
}

bool RegistrySnapshot::Keep(RegistryKey& key, const char* subKey, const char* valueName,
                            bool* existed) {
  Value value{subKey, valueName, false, REG_NONE, {}};
  const int found = key.ReadRaw(subKey, valueName, &value.type, &value.data);
  if (found < 0) return false;
  value.existed = found == 1;
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
                               value->data.data(), static_cast<DWORD>(value->data.size())) == 1;
    } else {
      restored &= Delete(key, value->subKey.c_str(), value->name.c_str());
    }
  }
  return restored;
}

Registration RegisterComponent(HMODULE module, const char* baseName, RegistrySnapshot* previous) {
  if (module == nullptr || baseName == nullptr) return Registration::NotAComponent;
  char displayName[kDisplayNameBufferSize];
  const Kind* kind = CheckedKind(module, displayName);
  if (kind == nullptr) return Registration::NotAComponent;
  RegistryKey* key = appState.productKey;
  if (key == nullptr) return Registration::RegistryFailed;

  RegistrySnapshot snapshot;
  if (!WriteComponent(*key, module, baseName, *kind, displayName, snapshot)) {
    snapshot.Restore(*key);
    return Registration::RegistryFailed;
  }
  if (previous != nullptr) *previous = std::move(snapshot);
  return Registration::Registered;
}

int WriteEntryRecords(RegistryKey& key, HMODULE module, const char* baseName,
                      const char* recordsSubKey, int* count) {
  if (count != nullptr) *count = 0;
  if (module == nullptr || baseName == nullptr || recordsSubKey == nullptr) return 0;

  std::vector<int> ids;
  if (!ReadEntryIds(module, &ids)) return 0;
  if (count != nullptr) *count = static_cast<int>(ids.size());

  char name[kRecordNameBufferSize] = {};
  const size_t prefixLength = RecordPrefix(baseName, name);
  int written = 1;
  for (size_t i = 0; i < ids.size() && written; ++i) {
    std::snprintf(name + prefixLength, sizeof name - prefixLength, "%u", static_cast<unsigned>(i));
    written = WriteEntryRecord(key, recordsSubKey, module, name, ids[i]);
  }
  return written;
}

int WriteEntryRecord(RegistryKey& key, const char* recordsSubKey, HMODULE module,
                     const char* valueName, int entryId) {
  unsigned char record[kRecordSize] = {};
  record[0] = static_cast<unsigned char>(entryId & 0xFF);
  record[1] = static_cast<unsigned char>((entryId >> 8) & 0xFF);
  CopyBlock(module, entryId + kFirstBlockOffset, record + kFirstBlockAt, kLongBlockSize);
  CopyBlock(module, entryId + kSecondBlockOffset, record + kSecondBlockAt, kLongBlockSize);
  CopyBlock(module, entryId + kLastBlockOffset, record + kLastBlockAt, kShortBlockSize);
  return key.WriteBinary(recordsSubKey, valueName, record, kRecordSize);
}
