#pragma once

#include <windows.h>

#include <cstdint>

// A heap copy of one resource of a module, followed by one zero byte so that a
// text resource can be used as a zero-terminated string. The resource itself
// is released as soon as it has been copied; the blob owns the copy and frees
// it when destroyed.
class ResourceBlob {
 public:
  // Copies resource `id` (taken modulo 65536) of `type` from `module`.
  // Not found: no copy, size 0. Found but not loadable, not lockable, or no
  // memory for the copy: no copy, size is the resource's size.
  ResourceBlob(HMODULE module, int id, LPCSTR type);
  ~ResourceBlob();

  ResourceBlob(const ResourceBlob&) = delete;
  ResourceBlob& operator=(const ResourceBlob&) = delete;

  // Hands out the copy (size bytes, then a zero) and its size and returns 1.
  // Without a copy returns 0 and leaves both outputs untouched.
  [[nodiscard]] int GetData(const unsigned char** dataOut, uint32_t* sizeOut) const;

  // The resource's size in bytes without the added zero; 0 when not found.
  uint32_t Size() const { return size; }

 private:
  unsigned char* data = nullptr;
  uint32_t size = 0;
};
