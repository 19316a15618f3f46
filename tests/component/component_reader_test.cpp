#include "component/component_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Le16(std::initializer_list<int> values) {
  Bytes bytes;
  for (const int value : values) bytes.insert(bytes.end(), {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8)});
  return bytes;
}

// A string block of these strings, each its length and its units.
Bytes Strings(std::initializer_list<std::u16string> strings) {
  Bytes bytes;
  for (const std::u16string& text : strings) {
    bytes.insert(bytes.end(), {static_cast<unsigned char>(text.size()), static_cast<unsigned char>(text.size() >> 8)});
    for (const char16_t unit : text) bytes.insert(bytes.end(), {static_cast<unsigned char>(unit), static_cast<unsigned char>(unit >> 8)});
  }
  return bytes;
}

// Block 404, 405 or 406 of any entry: as many bytes as it must have,
// counting up from 0x41, 0x51 or 0x61.
Bytes BlockBytes(int offset) {
  Bytes bytes(offset == 406 ? 4 : 10);
  for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<unsigned char>(0x41 + (offset - 404) * 0x10 + k);
  return bytes;
}

// A module's resources as a test writes them down. A resource may claim
// more bytes than it has, so that a read of the rest is a sanitizer's fault.
class FakeModule : public ResourceSource {
 public:
  FakeModule& Set(int id, const Bytes& bytes, std::uint16_t type = kRcDataType) {
    resources[{type, id}] = {bytes, static_cast<std::int64_t>(bytes.size())};
    return *this;
  }
  // Keeps the bytes it has (one, when it is new) and claims `size`.
  FakeModule& Claim(int id, std::uint32_t size, std::uint16_t type = kRcDataType) {
    Resource& resource = resources[{type, id}];
    if (resource.bytes.empty()) resource.bytes = {0x7F};
    resource.claimed = size;
    return *this;
  }
  FakeModule& Refuse(int id, std::uint16_t type = kRcDataType) {
    resources[{type, id}] = {{}, -1};
    return *this;
  }
  FakeModule& Drop(int id, std::uint16_t type = kRcDataType) {
    resources.erase({type, id});
    return *this;
  }
  Lookup Find(std::uint16_t type, std::uint16_t id, const unsigned char** bytes, std::uint32_t* size) override {
    const auto found = resources.find({type, id});
    if (found == resources.end()) return Lookup::Missing;
    if (found->second.claimed < 0) return Lookup::Refused;
    *bytes = found->second.bytes.data();
    *size = static_cast<std::uint32_t>(found->second.claimed);
    return Lookup::Found;
  }

 private:
  struct Resource {
    Bytes bytes;
    std::int64_t claimed;  // below 0: refused
  };
  std::map<std::pair<std::uint16_t, int>, Resource> resources;
};

// A component of type `typeCode` named "Name" (string 1): a plant with 3
// seeds, any other kind with entries `ids`, each with all its blocks.
FakeModule Component(int typeCode, std::initializer_list<int> ids = {}) {
  FakeModule module;
  module.Set(400, Le16({typeCode})).Set(401, Le16({1})).Set(1, Strings({u"", u"Name"}), kStringBlockType);
  if (typeCode == 1) return module.Set(404, Le16({3}));
  module.Set(402, Le16({static_cast<int>(ids.size())})).Set(403, Le16(ids));
  for (const int id : ids) {
    for (const int offset : {404, 405, 406}) module.Set((id + offset) & 0xFFFF, BlockBytes(offset));
  }
  return module;
}

// What reading `module` came to, in a few words: "registered" or "refused",
// then each finding, as "for <record> <problem>" when it refuses the module
// and as "mended <record> <problem>" when it does not.
std::string Outcome(FakeModule& module, ComponentRecords* read = nullptr) {
  const char* const records[] = {"400", "401", "block", "name", "404", "402", "403", "first", "second", "last"};
  const char* const problems[] = {"missing", "size", "unreadable", "limit", "kind", "not positive", "negative",
                                  "too many", "fewer", "stray", "past end", "ends early", "empty"};
  ComponentRecords component;
  std::vector<Finding> findings;
  std::string text = ReadComponent(module, read != nullptr ? read : &component, &findings) ? "registered" : "refused";
  for (const Finding& f : findings) text += (f.refuses ? " for " : ", mended ") + std::string(records[int(f.record)]) + " " + problems[int(f.problem)];
  return text;
}

std::string Outcome(FakeModule&& module, ComponentRecords* read = nullptr) { return Outcome(module, read); }

