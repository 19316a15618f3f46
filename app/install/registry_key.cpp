#include "app/install/registry_key.h"

#include <cstring>
#include <string>

#include "app/message_text.h"

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

// `name` in UTF-16, for the wide registry calls; false when it does not
// convert. Value names are ANSI everywhere else in the installer.
bool WideName(const char* name, std::wstring* wide) {
  const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, nullptr, 0);
  if (length <= 0) return false;
  wide->assign(static_cast<size_t>(length), L'\0');
  return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wide->data(), length) == length;
}

}  // namespace

RegistryKey::RegistryKey(HKEY root, const char* path, Opening opening) : root(root), opening(opening) {
  this->path[0] = '\0';
  AppendCut(this->path, kPathBufferSize, path != nullptr ? path : "");
}

RegistryKey::~RegistryKey() { EndEnum(); }

HKEY RegistryKey::OpenSubKey(const char* subKey) const {
  if (root == nullptr) return nullptr;
  char joined[kJoinedPathBufferSize] = {};
  AppendCut(joined, sizeof joined, path);
  if (subKey != nullptr) {
    // No leading backslash below the root itself: "general", not "\general".
    // A cut sub-key name would name some other key: refuse instead.
    if ((joined[0] != '\0' && !AppendWhole(joined, sizeof joined, "\\")) || !AppendWhole(joined, sizeof joined, subKey)) {
      return nullptr;
    }
  }
  HKEY key = nullptr;
  const LONG opened = opening == Opening::CreateMissing
                          ? RegCreateKeyA(root, joined, &key)
                          : RegOpenKeyExA(root, joined, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
  return opened == ERROR_SUCCESS ? key : nullptr;
}

void RegistryKey::CloseSubKey(HKEY key) {
  if (key != nullptr) RegCloseKey(key);
}

bool RegistryKey::SetValue(HKEY key, const char* valueName, const void* data, DWORD size,
                          DWORD type) {
  if (valueName == nullptr || data == nullptr) return false;
  const LONG status =
      RegSetValueExA(key, valueName, 0, type, static_cast<const BYTE*>(data), size);
  return status == ERROR_SUCCESS;
}

bool RegistryKey::QueryValue(HKEY key, const char* valueName, void* buffer, DWORD bufferSize,
                            DWORD type, DWORD* bytesRead) {
  if (valueName == nullptr || buffer == nullptr) return false;
  DWORD storedType = REG_NONE;
  DWORD size = bufferSize;
  const LONG status =
      RegQueryValueExA(key, valueName, nullptr, &storedType, static_cast<BYTE*>(buffer), &size);
  if (status != ERROR_SUCCESS || storedType != type || size > bufferSize) return false;
  if (bytesRead != nullptr) *bytesRead = size;
  return true;
}

bool RegistryKey::WriteBinary(const char* subKey, const char* valueName, const void* data,
                             DWORD size) {
  if (root == nullptr || data == nullptr) return false;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return false;
  return SetValue(key.Get(), valueName, data, size, REG_BINARY);
}

bool RegistryKey::WriteString(const char* subKey, const char* valueName, const char* text) {
  if (root == nullptr || text == nullptr) return false;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return false;
  const DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
  return SetValue(key.Get(), valueName, text, size, REG_SZ);
}

bool RegistryKey::WriteDword(const char* subKey, const char* valueName, DWORD value) {
  if (root == nullptr) return false;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return false;
  // Straight to the registry: a null value name means the default value here.
  const LONG status = RegSetValueExA(key.Get(), valueName, 0, REG_DWORD,
                                     reinterpret_cast<const BYTE*>(&value), sizeof value);
  return status == ERROR_SUCCESS;
}

bool RegistryKey::ReadBinary(const char* subKey, const char* valueName, void* buffer,
                            DWORD bufferSize) {
  if (root == nullptr || buffer == nullptr || bufferSize == 0) return false;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return false;
  return QueryValue(key.Get(), valueName, buffer, bufferSize, REG_BINARY, nullptr);
}

bool RegistryKey::ReadString(const char* subKey, const char* valueName, char* buffer,
                            DWORD bufferSize) {
  if (buffer == nullptr || bufferSize == 0) return false;
  buffer[0] = '\0';
  if (root == nullptr) return false;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return false;
  DWORD size = 0;
  if (!QueryValue(key.Get(), valueName, buffer, bufferSize, REG_SZ, &size)) {
    // A refused or oversized value may have left bytes without a terminator.
    buffer[0] = '\0';
    return false;
  }
  return TerminateString(buffer, bufferSize, size);
}

bool RegistryKey::TerminateString(char* buffer, DWORD bufferSize, DWORD bytesRead) {
  if (bytesRead > 0 && bytesRead <= bufferSize && buffer[bytesRead - 1] == '\0') return true;
  if (bytesRead < bufferSize) {
    buffer[bytesRead] = '\0';
    return true;
  }
  if (bufferSize > 0) buffer[0] = '\0';
  return false;
}

bool RegistryKey::ReadDword(const char* subKey, const char* valueName, DWORD* value) {
  if (root == nullptr) return false;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return false;
  DWORD stored = 0;
  DWORD storedType = REG_NONE;
  DWORD size = sizeof stored;
  const LONG status = RegQueryValueExA(key.Get(), valueName, nullptr, &storedType,
                                       reinterpret_cast<BYTE*>(&stored), &size);
  if (status != ERROR_SUCCESS || storedType != REG_DWORD) return false;
  if (value != nullptr) *value = stored;
  return true;
}

void RegistryKey::DeleteValue(const char* subKey, const char* valueName) {
  if (root == nullptr) return;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return;
  RegDeleteValueA(key.Get(), valueName);
}

bool RegistryKey::Flush() {
  const OpenKey key(OpenSubKey(nullptr));
  return key.Get() != nullptr && RegFlushKey(key.Get()) == ERROR_SUCCESS;
}

bool RegistryKey::BeginEnum(const char* subKey) {
  if (root == nullptr || enumKey != nullptr) return false;
  enumIndex = 0;
  enumKey = OpenSubKey(subKey);
  return enumKey != nullptr;
}

bool RegistryKey::NextValue(char* nameBuffer, DWORD bufferSize) {
  if (enumKey == nullptr || nameBuffer == nullptr || bufferSize == 0) return false;
  DWORD nameSize = bufferSize;
  const LONG status =
      RegEnumValueA(enumKey, enumIndex, nameBuffer, &nameSize, nullptr, nullptr, nullptr, nullptr);
  ++enumIndex;
  if (status != ERROR_SUCCESS) {
    nameBuffer[0] = '\0';
    return false;
  }
  return true;
}

void RegistryKey::EndEnum() {
  if (enumKey == nullptr) return;
  CloseSubKey(enumKey);
  enumKey = nullptr;
}

RegistryKey::Stored RegistryKey::ReadRaw(const char* subKey, const char* valueName, DWORD* type,
                         std::vector<unsigned char>* data) {
  if (root == nullptr || valueName == nullptr || type == nullptr || data == nullptr) return Stored::Unreadable;
  data->clear();
  std::wstring name;
  if (!WideName(valueName, &name)) return Stored::Unreadable;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return Stored::Unreadable;
  // The value may change size between the two calls; ask again then.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = static_cast<DWORD>(data->size());
    const LONG status = RegQueryValueExW(key.Get(), name.c_str(), nullptr, type,
                                         data->empty() ? nullptr : data->data(), &size);
    if (status == ERROR_FILE_NOT_FOUND) {
      data->clear();
      return Stored::None;
    }
    if (status == ERROR_SUCCESS && (size == 0 || !data->empty())) {
      data->resize(size);
      return Stored::Value;
    }
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) return Stored::Unreadable;
    data->resize(size);
  }
  return Stored::Unreadable;
}

bool RegistryKey::WriteRaw(const char* subKey, const char* valueName, DWORD type,
                          const void* data, DWORD size) {
  if (root == nullptr || valueName == nullptr || (data == nullptr && size > 0)) return false;
  std::wstring name;
  if (!WideName(valueName, &name)) return false;
  const OpenKey key(OpenSubKey(subKey));
  if (key.Get() == nullptr) return false;
  const LONG status =
      RegSetValueExW(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  return status == ERROR_SUCCESS;
}
