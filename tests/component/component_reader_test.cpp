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
using Record = Finding::Record;
using Problem = Finding::Problem;

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

// Block `offset` (404, 405, 406) of any entry: bytes counting up from 0x41,
// 0x51 or 0x61, as many as the block must have.
Bytes BlockBytes(int offset, std::size_t size) {
  Bytes bytes(size);
  for (std::size_t k = 0; k < size; ++k) bytes[k] = static_cast<unsigned char>(0x41 + (offset - 404) * 0x10 + k);
  return bytes;
}

// A module's resources as a test writes them down. A resource may claim
// more bytes than it has, so that a read of the rest is a sanitizer's fault.
class FakeModule : public ResourceSource {
 public:
  FakeModule& Set(std::uint16_t id, Bytes bytes, std::uint16_t type = kRcDataType) {
    resources[{type, id}] = {bytes, static_cast<std::uint32_t>(bytes.size()), false};
    return *this;
  }
  // Keeps the bytes the resource has (one, when it is new) and claims `size`.
  FakeModule& Claim(std::uint16_t id, std::uint32_t size, std::uint16_t type = kRcDataType) {
    Resource& resource = resources[{type, id}];
    if (resource.bytes.empty()) resource.bytes = {0x7F};
    resource.claimed = size;
    resource.refused = false;
    return *this;
  }
  // Zeros after its bytes up to `size`, all of them there.
  FakeModule& Pad(std::uint16_t id, std::uint32_t size, std::uint16_t type = kRcDataType) {
    Resource& resource = resources[{type, id}];
    resource.bytes.resize(size);
    resource.claimed = size;
    return *this;
  }
  FakeModule& Refuse(std::uint16_t id, std::uint16_t type = kRcDataType) {
    resources[{type, id}] = {{}, 0, true};
    return *this;
  }
  FakeModule& Drop(std::uint16_t id, std::uint16_t type = kRcDataType) {
    resources.erase({type, id});
    return *this;
  }
  Lookup Find(std::uint16_t type, std::uint16_t id, const unsigned char** bytes, std::uint32_t* size) override {
    const auto found = resources.find({type, id});
    if (found == resources.end()) return Lookup::Missing;
    if (found->second.refused) return Lookup::Refused;
    *bytes = found->second.bytes.data();
    *size = found->second.claimed;
    return Lookup::Found;
  }

 private:
  struct Resource {
    Bytes bytes;
    std::uint32_t claimed;
    bool refused;
  };
  std::map<std::pair<std::uint16_t, std::uint16_t>, Resource> resources;
};

// A component of type `typeCode` named "Name" (string 1): a plant with 3
// seeds, any other kind with entries `ids`, each with all its blocks.
FakeModule Component(int typeCode, std::initializer_list<int> ids = {}) {
  FakeModule module;
  module.Set(400, Le16({typeCode})).Set(401, Le16({1})).Set(1, Strings({u"", u"Name"}), kStringBlockType);
  if (typeCode == 1) return module.Set(404, Le16({3}));
  module.Set(402, Le16({static_cast<int>(ids.size())})).Set(403, Le16(ids));
  for (const int id : ids) {
    for (const auto& [offset, size] : {std::pair{404, 10}, {405, 10}, {406, 4}}) {
      module.Set(static_cast<std::uint16_t>(id + offset), BlockBytes(offset, size));
    }
  }
  return module;
}

struct Read {
  bool registered;
  ComponentRecords component;
  std::vector<Finding> findings;
};
Read ReadOf(FakeModule& module) {
  Read read;
  read.registered = ReadComponent(module, &read.component, &read.findings);
  return read;
}

// The record an entry gives: its id, then the blocks present (others zero).
std::array<unsigned char, kEntryRecordSize> EntryRecord(int id, bool first, bool second, bool last) {
  std::array<unsigned char, kEntryRecordSize> record = {static_cast<unsigned char>(id), static_cast<unsigned char>(id >> 8)};
  const std::pair<bool, Bytes> blocks[] = {{first, BlockBytes(404, 10)}, {second, BlockBytes(405, 10)}, {last, BlockBytes(406, 4)}};
  std::size_t at = 2;
  for (const auto& [present, bytes] : blocks) {
    if (present) std::copy(bytes.begin(), bytes.end(), record.begin() + static_cast<std::ptrdiff_t>(at));
    at += bytes.size();
  }
  return record;
}