// The record an entry gives: its id, then the blocks present (others zero).
std::array<unsigned char, kEntryRecordSize> EntryRecord(int id, bool first, bool second, bool last) {
  std::array<unsigned char, kEntryRecordSize> record = {static_cast<unsigned char>(id), static_cast<unsigned char>(id >> 8)};
  std::size_t at = 2;
  for (const auto& [offset, present] : {std::pair{404, first}, {405, second}, {406, last}}) {
    const Bytes bytes = BlockBytes(offset);
    if (present) std::copy(bytes.begin(), bytes.end(), record.begin() + static_cast<std::ptrdiff_t>(at));
    at += bytes.size();
  }
  return record;
}

TEST(ComponentReader, EachKindReadsItsOwnRecordsAndNoOther) {
  // Where each kind goes in the registry, as the screensaver looks for it.
  const char* const layout[] = {"plants seeds", "animations aniint", "sounds soundint", "specials specialint"};
  for (const ComponentKind& kind : kComponentKinds) {
    EXPECT_EQ(std::string(kind.category) + " " + (kind.seeded ? "seeds" : kind.recordsSubKey), layout[kind.typeCode - 1]);
    // What the other kinds read is there too, but not this kind's to read.
    ComponentRecords read;
    EXPECT_EQ(Outcome(Component(kind.typeCode, {10, 20}).Set(404, Le16({7})).Set(402, Le16({2})), &read), "registered");
    EXPECT_EQ(read.kind, &kind) << kind.name;
    EXPECT_EQ(read.seedCount, kind.seeded ? 7 : 0) << kind.name;
    EXPECT_EQ(read.entries.size(), kind.seeded ? 0u : 2u) << kind.name;
  }
  // Type codes of no kind, a negative one among them.
  for (const int typeCode : {0, 5, -1}) EXPECT_EQ(Outcome(Component(typeCode)), "refused for 400 kind") << typeCode;
}

TEST(ComponentReader, NumbersCountOnlyAtExactlyTwoBytes) {
  // The type code and the name id refuse the module; a seed count or an
  // entry count is left out.
  for (const auto& [typeCode, id, outcome] : {std::tuple{1, 400, "refused for 400"}, {1, 401, "refused for 401"},
                                              {1, 404, "registered, mended 404"}, {2, 402, "registered, mended 402"}}) {
    for (const Bytes& bytes : {Bytes{}, Bytes{1}, Bytes{1, 0, 0}, Bytes{1, 0, 0, 0}}) {
      EXPECT_EQ(Outcome(Component(typeCode, {10}).Set(id, bytes)), std::string(outcome) + " size") << bytes.size();
    }
    EXPECT_EQ(Outcome(Component(typeCode, {10}).Drop(id)), std::string(outcome) + " missing");
  }
  // Seed counts are signed and written only above 0.
  for (const int seeds : {0, -3, 0x7FFF}) {
    ComponentRecords read;
    EXPECT_EQ(Outcome(Component(1).Set(404, Le16({seeds})), &read), seeds > 0 ? "registered" : "registered, mended 404 not positive");
    EXPECT_EQ(read.seedCount, seeds > 0 ? seeds : 0);
  }
}

TEST(ComponentReader, EntryIdsMustCoverTheCountAndStrayBytesAreNotRead) {
  for (const auto& [count, ids, outcome] :
       {std::tuple{2, Bytes{10, 0, 20}, "registered, mended 403 fewer"}, {2, Bytes{10, 0, 20, 0}, "registered"},
        {2, Bytes{10, 0, 20, 0, 30}, "registered, mended 403 stray"}, {-1, Bytes{10, 0}, "registered, mended 402 negative"},
        {0, Bytes{}, "registered"}}) {
    ComponentRecords read;
    EXPECT_EQ(Outcome(Component(3, {10, 20}).Set(402, Le16({count})).Set(403, ids), &read), outcome) << count;
    EXPECT_EQ(read.entries.size(), ids.size() >= 4 && count > 0 ? 2u : 0u) << count;
  }
  EXPECT_EQ(Outcome(Component(4, {10}).Drop(403)), "registered, mended 403 missing");
}

TEST(ComponentReader, BlocksAreCopiedOnlyAtTheirExactSizeIntoTheirPlace) {
  // Entry 20 has no blocks. Ids and blocks are taken modulo 65536: entry
  // 0xFFF6 has blocks 394 to 396, entry 0xFE6C blocks 0 to 2.
  for (const int id : {10, 0xFFF6, 0xFE6C}) {
    ComponentRecords read;
    EXPECT_EQ(Outcome(Component(2, {id, 20}).Drop(424).Drop(425).Drop(426), &read),
              "registered, mended first missing, mended second missing, mended last missing");
    ASSERT_EQ(read.entries.size(), 2u);
    EXPECT_EQ(read.entries[0], EntryRecord(id, true, true, true)) << id;
    EXPECT_EQ(read.entries[1], EntryRecord(20, false, false, false));
  }
  // Each block one byte short, one long, empty, and claiming far more than
  // it has (which must not be read): zeros in its place, the others kept.
  for (const auto& [offset, name] : {std::pair{404, "first"}, {405, "second"}, {406, "last"}}) {
    const std::size_t size = BlockBytes(offset).size();
    for (const std::size_t wrong : {size - 1, size + 1, std::size_t{0}}) {
      ComponentRecords read;
      EXPECT_EQ(Outcome(Component(4, {10}).Set(10 + offset, Bytes(wrong, 0xEE)), &read),
                std::string("registered, mended ") + name + " size");
      EXPECT_EQ(read.entries[0], EntryRecord(10, offset != 404, offset != 405, offset != 406)) << offset << " " << wrong;
    }
    EXPECT_EQ(Outcome(Component(4, {10}).Claim(10 + offset, 60000)), std::string("registered, mended ") + name + " size");
  }
}

