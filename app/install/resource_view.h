#pragma once

#include <windows.h>

#include <cstddef>

// Read-only view of one resource of a module, for as long as the object
// lives: found, loaded and locked on construction, released on destruction.
// Bytes() is null when the resource is missing or cannot be loaded or locked.
class ResourceView {
 public:
  ResourceView(HMODULE module, int id, LPCSTR type) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id & 0xFFFF), type);
    if (found == nullptr) return;
    loaded = LoadResource(module, found);
    if (loaded == nullptr) return;
    bytes = static_cast<const unsigned char*>(LockResource(loaded));
    if (bytes != nullptr) size = SizeofResource(module, found);
  }
  ~ResourceView() {
    if (loaded != nullptr) FreeResource(loaded);
  }
  ResourceView(const ResourceView&) = delete;
  ResourceView& operator=(const ResourceView&) = delete;

  const unsigned char* Bytes() const { return bytes; }
  size_t Size() const { return size; }

 private:
  HGLOBAL loaded = nullptr;
  const unsigned char* bytes = nullptr;
  size_t size = 0;
};
