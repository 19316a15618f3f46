#include "component/component_reader.h"

#include <algorithm>
#include <cstring>

namespace {

using Record = Finding::Record;
using Problem = Finding::Problem;

constexpr std::uint16_t kTypeCodeId = 400;
constexpr std::uint16_t kDisplayNameId = 401;
constexpr std::uint16_t kEntryCountId = 402;
constexpr std::uint16_t kEntryIdsId = 403;
constexpr std::uint16_t kSeedCountId = 404;
// The blocks of entry id n are the resources n + 404, n + 405 and n + 406
// (modulo 65536), put into its record at bytes 2, 12 and 22.
struct BlockPlace {
  Record record;
  std::uint16_t offset;
  std::size_t at;
  std::uint32_t size;
};
constexpr BlockPlace kBlocks[] = {
    {Record::FirstBlock, 404, 2, 10},
    {Record::SecondBlock, 405, 12, 10},
    {Record::LastBlock, 406, 22, 4},
};
constexpr std::uint32_t kNumberSize = 2;
// A string block holds 16 strings, each a 16-bit length and that many
// UTF-16 units.
constexpr int kStringsPerBlock = 16;

std::uint16_t Unsigned16(const unsigned char* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

int Signed16(const unsigned char* bytes) { return static_cast<std::int16_t>(Unsigned16(bytes)); }

const ComponentKind* KindOf(int typeCode) {
  for (const ComponentKind& kind : kComponentKinds) {
    if (kind.typeCode == typeCode) return &kind;
  }
  return nullptr;
}

// One resource as registration takes it.
struct Fetched {
  Lookup lookup;
  const unsigned char* bytes;
  std::uint32_t size;
};

// One pass over a module: looks its resources up and keeps what it finds.
class Reader {
 public:
  Reader(ResourceSource& source, std::vector<Finding>* findings) : source(source), findings(findings) {}

  bool Refused() const { return refused; }

  void Note(const Finding& finding) {
    refused = refused || finding.refuses;
    if (findings != nullptr) findings->push_back(finding);
  }

  // Resource `id` of `type`: Found within kMaxResourceSize, Missing, or
  // Refused (noted as the module's refusal: unreadable, or over the limit).
  Fetched Fetch(Record record, std::uint16_t type, std::uint16_t id, std::uint32_t entry = 0) {
    const unsigned char* bytes = nullptr;
    std::uint32_t size = 0;
    const Lookup lookup = source.Find(type, id, &bytes, &size);
    if (lookup == Lookup::Refused) {
      Note({record, Problem::Unreadable, true, id, 0, 0, 0, entry});
    } else if (lookup == Lookup::Found && size > kMaxResourceSize) {
      Note({record, Problem::OverLimit, true, id, size, kMaxResourceSize, 0, entry});
      return {Lookup::Refused, nullptr, 0};
    }
    return {lookup, bytes, size};
  }

  // RCDATA `id` as a sign-extended 16-bit number into `*value`: true when it
  // is exactly 2 bytes. Otherwise notes why not, as a refusal when
  // `required`, and returns false.
  bool Number(Record record, std::uint16_t id, bool required, int* value) {
    const Fetched number = Fetch(record, kRcDataType, id);
    if (number.lookup == Lookup::Refused) return false;
    if (number.lookup == Lookup::Missing) {
      Note({record, Problem::Missing, required, id});
      return false;
    }
    if (number.size != kNumberSize) {
      Note({record, Problem::WrongSize, required, id, number.size, kNumberSize});
      return false;
    }
    *value = Signed16(number.bytes);
    return true;
  }

  // The display name, string `nameId`, from its string block into
  // `*component`; false (noted) when the block is refused, missing or not
  // whole up to the name, or the name is empty.
  bool DisplayName(std::uint16_t nameId, ComponentRecords* component) {
    const std::uint16_t blockId = static_cast<std::uint16_t>(nameId / kStringsPerBlock + 1);
    const Fetched block = Fetch(Record::StringBlock, kStringBlockType, blockId);
    if (block.lookup == Lookup::Refused) return false;
    if (block.lookup == Lookup::Missing) {
      Note({Record::StringBlock, Problem::Missing, true, blockId});
      return false;
    }
    const int wanted = nameId % kStringsPerBlock;
    const int firstId = nameId - wanted;
    std::size_t nameAt = 0;
    std::size_t nameUnits = 0;
    // Every string the block holds must lie within it (the strings after
    // the name too), and it must hold the strings up to the name.
    std::size_t at = 0;
    int strings = 0;
    for (; strings < kStringsPerBlock && at < block.size; ++strings) {
      const std::size_t left = block.size - at;
      const std::size_t units = left < 2 ? 0 : Unsigned16(block.bytes + at);
      if (left < 2 || units * 2 > left - 2) {
        Note({Record::StringBlock, Problem::StringPastEnd, true, blockId, block.size, 0, firstId + strings});
        return false;
      }
      if (strings == wanted) {
        nameAt = at + 2;
        nameUnits = units;
      }
      at += 2 + units * 2;
    }
    if (strings <= wanted) {
      Note({Record::StringBlock, Problem::EndsEarly, true, blockId, block.size, 0, nameId});
      return false;
    }
    if (nameUnits == 0) {
      Note({Record::DisplayName, Problem::Empty, true, nameId, 0, 0, nameId});
      return false;
    }
    component->displayNameId = nameId;
    component->displayNameLength = nameUnits;
    const std::size_t kept = std::min(nameUnits, kMaxDisplayNameUnits);
    for (std::size_t i = 0; i < kept; ++i) {
      component->displayName[i] = static_cast<char16_t>(Unsigned16(block.bytes + nameAt + 2 * i));
    }
    return true;
  }

  // The entry records into `*component`: none, noted, when the count or the
  // ids are unusable. False when a resource read is refused.
  bool Entries(ComponentRecords* component) {
    int count = 0;
    const bool counted = Number(Record::EntryCount, kEntryCountId, false, &count);
    if (refused) return false;
    const Fetched ids = Fetch(Record::EntryIds, kRcDataType, kEntryIdsId);
    if (refused) return false;
    if (!counted) return true;
    if (count < 0) {
      Note({Record::EntryCount, Problem::Negative, false, kEntryCountId, 0, 0, count});
      return true;
    }
    if (count > kMaxEntries) {
      Note({Record::EntryCount, Problem::TooMany, true, kEntryCountId, 0, kMaxEntries, count});
      return false;
    }
    const std::uint32_t needed = static_cast<std::uint32_t>(count) * 2;
    if (ids.lookup == Lookup::Missing) {
      if (count > 0) Note({Record::EntryIds, Problem::Missing, false, kEntryIdsId, 0, needed});
      return true;
    }
    if (ids.size < needed) {
      Note({Record::EntryIds, Problem::FewerIds, false, kEntryIdsId, ids.size, needed});
      return true;
    }
    if (ids.size > needed) Note({Record::EntryIds, Problem::StrayBytes, false, kEntryIdsId, ids.size, needed});

    component->entries.resize(static_cast<std::size_t>(count));
    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(count); ++i) {
      std::array<unsigned char, kEntryRecordSize>& record = component->entries[i];  // zeros
      std::memcpy(record.data(), ids.bytes + 2 * i, 2);
      const std::uint16_t entryId = Unsigned16(ids.bytes + 2 * i);
      for (const BlockPlace& place : kBlocks) {
        const std::uint16_t id = static_cast<std::uint16_t>(entryId + place.offset);
        const Fetched block = Fetch(place.record, kRcDataType, id, i);
        if (block.lookup == Lookup::Refused) return false;
        if (block.lookup == Lookup::Missing) {
          Note({place.record, Problem::Missing, false, id, 0, place.size, 0, i});
        } else if (block.size != place.size) {
          Note({place.record, Problem::WrongSize, false, id, block.size, place.size, 0, i});
        } else {
          std::memcpy(record.data() + place.at, block.bytes, place.size);
        }
      }
    }
    return true;
  }

 private:
  ResourceSource& source;
  std::vector<Finding>* findings;
  bool refused = false;
};

}  // namespace

