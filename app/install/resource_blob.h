#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// The largest resource the installer copies. Every record of a component
// fits: the largest, 403, holds at most 32,767 two-byte ids (65,534 bytes).
// A module is untrusted input (it comes out of a package from a folder the
// user can write to), so a size its resource directory claims is believed
// only up to here.
constexpr size_t kMaxResourceSize = 64 * 1024;

// Whether the `size` bytes at `bytes` lie wholly inside one mapping of
// readable memory, as a resource of a loaded module must: a resource
// directory may claim more bytes than the module's image holds.
[[nodiscard]] bool IsWithinMappedImage(const void* bytes, size_t size);

// A heap copy of one resource of a module, followed by one zero byte so that a
// text resource can be used as a zero-terminated string. The resource itself
// is released as soon as it has been copied; the blob owns the copy and frees
// it when destroyed.
class ResourceBlob {
 public:
  // Copies resource `id` (taken modulo 65536) of `type` from `module`.
  // Not found: no copy, size 0. Found but not loadable, not lockable,
  // claiming more than kMaxResourceSize bytes or more than the module's
  // image holds (Refused() tells these two), or no memory for the copy: no
  // copy, size is the size the resource claims.
  ResourceBlob(HMODULE module, int id, LPCSTR type);
  // The same for a resource named by `name` (an integer id made with
  // MAKEINTRESOURCEA, or a string).
  ResourceBlob(HMODULE module, LPCSTR name, LPCSTR type);
  ~ResourceBlob();

  ResourceBlob(const ResourceBlob&) = delete;
  ResourceBlob& operator=(const ResourceBlob&) = delete;

  // Hands out the copy (size bytes, then a zero) and its size and returns
  // true. Without a copy returns false and leaves both outputs untouched.
  [[nodiscard]] bool GetData(const unsigned char** dataOut, uint32_t* sizeOut) const;

  // The resource's size in bytes without the added zero; 0 when not found.
  uint32_t Size() const { return size; }

  // The resource exists but its size is beyond belief (see the constructor).
  bool Refused() const { return refused; }

 private:
  unsigned char* data = nullptr;
  uint32_t size = 0;
  bool refused = false;
};
