#include "app/install/module_resources.h"

#include "app/install/resource_view.h"
#include "component/pe_resources.h"

namespace {

// All of a mapped image's headers that may be read before its size is
// known: they are mapped as one page at least, and no Windows has pages
// smaller than this.
constexpr size_t kHeaderPageSize = 4096;
// A module opened as data has flags in the low bits of its handle; its
// image starts at the handle without them.
constexpr uintptr_t kHandleFlags = 3;

}  // namespace

bool IsWithinModuleImage(HMODULE module, const void* bytes, size_t size) {
  if (module == nullptr || bytes == nullptr) return false;
  const uintptr_t base = reinterpret_cast<uintptr_t>(module) & ~kHandleFlags;
  uint32_t imageSize = 0;
  if (!ReadPeImageSize(reinterpret_cast<const unsigned char*>(base), kHeaderPageSize, &imageSize) ||
      imageSize > UINTPTR_MAX - base) {
    return false;
  }
  const uintptr_t start = reinterpret_cast<uintptr_t>(bytes);
  const uintptr_t end = base + imageSize;
  return start >= base && start <= end && size <= end - start;
}

Lookup ModuleResources::Find(std::uint16_t type, std::uint16_t id, const unsigned char** bytes,
                             std::uint32_t* size) {
  const ResourceView view(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
  if (!view.Found()) return Lookup::Missing;
  if (view.ClaimedSize() != 0 &&
      (view.Bytes() == nullptr || !IsWithinModuleImage(module, view.Bytes(), view.ClaimedSize()))) {
    return Lookup::Refused;
  }
  // The module holds the bytes, not the view: they stay while it is mapped.
  *bytes = view.Bytes();
  *size = view.ClaimedSize();
  return Lookup::Found;
}