::testing::AssertionResult RefusedFor(const Read& read, Record record, Problem problem) {
  if (read.registered) return ::testing::AssertionFailure() << "registered";
  if (read.findings.empty() || !read.findings.back().refuses) return ::testing::AssertionFailure() << "no refusal noted";
  const Finding& last = read.findings.back();
  if (last.record != record || last.problem != problem) {
    return ::testing::AssertionFailure() << "refused for record " << int(last.record) << ", problem " << int(last.problem);
  }
  for (std::size_t i = 0; i + 1 < read.findings.size(); ++i) {
    if (read.findings[i].refuses) return ::testing::AssertionFailure() << "a refusal before the last finding";
  }
  return ::testing::AssertionSuccess();
}

bool Mended(const Read& read, Record record, Problem problem) {
  for (const Finding& finding : read.findings) {
    if (finding.record == record && finding.problem == problem && !finding.refuses) return true;
  }
  return false;
}

TEST(ComponentReader, EachKindReadsItsOwnRecordsAndNoOther) {
  for (const ComponentKind& kind : kComponentKinds) {
    SCOPED_TRACE(kind.name);
    FakeModule module = Component(kind.typeCode, {10, 20});
    // What the other kinds read is there too, but not this kind's to read.
    module.Set(404, Le16({7})).Set(402, Le16({2})).Set(403, Le16({10, 20}));
    const Read read = ReadOf(module);
    ASSERT_TRUE(read.registered);
    EXPECT_EQ(read.component.kind, &kind);
    EXPECT_EQ(std::u16string(read.component.displayName, read.component.displayNameLength), u"Name");
    EXPECT_EQ(read.component.seedCount, kind.seeded ? 7 : 0);
    EXPECT_EQ(read.component.entries.size(), kind.seeded ? 0u : 2u);
    EXPECT_TRUE(read.findings.empty());
  }
  EXPECT_STREQ(kComponentKinds[0].category, "plants");
  EXPECT_STREQ(kComponentKinds[3].recordsSubKey, "specialint");
  // Type codes of no kind, a negative one among them.
  for (const int typeCode : {0, 5, -1}) {
    FakeModule module = Component(typeCode);
    const Read read = ReadOf(module);
    EXPECT_TRUE(RefusedFor(read, Record::TypeCode, Problem::NoKind)) << typeCode;
    EXPECT_EQ(read.findings.back().value, typeCode);
  }
}

TEST(ComponentReader, NumbersCountOnlyAtExactlyTwoBytes) {
  // Sizes around 2, and none: the type code and the name id refuse the
  // module, a seed count or an entry count is left out.
  const std::pair<int, Bytes> sizes[] = {{0, {}}, {1, {1}}, {3, {1, 0, 0}}, {4, {1, 0, 0, 0}}};
  for (const auto& [size, bytes] : sizes) {
    SCOPED_TRACE(size);
    for (const std::uint16_t id : {400, 401}) {
      FakeModule module = Component(1);
      EXPECT_TRUE(RefusedFor(ReadOf(module.Set(id, bytes)), id == 400 ? Record::TypeCode : Record::DisplayNameId,
                             Problem::WrongSize));
      EXPECT_TRUE(RefusedFor(ReadOf(module.Drop(id)), id == 400 ? Record::TypeCode : Record::DisplayNameId,
                             Problem::Missing));
    }
    FakeModule plant = Component(1);
    Read read = ReadOf(plant.Set(404, bytes));
    EXPECT_TRUE(read.registered && read.component.seedCount == 0 && Mended(read, Record::SeedCount, Problem::WrongSize));
    read = ReadOf(plant.Drop(404));
    EXPECT_TRUE(read.registered && Mended(read, Record::SeedCount, Problem::Missing));
    FakeModule animation = Component(2, {10});
    read = ReadOf(animation.Set(402, bytes));
    EXPECT_TRUE(read.registered && read.component.entries.empty() && Mended(read, Record::EntryCount, Problem::WrongSize));
  }
  // Seed counts are written only above 0, and are signed.
  for (const auto& [bytes, written] : {std::pair{Le16({0}), 0}, {Le16({-3}), 0}, {Le16({0x7FFF}), 0x7FFF}}) {
    FakeModule plant = Component(1);
    const Read read = ReadOf(plant.Set(404, bytes));
    EXPECT_TRUE(read.registered);
    EXPECT_EQ(read.component.seedCount, written);
    EXPECT_EQ(Mended(read, Record::SeedCount, Problem::NotPositive), written == 0);
  }
}

