#include "app/install/resource_blob.h"

#include <cstring>
#include <new>

ResourceBlob::ResourceBlob(HMODULE module, int id, LPCSTR type) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id & 0xFFFF), type);
  if (found == nullptr) return;
  size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  if (loaded == nullptr) return;
  const void* bytes = LockResource(loaded);
  if (bytes != nullptr) {
    data = new (std::nothrow) unsigned char[size + 1]();
    if (data != nullptr) std::memcpy(data, bytes, size);
  }
  FreeResource(loaded);
}

ResourceBlob::~ResourceBlob() { delete[] data; }

int ResourceBlob::GetData(const unsigned char** dataOut, uint32_t* sizeOut) const {
  if (data == nullptr) return 0;
  if (dataOut != nullptr) *dataOut = data;
  if (sizeOut != nullptr) *sizeOut = size;
  return 1;
}
