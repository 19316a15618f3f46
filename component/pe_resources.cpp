#include "component/pe_resources.h"

#include <algorithm>
#include <cstring>

namespace {

// DOS header: "MZ", and at 0x3C the file offset of the PE signature.
constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kPeOffsetAt = 0x3C;
// "PE\0\0", then the file header, then the optional header.
constexpr unsigned char kPeSignature[] = {'P', 'E', 0, 0};
constexpr std::size_t kSignatureSize = sizeof kPeSignature;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kSectionCountAt = 2;
constexpr std::size_t kOptionalSizeAt = 16;
// Optional header: its magic tells 32-bit from 64-bit, which moves the
// data directories.
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::size_t kSizeOfImageAt = 56;
constexpr std::size_t kPe32DirectoryCountAt = 92;
constexpr std::size_t kPe32PlusDirectoryCountAt = 108;
constexpr std::size_t kDirectorySlotSize = 8;
constexpr std::uint32_t kResourceSlot = 2;
// Section headers: virtual size, address, size and offset of the file's bytes.
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kVirtualSizeAt = 8;
constexpr std::size_t kVirtualAddressAt = 12;
constexpr std::size_t kRawSizeAt = 16;
constexpr std::size_t kRawOffsetAt = 20;
// Windows maps no image with more sections.
constexpr std::uint32_t kMaxSections = 96;
// Resource tree: a directory (16 bytes, the counts of named and integer
// entries at 12 and 14), its entries (8 bytes: name or id, then the offset
// of a subdirectory, flagged, or of a data entry), data entries (16 bytes:
// address and size of the bytes).
constexpr std::size_t kDirectoryHeaderSize = 16;
constexpr std::size_t kNamedCountAt = 12;
constexpr std::size_t kIdCountAt = 14;
constexpr std::size_t kEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;
constexpr std::uint32_t kSubdirectoryFlag = 0x80000000u;

std::uint16_t U16(const unsigned char* bytes) { return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8); }

std::uint32_t U32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(U16(bytes)) | static_cast<std::uint32_t>(U16(bytes + 2)) << 16;
}

// Where the headers every module starts with put things.
struct Headers {
  std::size_t optional = 0;  // file offset of the optional header
  std::size_t optionalSize = 0;
  std::uint16_t magic = 0;
  std::uint32_t sectionCount = 0;
};

// Checks the DOS header, the signature, the file header and the optional
// header within `size` bytes; null with `*headers` filled, or what is wrong.
const char* ReadHeaders(const unsigned char* file, std::size_t size, Headers* headers) {
  if (size < kDosHeaderSize || file[0] != 'M' || file[1] != 'Z') return "no MZ header";
  const std::uint64_t signature = U32(file + kPeOffsetAt);
  if (signature + kSignatureSize + kFileHeaderSize > size) return "its PE header lies outside the file";
  if (std::memcmp(file + signature, kPeSignature, kSignatureSize) != 0) return "no PE signature";
  const unsigned char* fileHeader = file + signature + kSignatureSize;
  headers->sectionCount = U16(fileHeader + kSectionCountAt);
  headers->optionalSize = U16(fileHeader + kOptionalSizeAt);
  headers->optional = static_cast<std::size_t>(signature) + kSignatureSize + kFileHeaderSize;
  if (headers->optionalSize < kSizeOfImageAt + 4) return "its optional header is too short";
  if (headers->optionalSize > size - headers->optional) return "its optional header lies outside the file";
  headers->magic = U16(file + headers->optional);
  if (headers->magic != kPe32Magic && headers->magic != kPe32PlusMagic) {
    return "its optional header is neither PE32 nor PE32+";
  }
  return nullptr;
}

}  // namespace

PeResources::PeResources(const unsigned char* file, std::size_t size) : file(file), size(size) {
  Headers headers;
  fault = ReadHeaders(file, size, &headers);
  if (fault != nullptr) return;
  if (headers.sectionCount > kMaxSections) {
    fault = "it has more than 96 sections";
    return;
  }
  sectionTable = headers.optional + headers.optionalSize;
  if (headers.sectionCount * kSectionHeaderSize > size - sectionTable) {
    fault = "its section table lies outside the file";
    return;
  }
  sectionCount = headers.sectionCount;
  const std::size_t countAt =
      headers.magic == kPe32Magic ? kPe32DirectoryCountAt : kPe32PlusDirectoryCountAt;
  const std::size_t slotAt = countAt + 4 + kResourceSlot * kDirectorySlotSize;
  if (slotAt + kDirectorySlotSize <= headers.optionalSize &&
      U32(file + headers.optional + countAt) > kResourceSlot) {
    resourceRva = U32(file + headers.optional + slotAt);
  }
}

