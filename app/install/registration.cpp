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
// or -1 when the name is not one of this component's records.
long RecordIndexOf(const char* valueName, const char* prefix, size_t prefixLength) {
  if (std::strncmp(valueName, prefix, prefixLength) != 0) return -1;
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
bool IsSoundStringBlock(const unsigned char* bytes, uint32_t size) {
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

// EnumResourceNamesA callback: clears *sound (an int) at the first resource
// that cannot be believed, and stops there.
BOOL CALLBACK CheckResource(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR sound) {
  const ResourceBlob blob(module, name, type);
  const unsigned char* bytes = nullptr;
  uint32_t size = 0;
  bool believed = !blob.Refused() && blob.GetData(&bytes, &size);
  if (believed && type == RT_STRING) believed = IsSoundStringBlock(bytes, size);
  if (believed) return TRUE;
  *reinterpret_cast<int*>(sound) = 0;
  return FALSE;
}

// Every existing value of `subKey` named "<prefix>N", kept in `snapshot`;
// their indices go to `indices`. False when the key cannot be listed or a
// value cannot be kept.
bool KeepRecords(RegistryKey& key, const char* subKey, const char* prefix, size_t prefixLength,
                 RegistrySnapshot& snapshot, std::vector<long>& indices) {
  std::vector<char> name(kValueNameBufferSize);
  std::vector<std::string> found;
  if (!key.BeginEnum(subKey)) return false;
  while (key.NextValue(name.data(), kValueNameBufferSize)) {
    if (RecordIndexOf(name.data(), prefix, prefixLength) >= 0) found.emplace_back(name.data());
  }
  key.EndEnum();
  for (const std::string& value : found) {
    if (!snapshot.Keep(key, subKey, value.c_str())) return false;
    indices.push_back(RecordIndexOf(value.c_str(), prefix, prefixLength));
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

// What CheckComponentModule checks; the module's kind, with its display
// name in `displayName` (kDisplayNameBufferSize bytes), or null.
const Kind* CheckedKind(HMODULE module, char* displayName) {
  if (module == nullptr) return nullptr;
  int sound = 1;
  for (LPCSTR type : {RT_RCDATA, RT_STRING}) {
    // A module without resources of a type has nothing to check there.
    EnumResourceNamesA(module, type, CheckResource, reinterpret_cast<LONG_PTR>(&sound));
    if (!sound) return nullptr;
  }
  int typeCode = 0;
  int displayNameId = 0;
  if (!ReadResourceShort(module, kTypeCodeId, &typeCode) ||
      !ReadResourceShort(module, kDisplayNameId, &displayNameId) ||
      LoadStringA(module, static_cast<UINT>(displayNameId) & 0xFFFF, displayName,
                  kDisplayNameBufferSize) <= 0) {
    return nullptr;
  }
  return KindOf(typeCode);
}

// The registration's writes, with what they replace already kept.
bool WriteComponent(RegistryKey& key, HMODULE module, const char* baseName, const Kind& kind,
                    const char* displayName, RegistrySnapshot& snapshot) {
  if (!snapshot.Keep(key, kind.category, baseName)) return false;
  if (kind.recordsSubKey == nullptr) {
    int seedCount = 0;
    if (!ReadResourceShort(module, kSeedCountId, &seedCount) || seedCount <= 0) {
      return key.WriteString(kind.category, baseName, displayName) == 1;
    }
    if (!snapshot.Keep(key, "seeds", baseName)) return false;
    return key.WriteDword("seeds", baseName, static_cast<DWORD>(seedCount)) == 1 &&
           key.WriteString(kind.category, baseName, displayName) == 1;
  }

  char prefix[kRecordNameBufferSize] = {};
  const size_t prefixLength = RecordPrefix(baseName, prefix);
  std::vector<long> existing;
  if (!KeepRecords(key, kind.recordsSubKey, prefix, prefixLength, snapshot, existing)) return false;
  // Records it adds beyond the existing ones are kept as absent.
  int count = 0;
  int countValue = 0;
  if (ReadResourceShort(module, kEntryCountId, &countValue) && countValue > 0) count = countValue;
  for (int i = 0; i < count; ++i) {
    char name[kRecordNameBufferSize];
    std::snprintf(name, sizeof name, "%s%d", prefix, i);
    if (!snapshot.Keep(key, kind.recordsSubKey, name)) return false;
  }
  int written = 0;
  // Unusable counts or ids are no failure: the component has no records.
  if (!WriteEntryRecords(key, module, baseName, kind.recordsSubKey, &written) && written > 0) {
    return false;
  }
  for (const long index : existing) {
    if (index < written) continue;
    char name[kRecordNameBufferSize];
    std::snprintf(name, sizeof name, "%s%ld", prefix, index);
    if (!Delete(key, kind.recordsSubKey, name)) return false;
  }
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

bool RegistrySnapshot::Keep(RegistryKey& key, const char* subKey, const char* valueName) {
  Value value{subKey, valueName, false, REG_NONE, {}};
  const int found = key.ReadRaw(subKey, valueName, &value.type, &value.data);
  if (found < 0) return false;
  value.existed = found == 1;
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

  const ResourceBlob countBlob(module, kEntryCountId, RT_RCDATA);
  const ResourceBlob idsBlob(module, kEntryIdsId, RT_RCDATA);
  const unsigned char* countBytes = nullptr;
  const unsigned char* ids = nullptr;
  uint32_t countSize = 0;
  uint32_t idsSize = 0;
  if (!countBlob.GetData(&countBytes, &countSize) || countSize != 2) return 0;
  const int entries = SignExtend16(countBytes[0], countBytes[1]);
  if (entries < 0) return 0;
  if (!idsBlob.GetData(&ids, &idsSize) || idsSize / 2 < static_cast<uint32_t>(entries)) return 0;
  if (count != nullptr) *count = entries;

  char name[kRecordNameBufferSize] = {};
  const size_t prefixLength = RecordPrefix(baseName, name);
  int written = 1;
  for (int i = 0; i < entries && written; ++i) {
    std::snprintf(name + prefixLength, sizeof name - prefixLength, "%d", i);
    const int entryId = SignExtend16(ids[2 * i], ids[2 * i + 1]);
    written = WriteEntryRecord(key, recordsSubKey, module, name, entryId);
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
