#pragma once

#include <cstddef>
#include <cstdint>

#include "component/resource_source.h"

// The resources of a 32- or 64-bit PE module file held in memory, for tools
// that look at a module without loading it (`ppk inspect`).
//
// The file is untrusted: every offset, count and size it gives is checked
// against the file before it is used, in 64-bit arithmetic, and nothing
// outside the file is ever read. The resource tree is walked on three fixed
// levels, type, id, language; the entries of a level are bounded by what
// the file holds.
//
// Where this reads a module otherwise than Windows maps it:
//  - a resource's bytes are taken from the section that holds them in the
//    file; bytes a section does not have in the file (which Windows maps as
//    zeros) make the resource refused;
//  - of several languages of one resource it takes the first in the
//    directory;
//  - the integer entries of a level are looked up by binary search, which
//    relies on their being sorted by id, as the format has them.
class PeResources : public ResourceSource {
 public:
  // Reads the headers of `file`, `size` bytes, which are borrowed: they
  // must stay as they are for as long as this object and the bytes it
  // hands out are used.
  PeResources(const unsigned char* file, std::size_t size);
  PeResources(const PeResources&) = delete;
  PeResources& operator=(const PeResources&) = delete;

  // Why the file cannot be a module, in a few English words ("no PE
  // signature"); null when it can (a module without resources included).
  [[nodiscard]] const char* Fault() const { return fault; }

  // See ResourceSource. Missing also when the file cannot be a module, and
  // when the resource tree down to the resource cannot be read (Windows
  // finds nothing there either). Refused when the bytes the resource's
  // entry claims do not lie within one section's bytes in the file.
  [[nodiscard]] Lookup Find(std::uint16_t type, std::uint16_t id, const unsigned char** bytes,
                            std::uint32_t* size) override;

 private:
  // The file offset of the `length` bytes at `rva`: true when they lie
  // within the file bytes of the section that holds `rva`.
  bool Locate(std::uint64_t rva, std::uint64_t length, std::size_t* offset) const;
  // The entry with integer id `id` of the directory at `directory` (an
  // offset from the root of the tree): true with the offset its entry
  // points to when it is whole in the file and points to a directory
  // (`subdirectory`) or to a data entry (otherwise).
  bool Child(std::uint32_t directory, std::uint16_t id, bool subdirectory, std::uint32_t* offset) const;
  // The first entry of the directory at `directory`, which must point to a
  // data entry: true with that entry's offset.
  bool FirstData(std::uint32_t directory, std::uint32_t* offset) const;
  // The entries of the directory at `directory`: true with the offset of
  // the first and the number of named and integer ones when the directory
  // and all its entries are whole in the file.
  bool Entries(std::uint32_t directory, std::size_t* first, std::uint32_t* named, std::uint32_t* ids) const;

  const unsigned char* file;
  std::size_t size;
  const char* fault = nullptr;
  std::size_t sectionTable = 0;
  std::uint32_t sectionCount = 0;
  // The root of the resource tree; 0 when the module has none.
  std::uint32_t resourceRva = 0;
};

// The SizeOfImage of the PE headers at `headers`, of which `size` bytes may
// be read: true with it stored when the headers are whole within `size` and
// can be a module's (as for PeResources::Fault), else false, storing
// nothing.
[[nodiscard]] bool ReadPeImageSize(const unsigned char* headers, std::size_t size, std::uint32_t* sizeOfImage);
