#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Reads what a test wrote back through the registry API itself, so that the
// accessor under test never checks its own work.
namespace regtest {

using Bytes = std::vector<unsigned char>;

// The registry view of this program's own bitness, and the other one.
REGSAM OwnView();
REGSAM OtherView();

bool KeyExists(HKEY root, const std::string& path, REGSAM view = 0);
// Removes `root`\`path` with everything below it; a missing key is fine.
void DeleteTree(HKEY root, const std::string& path, REGSAM view = 0);
// Stores a value with the raw API, for types and shapes the accessor never writes.
void StoreRaw(HKEY root, const std::string& path, const char* name, DWORD type,
              const void* data, DWORD size);

// Every value of `root`\`path` and of all keys below it, by its name
// relative to `path` ("sub\name"; "" is the default value of `path`).
using Entry = std::pair<DWORD, Bytes>;
using Values = std::map<std::string, Entry>;
Values ValuesBelow(HKEY root, const std::string& path, REGSAM view = 0);

// Values as the accessor stores them: a REG_SZ is the text and one zero.
Entry Sz(const std::string& text);
Entry Dword(DWORD value);

// The entry record a component module's entry gives: REG_BINARY, the entry
// id, then its blocks of 10, 10 and 4 bytes. The test modules fill the
// first two with bytes counting up from `first` and `first` + 0x10, the
// last with bytes from `last`; 0 stands for a block of zeros (missing or
// unusable).
Entry Record(unsigned id, int first = 0, int last = 0);

}  // namespace regtest