TEST(ComponentReader, DisplayNameComesOnlyFromABlockWholeUpToIt) {
  // String 19 is string 3 of block 2; -1 is string 65535, the last of
  // block 4096.
  const Bytes last = Strings({u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"Name"});
  for (const auto& [id, block, strings] : {std::tuple{19, 2, Strings({u"", u"", u"x", u"Name"})}, {-1, 4096, last}}) {
    ComponentRecords read;
    EXPECT_EQ(Outcome(Component(1).Drop(1, kStringBlockType).Set(401, Le16({id})).Set(block, strings, kStringBlockType), &read),
              "registered");
    EXPECT_EQ(std::u16string(read.displayName, read.displayNameLength), u"Name") << id;
  }
  // Refused: the name empty; the block ending before it (the bytes after
  // the block are not the name's); a string before or after it running
  // past the block's end; no block.
  Bytes cut = Strings({u"", u"Name", u"Next"});
  cut.pop_back();
  for (const auto& [strings, outcome] : {std::pair{Strings({u"", u""}), "refused for name empty"},
                                         {Strings({u""}), "refused for block ends early"},
                                         {Bytes{0, 0, 4}, "refused for block past end"},
                                         {Bytes{9, 0, 'x', 0}, "refused for block past end"},
                                         {cut, "refused for block past end"}}) {
    EXPECT_EQ(Outcome(Component(1).Set(1, strings, kStringBlockType)), outcome) << strings.size();
  }
  EXPECT_EQ(Outcome(Component(1).Drop(1, kStringBlockType)), "refused for block missing");
}

TEST(ComponentReader, EveryResourceReadMustBeWithinTheLimitAndTheModuleAndNoOtherNeedBe) {
  // Each resource that registration reads, refused by the source or
  // claiming more than a record may have.
  for (const auto& [typeCode, id, type, name] :
       {std::tuple{1, 400, kRcDataType, "400"}, {1, 401, kRcDataType, "401"}, {1, 1, kStringBlockType, "block"},
        {1, 404, kRcDataType, "404"}, {2, 402, kRcDataType, "402"}, {2, 403, kRcDataType, "403"},
        {2, 414, kRcDataType, "first"}, {2, 415, kRcDataType, "second"}, {2, 416, kRcDataType, "last"}}) {
    const std::string refused = std::string("refused for ") + name;
    EXPECT_EQ(Outcome(Component(typeCode, {10}).Refuse(id, type)), refused + " unreadable");
    EXPECT_EQ(Outcome(Component(typeCode, {10}).Claim(id, kMaxResourceSize + 1, type)), refused + " limit");
  }
  // The first resource refused is the one reason, whatever else would be.
  EXPECT_EQ(Outcome(Component(2, {10}).Refuse(402).Refuse(403)), "refused for 402 unreadable");
  // Ids filling the limit: as many read as a component may have (their
  // blocks missing); one entry more refuses the module.
  ComponentRecords read;
  const Bytes ids(kMaxResourceSize, 0);
  EXPECT_EQ(Outcome(Component(2).Set(402, Le16({kMaxEntries})).Set(403, ids), &read).substr(0, 10), "registered");
  EXPECT_EQ(read.entries.size(), static_cast<std::size_t>(kMaxEntries));
  EXPECT_EQ(Outcome(Component(2).Set(402, Le16({kMaxEntries + 1})).Set(403, ids)), "refused for 402 too many");
  // What registration does not read may be anything: a plant's entry
  // records, an animation's seed count, blocks of entries beyond the count,
  // other string blocks.
  EXPECT_EQ(Outcome(Component(1).Claim(402, 0xFFFFFFFFu).Refuse(403).Claim(405, 0x80000000u)), "registered");
  EXPECT_EQ(Outcome(Component(2, {10}).Refuse(404).Set(403, Le16({10, 20})).Refuse(424).Claim(425, 0xFFFFFFFFu).Claim(
                2, 1u << 20, kStringBlockType)),
            "registered, mended 403 stray");
}

}  // namespace
