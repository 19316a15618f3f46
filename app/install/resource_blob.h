#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Whether the `size` bytes at `bytes` lie inside the image of `module`, a
// module of this process (loaded, or opened as data with its image mapped):
// between its base and base + SizeOfImage, as a resource of it must. A
// resource directory may claim more bytes than the image holds, or bytes
// anywhere in memory. False also when the module's headers cannot be read.
[[nodiscard]] bool IsWithinModuleImage(HMODULE module, const void* bytes, size_t size);

// A heap copy of one resource of a module, followed by one zero byte so that a
// text resource can be used as a zero-terminated string. The resource itself
// is released as soon as it has been copied; the blob owns the copy and frees
// it when destroyed.
class ResourceBlob {
 public:
  // Copies resource `id` (taken modulo 65536) of `type` from `module`.
  // No copy when the resource is not found, cannot be loaded or locked,
  // claims more than kMaxResourceSize (component/component_reader.h) or
  // more bytes than the module's image holds (IsWithinModuleImage), or
  // there is no memory for the copy.
  ResourceBlob(HMODULE module, int id, LPCSTR type);
  ~ResourceBlob();

  ResourceBlob(const ResourceBlob&) = delete;
  ResourceBlob& operator=(const ResourceBlob&) = delete;

  // Hands out the copy (size bytes, then a zero) and its size and returns
  // true. Without a copy returns false and leaves both outputs untouched.
  [[nodiscard]] bool GetData(const unsigned char** dataOut, uint32_t* sizeOut) const;

 private:
  unsigned char* data = nullptr;
  uint32_t size = 0;
};
