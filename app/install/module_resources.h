#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "component/resource_source.h"

// Whether the `size` bytes at `bytes` lie inside the image of `module`, a
// module of this process (loaded, or opened as data with its image mapped):
// between its base and base + SizeOfImage, as a resource of it must. A
// resource directory may claim more bytes than the image holds, or bytes
// anywhere in memory. False also when the module's headers cannot be read.
[[nodiscard]] bool IsWithinModuleImage(HMODULE module, const void* bytes, size_t size);

// The resources of a module of this process as a ResourceSource, found with
// FindResourceA and had with LoadResource, LockResource and SizeofResource.
// The module is borrowed: it must stay mapped for as long as this object and
// the bytes it hands out are used.
class ModuleResources : public ResourceSource {
 public:
  explicit ModuleResources(HMODULE module) : module(module) {}
  ModuleResources(const ModuleResources&) = delete;
  ModuleResources& operator=(const ModuleResources&) = delete;

  // See ResourceSource. Refused when the resource is found but cannot be
  // loaded or locked, or its bytes do not lie inside the module's image
  // (IsWithinModuleImage). A resource of 0 bytes is found without bytes.
  [[nodiscard]] Lookup Find(std::uint16_t type, std::uint16_t id, const unsigned char** bytes,
                            std::uint32_t* size) override;

 private:
  HMODULE module;
};
