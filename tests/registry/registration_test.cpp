#include "app/install/registration.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/support/registry_test_support.h"

namespace {

using regtest::Bytes;
using regtest::Dword;
using regtest::Record;
using regtest::Sz;

const std::string kProduct = "SOFTWARE\\Lumora\\Verdanelle";

// A component module loaded as the installer loads it, freed at scope end.
using Module = std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)>;
Module Load(const std::string& path) { return Module(LoadLibraryA(path.c_str()), &FreeLibrary); }

std::string TestModule(const char* base) { return std::string(TEST_MODULE_DIR) + base + ".dll"; }
const std::string kSampleModule = std::string(SAMPLE_MODULE_DIR) + "p0046.dll";

regtest::Values Written(REGSAM view = regtest::OwnView()) {
  return regtest::ValuesBelow(HKEY_LOCAL_MACHINE, kProduct, view);
}

// Each test starts and ends without the product key in either registry
// view, and lends the installer's product key as the driver does for a run.
class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override { Forget(); }
  void TearDown() override { Forget(); }
  static void Forget() {
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, kProduct, regtest::OwnView());
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, kProduct, regtest::OtherView());
  }
  // Registers `base` from the module file and returns RegisterComponent's result.
  static int Register(const std::string& path, const char* base) {
    const Module module = Load(path);
    EXPECT_NE(module, nullptr) << path << " does not load";
    return module ? RegisterComponent(module.get(), base) : -1;
  }

  RegistryKey productKey{HKEY_LOCAL_MACHINE, kProductKeyPath};
  std::optional<ProductKeyLoan> loan{std::in_place, productKey};
};

// Every value a registration writes, byte for byte, and nothing else: in
// the registry view of the installer's bitness only.
TEST_F(RegistrationTest, ModulesWriteExactlyTheirRecordsAndDisplayName) {
  const char longBase[] = "abcdefghijklmnopqrstuvwxy";
  const std::string cut = "abcdefghijklmnopqrst";  // record names keep 20 characters
  struct Case {
    std::string module;
    const char* base;
    int result;
    regtest::Values values;
  };
  const Case cases[] = {
      // Plants: the seed count only when positive.
      {TestModule("plantseedless"), "fern", 1, {{"plants\\fern", Sz("Seedless Fern")}}},
      {kSampleModule, "p0046", 1,
       {{"plants\\p0046", Sz("Rosa Hibiscus")}, {"seeds\\p0046", Dword(3)}}},
      // Entries 10 and 20; blocks 414/415/416 for 10, none for 20.
      {TestModule("animation"), "p0046", 1,
       {{"aniint\\p0046-0",
         {REG_BINARY, Bytes{10, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x11, 0x12, 0x13, 0x14, 0x15,
                            0x16, 0x17, 0x18, 0x19, 0x1A, 0x21, 0x22, 0x23, 0x24}}},
        {"aniint\\p0046-1", Record(20)},
        {"animations\\p0046", Sz("Drifting Petals")}}},
      {TestModule("sound"), "s1", 1,
       {{"soundint\\s1-0", Record(7, 0x31, 0x51)}, {"sounds\\s1", Sz("Morning Chimes")}}},
      {TestModule("type4entries"), "x1", 1,
       {{"specialint\\x1-0", Record(1, 0, 0x61)}, {"specials\\x1", Sz("Firefly Night")}}},
      {TestModule("animation"), longBase, 1,
       {{"aniint\\" + cut + "-0", Record(10, 0x01, 0x21)},
        {"aniint\\" + cut + "-1", Record(20)},
        {std::string("animations\\") + longBase, Sz("Drifting Petals")}}},
      // A count of 4 bytes, a negative count, ids short of the count: no records.
      {TestModule("longcount"), "c1", 1, {{"animations\\c1", Sz("Long Count")}}},
      {TestModule("negativecount"), "c1", 1, {{"sounds\\c1", Sz("Negative Count")}}},
      {TestModule("shortids"), "c1", 1, {{"specials\\c1", Sz("Short Ids")}}},
      // An id array of 2 x count + 1 bytes is used; the stray byte is not.
      {TestModule("oddids"), "o1", 1,
       {{"specialint\\o1-0", Record(30)},
        {"specialint\\o1-1", Record(31)},
        {"specials\\o1", Sz("Odd Ids")}}},
      {TestModule("wrongblocks"), "w1", 1,
       {{"aniint\\w1-0", Record(30)}, {"animations\\w1", Sz("Wrong Blocks")}}},
      // Entry 0xFFF6: block ids 394, 395, 396, wrapping at 65536.
      {TestModule("wrappedid"), "h1", 1,
       {{"aniint\\h1-0", Record(0xFFF6, 0x70, 0x90)},
        {"animations\\h1", Sz("Wrapped Id")}}},
      // Type code 5, no display name, a type code of 4 bytes: nothing at all.
      {TestModule("unknowntype"), "n1", 0, {}},
      {TestModule("missingname"), "n1", 0, {}},
      {TestModule("longtype"), "n1", 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.module + " as " + c.base);
    Forget();
    EXPECT_EQ(Register(c.module, c.base), c.result);
    EXPECT_EQ(Written(), c.values);
    EXPECT_EQ(Written(regtest::OtherView()), regtest::Values{});
    if (c.values.empty()) {
      EXPECT_LE(regtest::SubKeyCount(HKEY_LOCAL_MACHINE, kProduct, regtest::OwnView()), 0);
    }
  }
}