TEST(ComponentReader, EntryIdsMustCoverTheCountAndStrayBytesAreNotRead) {
  const struct {
    int count;
    Bytes ids;
    std::size_t entries;
    Problem mended;
  } cases[] = {
      {2, {10, 0, 20}, 0, Problem::FewerIds},       // one byte short
      {2, {10, 0, 20, 0}, 2, Problem::Missing},     // (nothing mended)
      {2, {10, 0, 20, 0, 30}, 2, Problem::StrayBytes},
      {-1, {10, 0}, 0, Problem::Negative},
      {0, {}, 0, Problem::Missing},                 // (nothing mended)
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    FakeModule module = Component(3, {10, 20});
    const Read read = ReadOf(module.Set(402, Le16({c.count})).Set(403, c.ids));
    ASSERT_TRUE(read.registered);
    EXPECT_EQ(read.component.entries.size(), c.entries);
    EXPECT_EQ(read.findings.size(), c.mended == Problem::Missing ? 0u : 1u);
    if (c.mended != Problem::Missing) {
      EXPECT_TRUE(Mended(read, c.count < 0 ? Record::EntryCount : Record::EntryIds, c.mended));
    }
  }
  // Ids announced but none there: no records; with a count of 0 nothing is amiss.
  FakeModule module = Component(4, {10});
  Read read = ReadOf(module.Drop(403));
  EXPECT_TRUE(read.registered && read.component.entries.empty() && Mended(read, Record::EntryIds, Problem::Missing));
  read = ReadOf(module.Set(402, Le16({0})));
  EXPECT_TRUE(read.registered && read.findings.empty());
}

TEST(ComponentReader, BlocksAreCopiedOnlyAtTheirExactSizeIntoTheirPlace) {
  // Entry 10 with all blocks; entry 20 with none. Ids and blocks are taken
  // modulo 65536: entry 0xFFF6 has blocks 394 to 396, entry 0xFE6C blocks 0
  // to 2.
  for (const int id : {10, 0xFFF6, 0xFE6C}) {
    FakeModule module = Component(2, {id, 20});
    const Read read = ReadOf(module.Drop(424).Drop(425).Drop(426));
    ASSERT_TRUE(read.registered) << id;
    EXPECT_EQ(read.component.entries[0], EntryRecord(id, true, true, true)) << id;
    EXPECT_EQ(read.component.entries[1], EntryRecord(20, false, false, false));
    EXPECT_EQ(read.findings.size(), 3u);
    EXPECT_TRUE(Mended(read, Record::FirstBlock, Problem::Missing) && Mended(read, Record::SecondBlock, Problem::Missing) &&
                Mended(read, Record::LastBlock, Problem::Missing));
  }
  // Each block one byte short, one long, empty, and claiming far more than
  // it has (which must not be read): zeros in its place, the others kept.
  const struct {
    std::uint16_t offset;
    std::size_t size;
    Record record;
  } blocks[] = {{404, 10, Record::FirstBlock}, {405, 10, Record::SecondBlock}, {406, 4, Record::LastBlock}};
  for (const auto& block : blocks) {
    for (const std::size_t size : {block.size - 1, block.size + 1, std::size_t{0}, std::size_t{60000}}) {
      SCOPED_TRACE(testing::Message() << block.offset << " of " << size << " bytes");
      FakeModule module = Component(4, {10});
      if (size == 60000) {
        module.Claim(static_cast<std::uint16_t>(10 + block.offset), 60000);
      } else {
        module.Set(static_cast<std::uint16_t>(10 + block.offset), Bytes(size, 0xEE));
      }
      const Read read = ReadOf(module);
      ASSERT_TRUE(read.registered);
      EXPECT_EQ(read.component.entries[0], EntryRecord(10, block.offset != 404, block.offset != 405, block.offset != 406));
      EXPECT_TRUE(Mended(read, block.record, Problem::WrongSize));
      EXPECT_EQ(read.findings[0].expected, block.size);
    }
  }
}

