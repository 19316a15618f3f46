#include "component/pe_resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "component/component_reader.h"
#include "tests/support/module_patch.h"
#include "tests/support/test_files.h"

namespace {

using module_patch::Bytes;

Bytes ModuleFile(const char* name) {
  const std::string text = ReadWholeFile(std::string(MODULE_DIR) + name + ".dll");
  return Bytes(text.begin(), text.end());
}

std::uint32_t Get(const Bytes& file, std::size_t at, int width = 4) {
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | file[at + i];
  return value;
}

void Put(Bytes& file, std::size_t at, int width, std::uint32_t value) {
  for (int i = 0; i < width; ++i) file[at + i] = static_cast<unsigned char>(value >> 8 * i);
}

Lookup Find(PeResources& resources, std::uint16_t type, std::uint16_t id, Bytes* bytes = nullptr) {
  const unsigned char* at = nullptr;
  std::uint32_t size = 0;
  const Lookup lookup = resources.Find(type, id, &at, &size);
  if (lookup == Lookup::Found && bytes != nullptr) *bytes = Bytes(at, at + size);
  return lookup;
}

TEST(PeResources, FindsTheRecordsOfModulesOfEitherBitnessAndNothingElse) {
  for (const char* name : {"p0046", "p0046x64"}) {
    SCOPED_TRACE(name);
    const Bytes file = ModuleFile(name);
    PeResources resources(file.data(), file.size());
    ASSERT_EQ(resources.Fault(), nullptr);
    Bytes seeds;
    EXPECT_EQ(Find(resources, kRcDataType, 404, &seeds), Lookup::Found);
    EXPECT_EQ(seeds, (Bytes{3, 0}));
    for (const auto& [type, id] : {std::pair{kRcDataType, 402}, {kRcDataType, 1}, {kStringBlockType, 2}, {3, 400}}) {
      EXPECT_EQ(Find(resources, type, static_cast<std::uint16_t>(id)), Lookup::Missing) << type << " " << id;
    }
    ComponentRecords component;
    ASSERT_TRUE(ReadComponent(resources, &component, nullptr));
    EXPECT_EQ(std::u16string(component.displayName, component.displayNameLength), u"Rosa Hibiscus");
    EXPECT_EQ(component.seedCount, 3);
  }
}

// Cut anywhere, a module reads nothing past its end (the copy is exactly as
// long as the cut, for the sanitizer), and what still registers is what the
// whole module registers.
TEST(PeResources, ReadsNothingOutsideAFileCutAnywhere) {
  for (const char* name : {"p0046", "p0046x64", "wrongblocks"}) {
    const Bytes file = ModuleFile(name);
    ASSERT_FALSE(file.empty()) << name;
    ComponentRecords whole;
    PeResources wholeResources(file.data(), file.size());
    ASSERT_TRUE(ReadComponent(wholeResources, &whole, nullptr)) << name;
    for (std::size_t length = 0; length < file.size(); ++length) {
      const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
      PeResources resources(cut.data(), cut.size());
      ComponentRecords component;
      if (!ReadComponent(resources, &component, nullptr)) continue;
      EXPECT_EQ(component.entries, whole.entries) << name << " cut at " << length;
      EXPECT_EQ(std::u16string(component.displayName, component.displayNameLength),
                std::u16string(whole.displayName, whole.displayNameLength));
    }
  }
}

TEST(PeResources, HeadersAndResourcesThatReachOutsideTheFileAreRefused) {
  const Bytes sample = ModuleFile("p0046");
  ASSERT_FALSE(sample.empty());
  const std::size_t pe = Get(sample, 0x3C);
  const struct {
    std::size_t at;
    int width;
    std::uint32_t value;
  } faults[] = {
      {0, 2, 'Z' | 'M' << 8},                                    // no MZ
      {0x3C, 4, 0xFFFFFFF0u},                                    // PE header past the end, past 32 bits
      {0x3C, 4, static_cast<std::uint32_t>(sample.size() - 20)},  // PE header cut by the end
      {pe, 4, 0x4550 ^ 1},                                       // no signature
      {pe + 24, 2, 0x10C},                                       // neither PE32 nor PE32+
      {pe + 20, 2, 0xFFFF},                                      // optional header past the end
      {pe + 20, 2, 59},                                          // too short for the image size
      {pe + 6, 2, 96},                                           // section table past the end
      {pe + 6, 2, 97},                                           // more sections than Windows maps
  };
  for (const auto& fault : faults) {
    Bytes file = sample;
    Put(file, fault.at, fault.width, fault.value);
    PeResources resources(file.data(), file.size());
    EXPECT_NE(resources.Fault(), nullptr) << &fault - faults;
    EXPECT_EQ(Find(resources, kRcDataType, 400), Lookup::Missing);
  }
  // Without the resource directory's slot a module has no resources.
  Bytes file = sample;
  Put(file, pe + 24 + 92, 4, 2);
  PeResources noDirectory(file.data(), file.size());
  EXPECT_EQ(noDirectory.Fault(), nullptr);
  EXPECT_EQ(Find(noDirectory, kRcDataType, 400), Lookup::Missing);

  // Record 400's bytes may reach to the end of what its section has in the
  // file, not one byte further, nor lie where no section is.
  const std::size_t entry = module_patch::DataEntry(sample, 10, 400);
  ASSERT_NE(entry, 0u);
  const std::uint32_t rva = Get(sample, entry);
  std::uint32_t room = 0;
  const std::size_t sections = pe + 24 + Get(sample, pe + 20, 2);
  for (std::size_t s = sections; s < sections + 40 * Get(sample, pe + 6, 2); s += 40) {
    const std::uint32_t start = Get(sample, s + 12);
    if (rva >= start && rva - start < Get(sample, s + 8)) room = std::min(Get(sample, s + 8), Get(sample, s + 16)) - (rva - start);
  }
  ASSERT_GT(room, 2u);
  for (const auto& [at, value, lookup] : {std::tuple{entry + 4, room, Lookup::Found}, {entry + 4, room + 1, Lookup::Refused},
                                          {entry + 4, 0xFFFFFFFFu, Lookup::Refused}, {entry, 0x00100000u, Lookup::Refused}}) {
    file = sample;
    Put(file, at, 4, value);
    PeResources resources(file.data(), file.size());
    EXPECT_EQ(Find(resources, kRcDataType, 400), lookup) << value;
  }
}

}  // namespace
