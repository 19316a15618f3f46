#include "app/install/registry_key.h"

#include <cstring>
#include <string>

namespace {

// Closes the key it holds when it goes out of scope, so that every path out
// of an operation closes what it opened.
class OpenKey {
 public:
  explicit OpenKey(HKEY key) : key(key) {}
  ~OpenKey() {
    if (key != nullptr) RegCloseKey(key);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  HKEY Get() const { return key; }

 private:
  HKEY key;
};

// Copies at most `room` - 1 characters of `text` to `out` and terminates it.
// Returns the number of characters copied.
size_t CopyBounded(char* out, size_t room, const char* text) {
  if (room == 0) return 0;
  size_t length = 0;
  while (length + 1 < room && text[length] != '\0') {
    out[length] = text[length];
    ++length;
  }
  out[length] = '\0';
  return length;
}

// `name` in UTF-16, for the wide registry calls; false when it does not
// convert. Value names are ANSI everywhere else in the installer.
bool WideName(const char* name, std::wstring* wide) {
  const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, nullptr, 0);
  if (length <= 0) return false;
  wide->assign(static_cast<size_t>(length), L'\0');
  return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wide->data(), length) == length;
}

}  // namespace

RegistryKey::RegistryKey(HKEY root, const char* path) : root(root) {
  CopyBounded(this->path, kPathBufferSize, path != nullptr ? path : "");
}

RegistryKey::~RegistryKey() { EndEnum(); }

