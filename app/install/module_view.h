#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>

#include "component/pe_resources.h"
#include "component/resource_source.h"

// A component module file mapped read-only as plain data, with its
// resources as the PE resource reader finds them in the file's bytes
// (component/pe_resources.h): nothing of it is run or given to the system's
// loader, and what is read is what the file held when it was mapped, every
// offset checked against it. The reader is the one `ppk inspect` uses, so
// that the vendor sees exactly what the installer reads.
class ModuleView {
 public:
  // Maps the file open as `handle` (a platform file handle, borrowed: it
  // must stay open while the view is used), so that nothing at any name is
  // consulted.
  explicit ModuleView(int handle);
  // Opens the file at `path` for reading (only a file on a disk at that
  // name itself) and maps it.
  explicit ModuleView(const char* path);
  ~ModuleView();
  ModuleView(const ModuleView&) = delete;
  ModuleView& operator=(const ModuleView&) = delete;

  // The module's resources. A file that could not be opened or mapped (an
  // empty one included) has none: every lookup finds nothing.
  ResourceSource& Resources() { return *resources; }

 private:
  void Map(HANDLE file);

  int ownHandle = -1;
  HANDLE mapping = nullptr;
  const unsigned char* bytes = nullptr;
  std::size_t size = 0;
  std::unique_ptr<PeResources> resources;
};
