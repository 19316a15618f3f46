#include "app/install/resource_blob.h"

#include <cstring>
#include <new>

#include "app/install/resource_view.h"
#include "component/component_reader.h"
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

ResourceBlob::ResourceBlob(HMODULE module, int id, LPCSTR type) {
  const ResourceView view(module, id, type);
  if (view.Bytes() == nullptr || view.ClaimedSize() > kMaxResourceSize ||
      !IsWithinModuleImage(module, view.Bytes(), view.ClaimedSize())) {
    return;
  }
  const size_t length = view.ClaimedSize();
  data = new (std::nothrow) unsigned char[length + 1]();
  if (data == nullptr) return;
  std::memcpy(data, view.Bytes(), length);
  size = static_cast<uint32_t>(length);
}

ResourceBlob::~ResourceBlob() { delete[] data; }

bool ResourceBlob::GetData(const unsigned char** dataOut, uint32_t* sizeOut) const {
  if (data == nullptr) return false;
  if (dataOut != nullptr) *dataOut = data;
  if (sizeOut != nullptr) *sizeOut = size;
  return true;
}