HKEY RegistryKey::OpenSubKey(const char* subKey) const {
  if (root == nullptr) return nullptr;
  char joined[kJoinedPathBufferSize];
  size_t length = CopyBounded(joined, sizeof joined, path);
  if (subKey != nullptr) {
    // No leading backslash below the root itself: "general", not "\general".
    if (length > 0) length += CopyBounded(joined + length, sizeof joined - length, "\\");
    const size_t subKeyLength = std::strlen(subKey);
    // A cut sub-key name would name some other key: refuse instead.
    if (subKeyLength >= sizeof joined - length) return nullptr;
    CopyBounded(joined + length, sizeof joined - length, subKey);
  }
  HKEY key = nullptr;
  if (RegCreateKeyA(root, joined, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

void RegistryKey::CloseSubKey(HKEY key) {
  if (key != nullptr) RegCloseKey(key);
}

int RegistryKey::SetValue(HKEY key, const char* valueName, const void* data, DWORD size,
                          DWORD type) {
  if (valueName == nullptr || data == nullptr) return 0;
  const LONG status =
      RegSetValueExA(key, valueName, 0, type, static_cast<const BYTE*>(data), size);
  return status == ERROR_SUCCESS ? 1 : 0;
}

int RegistryKey::QueryValue(HKEY key, const char* valueName, void* buffer, DWORD bufferSize,
                            DWORD type, DWORD* bytesRead) {
  if (valueName == nullptr || buffer == nullptr) return 0;
  DWORD storedType = REG_NONE;
  DWORD size = bufferSize;
  const LONG status =
      RegQueryValueExA(key, valueName, nullptr, &storedType, static_cast<BYTE*>(buffer), &size);
  if (status != ERROR_SUCCESS || storedType != type || size > bufferSize) return 0;
  if (bytesRead != nullptr) *bytesRead = size;
  return 1;
}

int RegistryKey::WriteBinary(const char* subKey, const char* valueName, const void* data,
                             DWORD size) {
  if (root == nullptr || data == nullptr) return 0;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return 0;
  return SetValue(key.Get(), valueName, data, size, REG_BINARY);
}

int RegistryKey::WriteString(const char* subKey, const char* valueName, const char* text) {
  if (root == nullptr || text == nullptr) return 0;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return 0;
  const DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
  return SetValue(key.Get(), valueName, text, size, REG_SZ);
}

int RegistryKey::WriteDword(const char* subKey, const char* valueName, DWORD value) {
  if (root == nullptr) return 0;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return 0;
  // Straight to the registry: a null value name means the default value here.
  const LONG status = RegSetValueExA(key.Get(), valueName, 0, REG_DWORD,
                                     reinterpret_cast<const BYTE*>(&value), sizeof value);
  return status == ERROR_SUCCESS ? 1 : 0;
}

int RegistryKey::ReadBinary(const char* subKey, const char* valueName, void* buffer,
                            DWORD bufferSize) {
  if (root == nullptr || buffer == nullptr || bufferSize == 0) return 0;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return 0;
  return QueryValue(key.Get(), valueName, buffer, bufferSize, REG_BINARY, nullptr);
}

int RegistryKey::ReadString(const char* subKey, const char* valueName, char* buffer,
                            DWORD bufferSize) {
  if (buffer == nullptr || bufferSize == 0) return 0;
  buffer[0] = '\0';
  if (root == nullptr) return 0;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return 0;
  DWORD size = 0;
  if (!QueryValue(key.Get(), valueName, buffer, bufferSize, REG_SZ, &size)) {
    // A refused or oversized value may have left bytes without a terminator.
    buffer[0] = '\0';
    return 0;
  }
  return TerminateString(buffer, bufferSize, size);
}

int RegistryKey::TerminateString(char* buffer, DWORD bufferSize, DWORD bytesRead) {
  if (bytesRead > 0 && bytesRead <= bufferSize && buffer[bytesRead - 1] == '\0') return 1;
  if (bytesRead < bufferSize) {
    buffer[bytesRead] = '\0';
    return 1;
  }
  if (bufferSize > 0) buffer[0] = '\0';
  return 0;
}

int RegistryKey::ReadDword(const char* subKey, const char* valueName, DWORD* value) {
  if (root == nullptr) return 0;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return 0;
  DWORD stored = 0;
  DWORD storedType = REG_NONE;
  DWORD size = sizeof stored;
  const LONG status = RegQueryValueExA(key.Get(), valueName, nullptr, &storedType,
                                       reinterpret_cast<BYTE*>(&stored), &size);
  if (status != ERROR_SUCCESS || storedType != REG_DWORD) return 0;
  if (value != nullptr) *value = stored;
  return 1;
}

void RegistryKey::DeleteValue(const char* subKey, const char* valueName) {
  if (root == nullptr) return;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return;
  RegDeleteValueA(key.Get(), valueName);
}

int RegistryKey::BeginEnum(const char* subKey) {
  if (root == nullptr || enumKey != nullptr) return 0;
  enumIndex = 0;
  enumKey = OpenSubKey(subKey);
  return enumKey != nullptr ? 1 : 0;
}

int RegistryKey::NextValue(char* nameBuffer, DWORD bufferSize) {
  if (enumKey == nullptr || nameBuffer == nullptr || bufferSize == 0) return 0;
  DWORD nameSize = bufferSize;
  const LONG status =
      RegEnumValueA(enumKey, enumIndex, nameBuffer, &nameSize, nullptr, nullptr, nullptr, nullptr);
  ++enumIndex;
  if (status != ERROR_SUCCESS) {
    nameBuffer[0] = '\0';
    return 0;
  }
  return 1;
}

void RegistryKey::EndEnum() {
  if (enumKey == nullptr) return;
  CloseSubKey(enumKey);
  enumKey = nullptr;
}

int RegistryKey::ReadRaw(const char* subKey, const char* valueName, DWORD* type,
                         std::vector<unsigned char>* data) {
  if (root == nullptr || valueName == nullptr || type == nullptr || data == nullptr) return -1;
  data->clear();
  std::wstring name;
  if (!WideName(valueName, &name)) return -1;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return -1;
  // The value may change size between the two calls; ask again then.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = static_cast<DWORD>(data->size());
    const LONG status = RegQueryValueExW(key.Get(), name.c_str(), nullptr, type,
                                         data->empty() ? nullptr : data->data(), &size);
    if (status == ERROR_FILE_NOT_FOUND) {
      data->clear();
      return 0;
    }
    if (status == ERROR_SUCCESS && (size == 0 || !data->empty())) {
      data->resize(size);
      return 1;
    }
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) return -1;
    data->resize(size);
  }
  return -1;
}

int RegistryKey::WriteRaw(const char* subKey, const char* valueName, DWORD type,
                          const void* data, DWORD size) {
  if (root == nullptr || valueName == nullptr || (data == nullptr && size > 0)) return 0;
  std::wstring name;
  if (!WideName(valueName, &name)) return 0;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return 0;
  const LONG status =
      RegSetValueExW(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  return status == ERROR_SUCCESS ? 1 : 0;
}