TEST(ComponentReader, DisplayNameComesOnlyFromABlockWholeUpToIt) {
  // String 1 of block 1 (the usual), 19 of block 2, and -1, which is
  // string 65535, the last of block 4096.
  for (const auto& [id, block, strings] : {std::tuple{1, 1, Strings({u"x", u"Name"})},
                                           {19, 2, Strings({u"", u"", u"", u"Name"})},
                                           {-1, 4096, Strings({u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"",
                                                               u"", u"", u"", u"", u"Name"})}}) {
    FakeModule module = Component(1);
    module.Drop(1, kStringBlockType).Set(401, Le16({id})).Set(static_cast<std::uint16_t>(block), strings, kStringBlockType);
    const Read read = ReadOf(module);
    EXPECT_TRUE(read.registered) << id;
    EXPECT_EQ(std::u16string(read.component.displayName, read.component.displayNameLength), u"Name") << id;
  }
  // Refused: no block; the name empty; the block ending before the name
  // (the bytes after it are not the name's); a string before the name or
  // after it running past the block's end.
  Bytes cut = Strings({u"", u"Name", u"Next"});
  cut.resize(cut.size() - 1);
  const struct {
    Bytes block;
    Record record;
    Problem problem;
  } refusals[] = {
      {Strings({u"", u""}), Record::DisplayName, Problem::Empty},
      {Strings({u""}), Record::StringBlock, Problem::EndsEarly},
      {Bytes{0, 0, 4}, Record::StringBlock, Problem::StringPastEnd},
      {Bytes{9, 0, 'x', 0}, Record::StringBlock, Problem::StringPastEnd},
      {cut, Record::StringBlock, Problem::StringPastEnd},
  };
  for (const auto& refusal : refusals) {
    FakeModule module = Component(1);
    EXPECT_TRUE(RefusedFor(ReadOf(module.Set(1, refusal.block, kStringBlockType)), refusal.record, refusal.problem))
        << &refusal - refusals;
  }
  FakeModule module = Component(1);
  EXPECT_TRUE(RefusedFor(ReadOf(module.Drop(1, kStringBlockType)), Record::StringBlock, Problem::Missing));
  // A long name keeps what any conversion can use, and its whole length.
  const std::u16string name(kMaxDisplayNameUnits + 2, u'\u00E4');
  const Read read = ReadOf(module.Set(1, Strings({u"", name}), kStringBlockType));
  ASSERT_TRUE(read.registered);
  EXPECT_EQ(read.component.displayNameLength, name.size());
  EXPECT_EQ(std::u16string(read.component.displayName, kMaxDisplayNameUnits), name.substr(0, kMaxDisplayNameUnits));
}

TEST(ComponentReader, EveryResourceReadMustBeWithinTheLimitAndTheModuleAndNoOtherNeedBe) {
  // Each resource that registration reads, refused by the source or
  // claiming more than a record may have; at the limit, only its size
  // counts.
  const struct {
    int typeCode;
    std::uint16_t id;
    std::uint16_t type;
    Record record;
  } reads[] = {{1, 400, kRcDataType, Record::TypeCode},     {1, 401, kRcDataType, Record::DisplayNameId},
               {1, 1, kStringBlockType, Record::StringBlock}, {1, 404, kRcDataType, Record::SeedCount},
               {2, 402, kRcDataType, Record::EntryCount},   {2, 403, kRcDataType, Record::EntryIds},
               {2, 414, kRcDataType, Record::FirstBlock},   {2, 415, kRcDataType, Record::SecondBlock},
               {2, 416, kRcDataType, Record::LastBlock}};
  for (const auto& read : reads) {
    SCOPED_TRACE(read.id);
    FakeModule module = Component(read.typeCode, {10});
    EXPECT_FALSE(RefusedFor(ReadOf(module.Pad(read.id, kMaxResourceSize, read.type)), read.record, Problem::OverLimit));
    EXPECT_TRUE(RefusedFor(ReadOf(module.Claim(read.id, kMaxResourceSize + 1, read.type)), read.record, Problem::OverLimit));
    EXPECT_TRUE(RefusedFor(ReadOf(module.Refuse(read.id, read.type)), read.record, Problem::Unreadable));
  }
  // The first resource refused is the one reason, whatever else would be.
  FakeModule both = Component(2, {10});
  EXPECT_TRUE(RefusedFor(ReadOf(both.Refuse(402).Refuse(403)), Record::EntryCount, Problem::Unreadable));
  // Ids filling the limit's worth of 403 are read.
  FakeModule many = Component(2);
  Bytes ids(kMaxResourceSize, 0);
  EXPECT_EQ(ReadOf(many.Set(402, Le16({0x7FFF})).Set(403, ids)).component.entries.size(), 0x7FFFu);
  // What registration does not read may be anything: a plant's entry
  // records, an animation's seed count, blocks of entries beyond the count.
  FakeModule plant = Component(1);
  plant.Claim(402, 0xFFFFFFFFu).Refuse(403).Claim(405, 0x80000000u);
  EXPECT_TRUE(ReadOf(plant).registered);
  FakeModule animation = Component(2, {10});
  animation.Refuse(404).Set(403, Le16({10, 20})).Refuse(424).Claim(425, 0xFFFFFFFFu).Claim(2, 1u << 20, kStringBlockType);
  EXPECT_TRUE(ReadOf(animation).registered);
}

}  // namespace
