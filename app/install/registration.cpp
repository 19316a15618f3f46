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

}  // namespace

ProductKeyLoan::ProductKeyLoan(RegistryKey& key) : previous(appState.productKey) {
  appState.productKey = &key;
}

ProductKeyLoan::~ProductKeyLoan() { appState.productKey = previous; }

RegistryKey* LentProductKey() { return appState.productKey; }

int ReadResourceShort(HMODULE module, int id, int* value) {
  const ResourceBlob blob(module, id, RT_RCDATA);
  const unsigned char* bytes = nullptr;
  uint32_t size = 0;
  if (!blob.GetData(&bytes, &size) || size != 2) return 0;
  if (value != nullptr) *value = SignExtend16(bytes[0], bytes[1]);
  return 1;
}

int RegisterComponent(HMODULE module, const char* baseName) {
  RegistryKey* productKey = appState.productKey;
  if (productKey == nullptr || module == nullptr || baseName == nullptr) return 0;

  int typeCode = 0;
  int displayNameId = 0;
  if (!ReadResourceShort(module, kTypeCodeId, &typeCode)) return 0;
  if (!ReadResourceShort(module, kDisplayNameId, &displayNameId)) return 0;
  char displayName[kDisplayNameBufferSize];
  if (LoadStringA(module, static_cast<UINT>(displayNameId) & 0xFFFF, displayName,
                  kDisplayNameBufferSize) <= 0) {
    return 0;
  }

  const char* category = nullptr;
  switch (typeCode) {
    case 1: {
      int seedCount = 0;
      if (ReadResourceShort(module, kSeedCountId, &seedCount) && seedCount > 0) {
        // A seed count that cannot be written still leaves the plant listed.
        (void)productKey->WriteDword("seeds", baseName, static_cast<DWORD>(seedCount));
      }
      category = "plants";
      break;
    }
    case 2:
      (void)WriteEntryRecords(module, baseName, "aniint");
      category = "animations";
      break;
    case 3:
      (void)WriteEntryRecords(module, baseName, "soundint");
      category = "sounds";
      break;
    case 4:
      (void)WriteEntryRecords(module, baseName, "specialint");
      category = "specials";
      break;
    default:
      return 0;
  }
  // The display name goes in whatever became of the records: it is what
  // makes the screensaver list the component at all.
  return productKey->WriteString(category, baseName, displayName);
}

int WriteEntryRecords(HMODULE module, const char* baseName, const char* recordsSubKey) {
  if (module == nullptr || baseName == nullptr || recordsSubKey == nullptr) return 0;

  RegistryKey key(HKEY_LOCAL_MACHINE, kProductKeyPath);
  const ResourceBlob countBlob(module, kEntryCountId, RT_RCDATA);
  const ResourceBlob idsBlob(module, kEntryIdsId, RT_RCDATA);
  const unsigned char* countBytes = nullptr;
  const unsigned char* ids = nullptr;
  uint32_t countSize = 0;
  uint32_t idsSize = 0;
  if (!countBlob.GetData(&countBytes, &countSize) || countSize != 2) return 0;
  const int count = SignExtend16(countBytes[0], countBytes[1]);
  if (count < 0) return 0;
  if (!idsBlob.GetData(&ids, &idsSize) || idsSize / 2 < static_cast<uint32_t>(count)) return 0;

  char name[kRecordNameBufferSize] = {};
  size_t prefixLength = 0;
  while (prefixLength < kRecordPrefixLength && baseName[prefixLength] != '\0') {
    name[prefixLength] = baseName[prefixLength];
    ++prefixLength;
  }
  name[prefixLength++] = '-';

  int written = 1;
  for (int i = 0; i < count && written; ++i) {
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