TEST_F(RegistrationTest, ReportsDisplayNameThatCouldNotBeWritten) {
  // A product key that cannot write: nothing goes in, and the result says so.
  RegistryKey broken(nullptr, kProductKeyPath);
  ProductKeyLoan inner(broken);
  EXPECT_EQ(Register(TestModule("animation"), "b1"), 0);
  EXPECT_EQ(Written(), regtest::Values{});
}

TEST_F(RegistrationTest, NothingIsWrittenWithoutALentKey) {
  loan.reset();
  ASSERT_EQ(LentProductKey(), nullptr);
  EXPECT_EQ(Register(TestModule("plantseedless"), "z1"), 0);
  EXPECT_FALSE(regtest::KeyExists(HKEY_LOCAL_MACHINE, kProduct, regtest::OwnView()));
}

TEST(ProductKeyLoan, InnerLoanEndsWithTheOuterKeyLentAgain) {
  RegistryKey outer(HKEY_LOCAL_MACHINE, kProductKeyPath);
  RegistryKey inner(HKEY_LOCAL_MACHINE, kProductKeyPath);
  ASSERT_EQ(LentProductKey(), nullptr);
  {
    ProductKeyLoan outerLoan(outer);
    {
      ProductKeyLoan innerLoan(inner);
      EXPECT_EQ(LentProductKey(), &inner);
    }
    EXPECT_EQ(LentProductKey(), &outer);
  }
  EXPECT_EQ(LentProductKey(), nullptr);
}

TEST(ReadResourceShort, SignExtendsTwoByteRecordsAndRefusesOthers) {
  const Module negative = Load(TestModule("negativecount"));
  const Module longCount = Load(TestModule("longcount"));
  ASSERT_TRUE(negative && longCount);
  int value = 99;
  EXPECT_EQ(ReadResourceShort(negative.get(), 402, &value), 1);
  EXPECT_EQ(value, -1);
  value = 99;
  EXPECT_EQ(ReadResourceShort(longCount.get(), 402, &value), 0);  // 4 bytes
  EXPECT_EQ(ReadResourceShort(longCount.get(), 999, &value), 0);  // absent
  EXPECT_EQ(value, 99);
  // Ids are taken modulo 65536: 65536 + 401 is the display-name id.
  EXPECT_EQ(ReadResourceShort(longCount.get(), 65536 + 401, &value), 1);
  EXPECT_EQ(value, 1);
}

}  // namespace
