#include "app/install/resource_blob.h"

#include <cstring>
#include <new>

#include "app/install/module_resources.h"
#include "app/install/resource_view.h"
#include "component/component_reader.h"

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
