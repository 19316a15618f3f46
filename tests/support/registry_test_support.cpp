#include "tests/support/registry_test_support.h"

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

void Collect(HKEY key, const std::string& prefix, REGSAM view, Values* values) {
  char name[256];
  unsigned char data[1024];
  // The sizes are in-out: each call gets the whole buffers again.
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = sizeof name, size = sizeof data, type = REG_NONE;
    if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    (*values)[prefix + name] = {type, Bytes(data, data + size)};
  }
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = sizeof name;
    if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    Key child;
    if (Open(key, name, KEY_READ | view, &child)) Collect(child.handle, prefix + name + "\\", view, values);
  }
}

}  // namespace

REGSAM OwnView() { return sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }
REGSAM OtherView() { return sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY; }

bool KeyExists(HKEY root, const std::string& path, REGSAM view) {
  Key key;
  return Open(root, path, KEY_READ | view, &key);
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
  RegSetKeyValueA(root, path.c_str(), name, type, data, size);  // makes the key if it is missing
}

Values ValuesBelow(HKEY root, const std::string& path, REGSAM view) {
  Values values;
  Key key;
  if (Open(root, path, KEY_READ | view, &key)) Collect(key.handle, "", view, &values);
  return values;
}

Entry Sz(const std::string& text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return {REG_SZ, bytes};
}

Entry Dword(DWORD value) {
  Bytes bytes;
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back((value >> shift) & 0xFF);
  return {REG_DWORD, bytes};
}

Entry Record(unsigned id, int first, int last) {
  Bytes record = {static_cast<unsigned char>(id), static_cast<unsigned char>(id >> 8)};
  for (int i = 0; i < 20; ++i) record.push_back(first ? first + i % 10 + i / 10 * 0x10 : 0);
  for (int i = 0; i < 4; ++i) record.push_back(last ? last + i : 0);
  return {REG_BINARY, record};
}

}  // namespace regtest
