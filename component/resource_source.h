#pragma once

#include <cstdint>

// Where a component's records come from: the resources of one module, found
// by integer type and integer id. The installer looks them up in the module
// it opened as data; `ppk inspect` in the bytes of a module file.
//
// A module is untrusted input: it comes out of a package from a folder the
// user can write to, and its resource directory may claim anything.

// Resource types a component's records use.
constexpr std::uint16_t kStringBlockType = 6;  // 16 strings; block n holds strings 16 (n - 1) .. 16 n - 1
constexpr std::uint16_t kRcDataType = 10;

enum class Lookup {
  Found,    // the bytes are there, wholly inside the module
  Missing,  // the module has no such resource
  Refused,  // it has one, but its bytes cannot be had as the directory claims them
};

class ResourceSource {
 public:
  virtual ~ResourceSource() = default;

  // Looks up resource `id` of `type` (of several languages, the one the
  // platform would pick). Found: stores a pointer to its bytes in `*bytes`
  // and their number in `*size`; the bytes lie wholly inside the module and
  // stay valid, unchanged, as long as this source does (a size of 0 may come
  // with a null pointer). Missing: the module has no such resource.
  // Refused: it has one, but the bytes it claims reach outside the module or
  // cannot be loaded. Only Found stores anything; nothing is read from the
  // bytes here, so any size may be reported.
  [[nodiscard]] virtual Lookup Find(std::uint16_t type, std::uint16_t id, const unsigned char** bytes,
                                    std::uint32_t* size) = 0;
};
