// What the installer would register for a component module, or why it
// would refuse it, told without Windows: `ppk inspect`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ppk {

// The most bytes of module `ppk inspect` holds in memory: more than a
// component with pictures and sounds of its own needs, and little enough
// for the 32-bit ppk, whose growing buffer takes up to three times as much
// address space on the way.
constexpr std::int32_t kMaxInspectedModuleSize = 64 * 1024 * 1024;

// Reads the file `path` into `*module`: a package (a name ending in ".ppk",
// in any case) decoded as the installer decodes it, in memory; anything
// else as the module itself. At most `sizeLimit` bytes: a module or
// package that holds more fails. Returns true on success; otherwise false
// with a one-line English message in `*message` (the file cannot be read,
// the package is damaged, the module is larger than `sizeLimit`).
[[nodiscard]] bool LoadModule(const std::string& path, std::int32_t sizeLimit, std::vector<unsigned char>* module,
                              std::string* message);

// The report on the module `module`, named by the file `path`: the base
// name is the file's name without folder and extension, as the installer's
// component list names it (letters and digits; anything else is refused
// as the installer refuses such a name).
//
// Registered (true): the kind, then every value the installer writes below
// HKLM\SOFTWARE\Lumora\Verdanelle in the README's notation, display name
// first (in Windows-1252; a character that is not in it is shown as "?"
// and named in a warning), then one line "warning: ..." for each thing the
// installer mends without a word (a block of the wrong size recorded as
// zeros, a seed count of 0 not written, stray bytes after the ids, ...).
// Refused (false): a line "refused: <the installer's reason>" and a line
// "why: <what in the module makes it so>".
//
// Lines end in "\n"; text is UTF-8, the installer's German reasons included.
[[nodiscard]] bool InspectModule(const std::string& path, const std::vector<unsigned char>& module,
                                 std::string* report);

}  // namespace ppk