bool ReadComponent(ResourceSource& source, ComponentRecords* component, std::vector<Finding>* findings) {
  Reader reader(source, findings);
  component->kind = nullptr;
  component->seedCount = 0;
  component->displayNameLength = 0;
  component->entries.clear();
  int typeCode = 0;
  int nameId = 0;
  if (!reader.Number(Record::TypeCode, kTypeCodeId, true, &typeCode) ||
      !reader.Number(Record::DisplayNameId, kDisplayNameId, true, &nameId)) {
    return false;
  }
  const ComponentKind* kind = KindOf(typeCode);
  if (kind == nullptr) {
    reader.Note({Record::TypeCode, Problem::NoKind, true, kTypeCodeId, kNumberSize, 0, typeCode});
    return false;
  }
  if (!reader.DisplayName(static_cast<std::uint16_t>(nameId & 0xFFFF), component)) return false;
  if (kind->seeded) {
    int seedCount = 0;
    if (reader.Number(Record::SeedCount, kSeedCountId, false, &seedCount)) {
      if (seedCount > 0) {
        component->seedCount = seedCount;
      } else {
        reader.Note({Record::SeedCount, Problem::NotPositive, false, kSeedCountId, kNumberSize, 0, seedCount});
      }
    }
  }
  if (kind->recordsSubKey != nullptr && !reader.Entries(component)) return false;
  if (reader.Refused()) return false;
  component->kind = kind;
  return true;
}
