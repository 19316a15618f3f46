#include "app/install/change_record.h"

#include <cstring>

#include "component/component_reader.h"
#include "platform/file_system.h"
#include "storage/crc32.h"
#include "storage/file_storage.h"

namespace {

constexpr unsigned char kMagic[4] = {'V', 'D', 'C', 'R'};
constexpr unsigned char kVersion = 1;
// Magic, version and three zero bytes, total length, module size and CRC,
// value count.
constexpr std::size_t kHeaderSize = 4 + 4 + 4 + 4 + 4 + 4;
constexpr std::size_t kTrailerSize = 4;
// Sub-key and value names are kept only this long: the installer's own are
// far shorter, and the registry's limit for value names is 16,383.
constexpr std::size_t kMaxNameLength = 16383;

void PutU16(std::vector<unsigned char>& out, std::uint32_t value) {
  out.push_back(static_cast<unsigned char>(value & 0xFF));
  out.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
}

void PutU32(std::vector<unsigned char>& out, std::uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}

void PutText(std::vector<unsigned char>& out, const std::string& text) {
  PutU16(out, static_cast<std::uint32_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

std::uint32_t Crc32Of(const unsigned char* bytes, std::size_t length) {
  return ~UpdateCrc32(0xFFFFFFFFu, bytes, length);
}

// Reads the bytes of a record front to back; every read is checked against
// what is left, and a failed one makes every later one fail too.
class Reader {
 public:
  Reader(const unsigned char* bytes, std::size_t length) : at(bytes), left(length) {}

  bool U8(std::uint32_t* value) { return Take(1, value); }
  bool U16(std::uint32_t* value) { return Take(2, value); }
  bool U32(std::uint32_t* value) { return Take(4, value); }
  bool Bytes(std::size_t length, const unsigned char** bytes) {
    if (!ok || length > left) return ok = false;
    *bytes = at;
    at += length;
    left -= length;
    return true;
  }
  bool Text(std::string* text) {
    std::uint32_t length = 0;
    const unsigned char* bytes = nullptr;
    if (!U16(&length) || !Bytes(length, &bytes)) return false;
    text->assign(reinterpret_cast<const char*>(bytes), length);
    return true;
  }
  std::size_t Left() const { return left; }

 private:
  bool Take(std::size_t length, std::uint32_t* value) {
    const unsigned char* bytes = nullptr;
    if (!Bytes(length, &bytes)) return false;
    *value = 0;
    for (std::size_t i = length; i > 0; --i) *value = (*value << 8) | bytes[i - 1];
    return true;
  }

  const unsigned char* at;
  std::size_t left;
  bool ok = true;
};

bool EqualsIgnoringCase(const std::string& a, const char* b, std::size_t length) {
  if (a.size() < length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

}  // namespace

std::string ChangeRecordName(const std::string& modulePath, int number) {
  if (number == 0) return modulePath + ".rec";
  return modulePath + "." + std::to_string(number) + ".rec";
}

std::vector<unsigned char> EncodeChangeRecord(const ChangeRecord& record) {
  std::vector<unsigned char> out(kMagic, kMagic + sizeof kMagic);
  out.push_back(kVersion);
  out.insert(out.end(), 3, 0);
  PutU32(out, 0);  // the total length, known at the end
  PutU32(out, record.moduleSize);
  PutU32(out, record.moduleCrc32);
  PutU32(out, static_cast<std::uint32_t>(record.previous.size()));
  for (const RecordedValue& value : record.previous) {
    if (value.subKey.size() > kMaxNameLength || value.name.size() > kMaxNameLength ||
        value.data.size() > kMaxRecordedValueSize || out.size() > kMaxChangeRecordSize) {
      return {};
    }
    PutText(out, value.subKey);
    PutText(out, value.name);
    out.push_back(value.existed ? 1 : 0);
    PutU32(out, value.type);
    PutU32(out, static_cast<std::uint32_t>(value.data.size()));
    out.insert(out.end(), value.data.begin(), value.data.end());
  }
  if (out.size() + kTrailerSize > kMaxChangeRecordSize) return {};
  const std::uint32_t total = static_cast<std::uint32_t>(out.size() + kTrailerSize);
  for (int i = 0; i < 4; ++i) out[8 + i] = static_cast<unsigned char>((total >> (8 * i)) & 0xFF);
  PutU32(out, Crc32Of(out.data(), out.size()));
  return out;
}

bool DecodeChangeRecord(const unsigned char* bytes, std::size_t length, ChangeRecord* record) {
  if (length < kHeaderSize + kTrailerSize || length > kMaxChangeRecordSize ||
      std::memcmp(bytes, kMagic, sizeof kMagic) != 0 || bytes[4] != kVersion || bytes[5] != 0 || bytes[6] != 0 ||
      bytes[7] != 0) {
    return false;
  }
  Reader trailer(bytes + length - kTrailerSize, kTrailerSize);
  std::uint32_t crc = 0;
  if (!trailer.U32(&crc) || crc != Crc32Of(bytes, length - kTrailerSize)) return false;

  Reader reader(bytes + 8, length - 8 - kTrailerSize);
  std::uint32_t total = 0;
  std::uint32_t count = 0;
  if (!reader.U32(&total) || total != length || !reader.U32(&record->moduleSize) ||
      !reader.U32(&record->moduleCrc32) || !reader.U32(&count)) {
    return false;
  }
  record->previous.clear();
  for (std::uint32_t i = 0; i < count; ++i) {
    RecordedValue value;
    std::uint32_t existed = 0;
    std::uint32_t size = 0;
    const unsigned char* data = nullptr;
    if (!reader.Text(&value.subKey) || !reader.Text(&value.name) || !reader.U8(&existed) || existed > 1 ||
        !reader.U32(&value.type) || !reader.U32(&size) || size > kMaxRecordedValueSize ||
        !reader.Bytes(size, &data)) {
      return false;
    }
    value.existed = existed == 1;
    value.data.assign(data, data + size);
    record->previous.push_back(std::move(value));
  }
  return reader.Left() == 0;
}

std::string EntryRecordPrefix(const char* baseName) {
  std::size_t length = 0;
  while (length < kRecordPrefixLength && baseName[length] != '\0') ++length;
  return std::string(baseName, length) + "-";
}

long EntryRecordIndex(const char* valueName, const std::string& prefix) {
  const std::string name = valueName;
  if (!EqualsIgnoringCase(name, prefix.c_str(), prefix.size())) return -1;
  const char* digits = valueName + prefix.size();
  if (*digits == '\0' || (digits[0] == '0' && digits[1] != '\0')) return -1;
  long index = 0;
  for (const char* d = digits; *d != '\0'; ++d) {
    if (*d < '0' || *d > '9' || index > 100000) return -1;
    index = index * 10 + (*d - '0');
  }
  return index;
}

bool IsComponentValue(const RecordedValue& value, const char* baseName) {
  const std::size_t baseLength = std::strlen(baseName);
  const bool isBase = value.name.size() == baseLength && EqualsIgnoringCase(value.name, baseName, baseLength);
  if (value.subKey == "seeds") return isBase;
  for (const ComponentKind& kind : kComponentKinds) {
    if (value.subKey == kind.category) return isBase;
    if (kind.recordsSubKey != nullptr && value.subKey == kind.recordsSubKey) {
      return EntryRecordIndex(value.name.c_str(), EntryRecordPrefix(baseName)) >= 0;
    }
  }
  return false;
}

int WriteChangeRecord(const std::string& modulePath, const ChangeRecord& record, std::string* path) {
  const std::vector<unsigned char> bytes = EncodeChangeRecord(record);
  if (bytes.empty()) return platform::kErrFileTooLarge;
  int handle = -1;
  int error = platform::kErrExists;
  for (int number = 0; number < kRecordNameCount && error == platform::kErrExists; ++number) {
    *path = ChangeRecordName(modulePath, number);
    error = platform::Open(path->c_str(), platform::OpenMode::CreateGuarded, handle);
  }
  if (error != 0) return error;
  std::size_t done = 0;
  while (error == 0 && done < bytes.size()) {
    std::int32_t count = 0;
    error = platform::Write(handle, bytes.data() + done, static_cast<std::int32_t>(bytes.size() - done), count);
    // Written short without an error: the disk is full.
    if (error == 0 && count <= 0) error = platform::kErrNoSpace;
    if (error == 0) done += static_cast<std::size_t>(count);
  }
  if (error == 0) error = platform::Sync(handle);
  const int closed = platform::Close(handle);
  if (error == 0) error = closed;
  if (error != 0) static_cast<void>(platform::RemovePlainFile(path->c_str()));
  return error;
}

RecordFound ReadChangeRecord(const std::string& path, ChangeRecord* record) {
  std::vector<unsigned char> bytes;
  const int error = platform::ReadPlainFile(path.c_str(), kMaxChangeRecordSize, bytes);
  if (error == platform::kErrNoEntry) return RecordFound::None;
  if (error != 0) return RecordFound::Unreadable;
  return DecodeChangeRecord(bytes.data(), bytes.size(), record) ? RecordFound::Whole : RecordFound::Torn;
}

int RemoveChangeRecord(const std::string& path) { return platform::RemovePlainFile(path.c_str()); }

bool FileMatches(const std::string& path, std::uint32_t size, std::uint32_t crc32) {
  constexpr std::int32_t kBufferSize = ALFileStorage::kDefaultBufferSize;
  ALFileStorage file(path.c_str(), kBufferSize, CaseInsensitive);
  file.readOnly = 1;
  if (file.Open() != 0 || file.size < 0 || static_cast<std::uint32_t>(file.size) != size) return false;
  file.StartCrc32(0xFFFFFFFFu);
  const unsigned char* bytes = nullptr;
  while (file.TakeInput(kBufferSize, &bytes) > 0) {
  }
  return file.status.code == 0 && static_cast<std::uint32_t>(file.Tell()) == size && ~file.crc == crc32;
}
