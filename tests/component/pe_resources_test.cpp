#include "component/pe_resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
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

// How resource `id` of `type` is found in `file`, and its size.
std::pair<Lookup, std::uint32_t> Find(const Bytes& file, std::uint16_t type, std::uint16_t id) {
  PeResources resources(file.data(), file.size());
  const unsigned char* bytes = nullptr;
  std::uint32_t size = 0;
  return {resources.Find(type, id, &bytes, &size), size};
}

// Modules of either bitness read whole; cut anywhere, they read nothing
// past their end (the copy is exactly as long as the cut, for the
// sanitizer), and what still registers is what the whole module registers.
TEST(PeResources, ReadsModulesOfEitherBitnessAndNothingOutsideAFileCutAnywhere) {
  for (const char* name : {"p0046", "p0046x64", "wrongblocks"}) {
    SCOPED_TRACE(name);
    const Bytes file = ModuleFile(name);
    PeResources wholeFile(file.data(), file.size());
    ComponentRecords whole;
    ASSERT_TRUE(ReadComponent(wholeFile, &whole, nullptr));
    for (const auto& [type, id] : {std::pair{kRcDataType, 405}, {kRcDataType, 1}, {kStringBlockType, 2}, {3, 400}}) {
      EXPECT_EQ(Find(file, type, static_cast<std::uint16_t>(id)).first, Lookup::Missing) << type << " " << id;
    }
    for (std::size_t length = 0; length < file.size(); ++length) {
      const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
      PeResources resources(cut.data(), cut.size());
      ComponentRecords component;
      if (!ReadComponent(resources, &component, nullptr)) continue;
      EXPECT_EQ(component.entries, whole.entries) << "cut at " << length;
      EXPECT_EQ(component.seedCount, whole.seedCount) << "cut at " << length;
      EXPECT_TRUE(std::equal(whole.displayName, whole.displayName + whole.displayNameLength, component.displayName))
          << "cut at " << length;
    }
  }
}

TEST(PeResources, HeadersAndResourcesThatReachOutsideTheFileAreRefused) {
  const Bytes sample = ModuleFile("p0046");
  const std::size_t pe = Get(sample, 0x3C);
  const std::size_t entry = module_patch::DataEntry(sample, kRcDataType, 404);
  ASSERT_NE(entry, 0u);
  // Record 404's bytes may reach to the end of what its section has in the
  // file, not one byte further, nor lie where no section is.
  const std::uint32_t rva = Get(sample, entry);
  std::uint32_t room = 0;
  for (std::size_t s = pe + 24 + Get(sample, pe + 20, 2), n = Get(sample, pe + 6, 2); n > 0; s += 40, --n) {
    const std::uint32_t start = Get(sample, s + 12);
    if (rva >= start && rva - start < Get(sample, s + 8)) room = std::min(Get(sample, s + 8), Get(sample, s + 16)) - (rva - start);
  }
  // Then headers that make it no module (those cut by the end of the file,
  // the test above): no MZ; the PE header past the end, past 32 bits; no
  // signature; neither PE32 nor PE32+; an optional header too short for the
  // image size; more sections than Windows maps; no slot for the resource
  // directory.
  const std::tuple<std::size_t, int, std::uint32_t, Lookup> patches[] = {
      {entry + 4, 4, room, Lookup::Found}, {entry + 4, 4, room + 1, Lookup::Refused},
      {entry + 4, 4, 0xFFFFFFFFu, Lookup::Refused}, {entry, 4, 0x00100000u, Lookup::Refused},
      {0, 2, 'Z' | 'M' << 8, Lookup::Missing}, {0x3C, 4, 0xFFFFFFF0u, Lookup::Missing},
      {pe, 4, 0x4550 ^ 1, Lookup::Missing}, {pe + 24, 2, 0x10C, Lookup::Missing},
      {pe + 20, 2, 59, Lookup::Missing}, {pe + 6, 2, 97, Lookup::Missing}, {pe + 24 + 92, 4, 2, Lookup::Missing}};
  for (const auto& [at, width, value, lookup] : patches) {
    Bytes file = sample;
    for (int i = 0; i < width; ++i) file[at + i] = static_cast<unsigned char>(value >> 8 * i);
    EXPECT_EQ(Find(file, kRcDataType, 404), std::pair(lookup, lookup == Lookup::Found ? room : 0u)) << at << ": " << value;
    PeResources resources(file.data(), file.size());
    EXPECT_EQ(resources.Fault() == nullptr, at >= entry || at == pe + 24 + 92) << at << ": " << value;
  }
}

}  // namespace
