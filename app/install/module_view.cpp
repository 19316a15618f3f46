#include "app/install/module_view.h"

#include <io.h>

#include "platform/file_system.h"

ModuleView::ModuleView(int handle) { Map(reinterpret_cast<HANDLE>(_get_osfhandle(handle))); }

ModuleView::ModuleView(const char* path) {
  if (path != nullptr && platform::Open(path, platform::OpenMode::ReadOnlyDiskFile, ownHandle) != 0) ownHandle = -1;
  Map(ownHandle >= 0 ? reinterpret_cast<HANDLE>(_get_osfhandle(ownHandle)) : INVALID_HANDLE_VALUE);
}

void ModuleView::Map(HANDLE file) {
  LARGE_INTEGER length = {};
  // A view is made of the whole file; one the address space cannot hold is
  // no module the installer takes.
  if (file != INVALID_HANDLE_VALUE && GetFileSizeEx(file, &length) && length.QuadPart > 0 &&
      static_cast<unsigned long long>(length.QuadPart) <= SIZE_MAX) {
    mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping != nullptr) bytes = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    if (bytes != nullptr) size = static_cast<std::size_t>(length.QuadPart);
  }
  resources = std::make_unique<PeResources>(bytes, size);
}

ModuleView::~ModuleView() {
  resources.reset();
  if (bytes != nullptr) UnmapViewOfFile(bytes);
  if (mapping != nullptr) CloseHandle(mapping);
  if (ownHandle >= 0) platform::Close(ownHandle);
}
