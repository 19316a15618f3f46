#pragma once

#include <cstddef>
#include <vector>

// Damaging a module file as a broken or hostile one might be: found in its
// resource directory by a walk of its own, so that the readers under test
// never check their own work.
namespace module_patch {

using Bytes = std::vector<unsigned char>;

// The file offset of the data entry (the address of the bytes, then their
// size) of the first language of resource `id` of `type` in the module file
// `image`; 0 when the module has no such resource.
std::size_t DataEntry(const Bytes& image, unsigned type, unsigned id);

}  // namespace module_patch
