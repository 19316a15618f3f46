#pragma once

#include <windows.h>

#include <cstddef>

// Read-only view of one resource of a module, for as long as the object
// lives: found, loaded and locked on construction, released on destruction.
// Bytes() is null when the resource is missing or cannot be loaded or
// locked.
class ResourceView {
 public:
  // The resource named by `name` (an integer id made with MAKEINTRESOURCEA,
  // or a string).
  ResourceView(HMODULE module, LPCSTR name, LPCSTR type) {
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) return;
    located = true;
    claimed = SizeofResource(module, found);
    loaded = LoadResource(module, found);
    if (loaded == nullptr) return;
    bytes = static_cast<const unsigned char*>(LockResource(loaded));
    if (bytes != nullptr) size = claimed;
  }
  // Resource `id`, taken modulo 65536.
  ResourceView(HMODULE module, int id, LPCSTR type) : ResourceView(module, MAKEINTRESOURCEA(id & 0xFFFF), type) {}
  ~ResourceView() {
    if (loaded != nullptr) FreeResource(loaded);
  }
  ResourceView(const ResourceView&) = delete;
  ResourceView& operator=(const ResourceView&) = delete;

  // The module has the resource (its bytes may still be out of reach).
  bool Found() const { return located; }
  const unsigned char* Bytes() const { return bytes; }
  // Bytes() are this many; 0 without them.
  size_t Size() const { return size; }
  // What the module's resource directory says the size is, also when the
  // bytes could not be had; 0 when the resource is not found. Nothing checks
  // it against the module: the module may lie.
  DWORD ClaimedSize() const { return claimed; }

 private:
  HGLOBAL loaded = nullptr;
  const unsigned char* bytes = nullptr;
  size_t size = 0;
  DWORD claimed = 0;
  bool located = false;
};