bool PeResources::Locate(std::uint64_t rva, std::uint64_t length, std::size_t* offset) const {
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    const unsigned char* section = file + sectionTable + i * kSectionHeaderSize;
    const std::uint64_t start = U32(section + kVirtualAddressAt);
    const std::uint64_t rawSize = U32(section + kRawSizeAt);
    const std::uint64_t virtualSize = U32(section + kVirtualSizeAt);
    // A section holds its virtual size (its file size when that is 0), the
    // first of it from the file.
    const std::uint64_t span = virtualSize != 0 ? virtualSize : rawSize;
    if (rva < start || rva - start >= span) continue;
    const std::uint64_t inFile = std::min(span, rawSize);
    const std::uint64_t at = U32(section + kRawOffsetAt) + (rva - start);
    if (rva - start + length > inFile || at + length > size) return false;
    *offset = static_cast<std::size_t>(at);
    return true;
  }
  return false;
}

bool PeResources::Entries(std::uint32_t directory, std::size_t* first, std::uint32_t* named,
                          std::uint32_t* ids) const {
  const std::uint64_t at = static_cast<std::uint64_t>(resourceRva) + directory;
  std::size_t header = 0;
  if (!Locate(at, kDirectoryHeaderSize, &header)) return false;
  *named = U16(file + header + kNamedCountAt);
  *ids = U16(file + header + kIdCountAt);
  return Locate(at + kDirectoryHeaderSize, (*named + *ids) * std::uint64_t{kEntrySize}, first);
}

bool PeResources::Child(std::uint32_t directory, std::uint16_t id, bool subdirectory,
                        std::uint32_t* offset) const {
  std::size_t first = 0;
  std::uint32_t named = 0;
  std::uint32_t ids = 0;
  if (!Entries(directory, &first, &named, &ids)) return false;
  // The integer entries follow the named ones, sorted by id.
  const unsigned char* entries = file + first + named * kEntrySize;
  std::uint32_t low = 0;
  std::uint32_t high = ids;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    const std::uint32_t name = U32(entries + middle * kEntrySize);
    if (name < id) {
      low = middle + 1;
    } else if (name > id) {
      high = middle;
    } else {
      const std::uint32_t target = U32(entries + middle * kEntrySize + 4);
      if (((target & kSubdirectoryFlag) != 0) != subdirectory) return false;
      *offset = target & ~kSubdirectoryFlag;
      return true;
    }
  }
  return false;
}

bool PeResources::FirstData(std::uint32_t directory, std::uint32_t* offset) const {
  std::size_t first = 0;
  std::uint32_t named = 0;
  std::uint32_t ids = 0;
  if (!Entries(directory, &first, &named, &ids) || named + ids == 0) return false;
  const std::uint32_t target = U32(file + first + 4);
  if ((target & kSubdirectoryFlag) != 0) return false;
  *offset = target;
  return true;
}

Lookup PeResources::Find(std::uint16_t type, std::uint16_t id, const unsigned char** bytes,
                         std::uint32_t* sizeOut) {
  if (fault != nullptr || resourceRva == 0) return Lookup::Missing;
  // Type, id, language: the tree's three levels, no deeper.
  std::uint32_t ids = 0;
  std::uint32_t languages = 0;
  std::uint32_t data = 0;
  std::size_t entry = 0;
  if (!Child(0, type, true, &ids) || !Child(ids, id, true, &languages) || !FirstData(languages, &data) ||
      !Locate(static_cast<std::uint64_t>(resourceRva) + data, kDataEntrySize, &entry)) {
    return Lookup::Missing;
  }
  const std::uint32_t rva = U32(file + entry);
  const std::uint32_t length = U32(file + entry + 4);
  std::size_t at = 0;
  if (!Locate(rva, length, &at)) return Lookup::Refused;
  *bytes = file + at;
  *sizeOut = length;
  return Lookup::Found;
}

bool ReadPeImageSize(const unsigned char* headers, std::size_t size, std::uint32_t* sizeOfImage) {
  Headers found;
  if (ReadHeaders(headers, size, &found) != nullptr) return false;
  *sizeOfImage = U32(headers + found.optional + kSizeOfImageAt);
  return true;
}
