#include "app/install/resource_blob.h"

#include <cstring>
#include <new>

#include "app/install/resource_view.h"

namespace {

constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

}  // namespace

bool IsWithinMappedImage(const void* bytes, size_t size) {
  if (bytes == nullptr) return false;
  const uintptr_t start = reinterpret_cast<uintptr_t>(bytes);
  if (size > UINTPTR_MAX - start) return false;
  const uintptr_t end = start + size;
  MEMORY_BASIC_INFORMATION region;
  if (VirtualQuery(bytes, &region, sizeof region) == 0) return false;
  const void* mapping = region.AllocationBase;
  // Region by region: every one committed, readable and of the same mapping.
  for (uintptr_t at = start;;) {
    if (region.State != MEM_COMMIT || region.AllocationBase != mapping ||
        (region.Protect & kReadable) == 0 || (region.Protect & PAGE_GUARD) != 0) {
      return false;
    }
    at = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
    if (at >= end || at == 0) return true;
    if (VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) == 0) return false;
  }
}

ResourceBlob::ResourceBlob(HMODULE module, int id, LPCSTR type)
    : ResourceBlob(module, MAKEINTRESOURCEA(id & 0xFFFF), type) {}

ResourceBlob::ResourceBlob(HMODULE module, LPCSTR name, LPCSTR type) {
  const ResourceView view(module, name, type);
  size = view.ClaimedSize();
  if (size > kMaxResourceSize) {
    refused = true;
    return;
  }
  if (view.Bytes() != nullptr && !IsWithinMappedImage(view.Bytes(), size)) {
    refused = true;
  } else if (view.Bytes() != nullptr) {
    const size_t length = size;
    data = new (std::nothrow) unsigned char[length + 1]();
    if (data != nullptr) std::memcpy(data, view.Bytes(), length);
  }
}

ResourceBlob::~ResourceBlob() { delete[] data; }

bool ResourceBlob::GetData(const unsigned char** dataOut, uint32_t* sizeOut) const {
  if (data == nullptr) return false;
  if (dataOut != nullptr) *dataOut = data;
  if (sizeOut != nullptr) *sizeOut = size;
  return true;
}
