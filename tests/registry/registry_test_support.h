#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Reads what a test wrote back through the registry API itself, so that the
// accessor under test never checks its own work.
namespace regtest {

// The registry view of this program's own bitness, and the other one.
REGSAM OwnView();
REGSAM OtherView();

struct StoredValue {
  bool found = false;
  DWORD type = REG_NONE;
  std::vector<unsigned char> bytes;
};

// The value `name` (null: the default value) of `root`\`path` in `view`.
StoredValue ReadStored(HKEY root, const std::string& path, const char* name, REGSAM view = 0);
bool KeyExists(HKEY root, const std::string& path, REGSAM view = 0);
// Number of values of the key; -1 when the key does not exist.
int ValueCount(HKEY root, const std::string& path, REGSAM view = 0);
int SubKeyCount(HKEY root, const std::string& path, REGSAM view = 0);
// Removes `root`\`path` with everything below it; a missing key is fine.
void DeleteTree(HKEY root, const std::string& path, REGSAM view = 0);
// Stores a value with the raw API, for types and shapes the accessor never writes.
void StoreRaw(HKEY root, const std::string& path, const char* name, DWORD type,
              const void* data, DWORD size);

// A REG_SZ's bytes as written by the accessor: the text and one zero.
std::vector<unsigned char> SzBytes(const std::string& text);

}  // namespace regtest
