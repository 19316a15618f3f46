#include "tests/registry/registry_test_support.h"

namespace regtest {

namespace {

struct Key {
  HKEY handle = nullptr;
  ~Key() {
    if (handle != nullptr) RegCloseKey(handle);
  }
};

bool Open(HKEY root, const std::string& path, REGSAM access, Key* key) {
  return RegOpenKeyExA(root, path.c_str(), 0, access, &key->handle) == ERROR_SUCCESS;
}

}  // namespace

REGSAM OwnView() { return sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }
REGSAM OtherView() { return sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY; }

StoredValue ReadStored(HKEY root, const std::string& path, const char* name, REGSAM view) {
  StoredValue value;
  Key key;
  if (!Open(root, path, KEY_QUERY_VALUE | view, &key)) return value;
  DWORD size = 0;
  if (RegQueryValueExA(key.handle, name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
    return value;
  }
  value.bytes.resize(size);
  if (RegQueryValueExA(key.handle, name, nullptr, &value.type, value.bytes.data(), &size) !=
      ERROR_SUCCESS) {
    return value;
  }
  value.bytes.resize(size);
  value.found = true;
  return value;
}

bool KeyExists(HKEY root, const std::string& path, REGSAM view) {
  Key key;
  return Open(root, path, KEY_READ | view, &key);
}

int ValueCount(HKEY root, const std::string& path, REGSAM view) {
  Key key;
  if (!Open(root, path, KEY_READ | view, &key)) return -1;
  DWORD values = 0;
  RegQueryInfoKeyA(key.handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                   nullptr, nullptr, nullptr, nullptr);
  return static_cast<int>(values);
}

int SubKeyCount(HKEY root, const std::string& path, REGSAM view) {
  Key key;
  if (!Open(root, path, KEY_READ | view, &key)) return -1;
  DWORD subKeys = 0;
  RegQueryInfoKeyA(key.handle, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                   nullptr, nullptr, nullptr, nullptr);
  return static_cast<int>(subKeys);
}

void DeleteTree(HKEY root, const std::string& path, REGSAM view) {
  {
    Key key;
    if (!Open(root, path, KEY_ALL_ACCESS | view, &key)) return;
    RegDeleteTreeA(key.handle, nullptr);
  }
  RegDeleteKeyExA(root, path.c_str(), view, 0);
}

void StoreRaw(HKEY root, const std::string& path, const char* name, DWORD type,
              const void* data, DWORD size) {
  Key key;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key.handle,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key.handle, name, 0, type, static_cast<const BYTE*>(data), size);
}

std::vector<unsigned char> SzBytes(const std::string& text) {
  std::vector<unsigned char> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

}  // namespace regtest
