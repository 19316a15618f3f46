#include "app/registration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "tests/registry/registry_test_support.h"

namespace {

using Bytes = std::vector<unsigned char>;
using regtest::SzBytes;

const std::string kProduct = "SOFTWARE\\Lumora\\Verdanelle";

// A component module loaded as the installer loads it, freed at scope end.
class LoadedModule {
 public:
  explicit LoadedModule(const std::string& path) : module(LoadLibraryA(path.c_str())) {}
  ~LoadedModule() {
    if (module != nullptr) FreeLibrary(module);
  }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  HMODULE Get() const { return module; }

 private:
  HMODULE module;
};

std::string TestModule(const char* base) { return std::string(TEST_MODULE_DIR) + base + ".dll"; }

Bytes Record(int id, const Bytes& first, const Bytes& second, const Bytes& last) {
  Bytes record(2 + first.size() + second.size() + last.size());
  record[0] = static_cast<unsigned char>(id & 0xFF);
  record[1] = static_cast<unsigned char>((id >> 8) & 0xFF);
  auto at = std::copy(first.begin(), first.end(), record.begin() + 2);
  at = std::copy(second.begin(), second.end(), at);
  std::copy(last.begin(), last.end(), at);
  return record;
}

Bytes Series(unsigned char from, size_t count) {
  Bytes bytes;
  for (size_t i = 0; i < count; ++i) bytes.push_back(static_cast<unsigned char>(from + i));
  return bytes;
}

const Bytes kTenZeros(10, 0);
const Bytes kFourZeros(4, 0);

// Each test starts and ends without the product key, and lends the
// installer's product key as the driver does for a run.
class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override { regtest::DeleteTree(HKEY_LOCAL_MACHINE, kProduct); }
  void TearDown() override { regtest::DeleteTree(HKEY_LOCAL_MACHINE, kProduct); }

  // A value below the product key, read in this program's own registry view.
  static regtest::StoredValue Stored(const std::string& subKey, const std::string& name) {
    return regtest::ReadStored(HKEY_LOCAL_MACHINE, kProduct + "\\" + subKey, name.c_str(),
                               regtest::OwnView());
  }
  static int Values(const std::string& subKey) {
    return regtest::ValueCount(HKEY_LOCAL_MACHINE, kProduct + "\\" + subKey, regtest::OwnView());
  }
  // Registers `base` from the module file and returns RegisterComponent's result.
  int Register(const std::string& path, const char* base) {
    LoadedModule module(path);
    EXPECT_NE(module.Get(), nullptr) << path << " does not load";
    if (module.Get() == nullptr) return -1;
    return RegisterComponent(module.Get(), base);
  }

  RegistryKey productKey{HKEY_LOCAL_MACHINE, kProductKeyPath};
  std::optional<ProductKeyLoan> loan{std::in_place, productKey};
};

TEST_F(RegistrationTest, PlantGetsSeedCountOnlyWhenPositive) {
  EXPECT_EQ(Register(TestModule("plantseedless"), "fern"), 1);
  EXPECT_EQ(Stored("plants", "fern").bytes, SzBytes("Seedless Fern"));
  EXPECT_EQ(Stored("plants", "fern").type, static_cast<DWORD>(REG_SZ));
  EXPECT_FALSE(Stored("seeds", "fern").found);

  // The sample component this build ships.
  EXPECT_EQ(Register(std::string(SAMPLE_MODULE_DIR) + "p0046.dll", "p0046"), 1);
  EXPECT_EQ(Stored("plants", "p0046").bytes, SzBytes("Rosa Hibiscus"));
  const auto seeds = Stored("seeds", "p0046");
  EXPECT_EQ(seeds.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(seeds.bytes, (Bytes{3, 0, 0, 0}));
  EXPECT_EQ(Values("seeds"), 1);
}

TEST_F(RegistrationTest, AnimationRecordsHoldIdAndBlocksByteForByte) {
  EXPECT_EQ(Register(TestModule("animation"), "p0046"), 1);
  const auto first = Stored("aniint", "p0046-0");
  EXPECT_EQ(first.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(first.bytes, Record(10, Series(0x01, 10), Series(0x11, 10), Series(0x21, 4)));
  EXPECT_EQ(Stored("aniint", "p0046-1").bytes, Record(20, kTenZeros, kTenZeros, kFourZeros));
  EXPECT_EQ(Values("aniint"), 2);
  EXPECT_EQ(Stored("animations", "p0046").bytes, SzBytes("Drifting Petals"));
}

TEST_F(RegistrationTest, SoundsAndSpecialsGoToTheirOwnKeys) {
  EXPECT_EQ(Register(TestModule("sound"), "s1"), 1);
  EXPECT_EQ(Stored("soundint", "s1-0").bytes,
            Record(7, Series(0x31, 10), Series(0x41, 10), Series(0x51, 4)));
  EXPECT_EQ(Stored("sounds", "s1").bytes, SzBytes("Morning Chimes"));

  EXPECT_EQ(Register(TestModule("special"), "x1"), 1);
  EXPECT_EQ(Stored("specialint", "x1-0").bytes,
            Record(1, kTenZeros, kTenZeros, Bytes{0x61, 0x62, 0x63, 0x64}));
  EXPECT_EQ(Stored("specials", "x1").bytes, SzBytes("Firefly Night"));

  EXPECT_EQ(regtest::SubKeyCount(HKEY_LOCAL_MACHINE, kProduct, regtest::OwnView()), 4);
}

TEST_F(RegistrationTest, LongBaseNameIsCutToTwentyInRecordNamesOnly) {
  const char base[] = "abcdefghijklmnopqrstuvwxy";
  EXPECT_EQ(Register(TestModule("animation"), base), 1);
  EXPECT_TRUE(Stored("aniint", "abcdefghijklmnopqrst-0").found);
  EXPECT_TRUE(Stored("aniint", "abcdefghijklmnopqrst-1").found);
  EXPECT_EQ(Values("aniint"), 2);
  EXPECT_EQ(Stored("animations", base).bytes, SzBytes("Drifting Petals"));
}

TEST_F(RegistrationTest, UnusableCountOrIdsLeaveOnlyTheDisplayName) {
  struct Case {
    const char* module;
    const char* category;
    const char* records;
  };
  for (const Case& c : {Case{"longcount", "animations", "aniint"},
                        Case{"negativecount", "sounds", "soundint"},
                        Case{"shortids", "specials", "specialint"}}) {
    SCOPED_TRACE(c.module);
    EXPECT_EQ(Register(TestModule(c.module), "c1"), 1);
    EXPECT_TRUE(Stored(c.category, "c1").found);
    EXPECT_LE(Values(c.records), 0);
  }
}

TEST_F(RegistrationTest, StrayByteAfterIdArrayIsIgnored) {
  EXPECT_EQ(Register(TestModule("oddids"), "o1"), 1);
  EXPECT_EQ(Stored("specialint", "o1-0").bytes, Record(30, kTenZeros, kTenZeros, kFourZeros));
  EXPECT_EQ(Stored("specialint", "o1-1").bytes, Record(31, kTenZeros, kTenZeros, kFourZeros));
  EXPECT_EQ(Values("specialint"), 2);
}

TEST_F(RegistrationTest, MisSizedBlocksLeaveZeros) {
  EXPECT_EQ(Register(TestModule("wrongblocks"), "w1"), 1);
  EXPECT_EQ(Stored("aniint", "w1-0").bytes, Record(30, kTenZeros, kTenZeros, kFourZeros));
}

TEST_F(RegistrationTest, BlockIdsOfHighEntryIdsWrapAround) {
  EXPECT_EQ(Register(TestModule("wrappedid"), "h1"), 1);
  EXPECT_EQ(Stored("aniint", "h1-0").bytes,
            Record(0xFFF6, Series(0x70, 10), Series(0x80, 10), Series(0x90, 4)));
}

TEST_F(RegistrationTest, UnknownTypeOrMissingNameWritesNothing) {
  for (const char* module : {"unknowntype", "missingname", "longtype"}) {
    SCOPED_TRACE(module);
    EXPECT_EQ(Register(TestModule(module), "n1"), 0);
    EXPECT_LE(regtest::SubKeyCount(HKEY_LOCAL_MACHINE, kProduct, regtest::OwnView()), 0);
  }
}

TEST_F(RegistrationTest, ReportsDisplayNameThatCouldNotBeWritten) {
  // A product key that cannot write: the records still go in through a key
  // of their own, and the result says the component is not listed.
  RegistryKey broken(nullptr, kProductKeyPath);
  ProductKeyLoan inner(broken);
  EXPECT_EQ(Register(TestModule("animation"), "b1"), 0);
  EXPECT_EQ(Values("aniint"), 2);
  EXPECT_FALSE(Stored("animations", "b1").found);
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

TEST_F(RegistrationTest, ValuesLandInTheViewOfTheInstallersBitness) {
  EXPECT_EQ(Register(std::string(SAMPLE_MODULE_DIR) + "p0046.dll", "p0046"), 1);
  EXPECT_TRUE(regtest::ReadStored(HKEY_LOCAL_MACHINE, kProduct + "\\plants", "p0046",
                                  regtest::OwnView())
                  .found);
  EXPECT_FALSE(regtest::ReadStored(HKEY_LOCAL_MACHINE, kProduct + "\\plants", "p0046",
                                   regtest::OtherView())
                   .found);
}

TEST(ReadResourceShort, SignExtendsTwoByteRecordsAndRefusesOthers) {
  LoadedModule negative(TestModule("negativecount"));
  LoadedModule longCount(TestModule("longcount"));
  ASSERT_NE(negative.Get(), nullptr);
  ASSERT_NE(longCount.Get(), nullptr);
  int value = 99;
  EXPECT_EQ(ReadResourceShort(negative.Get(), 402, &value), 1);
  EXPECT_EQ(value, -1);
  value = 99;
  EXPECT_EQ(ReadResourceShort(longCount.Get(), 402, &value), 0);  // 4 bytes
  EXPECT_EQ(ReadResourceShort(longCount.Get(), 999, &value), 0);  // absent
  EXPECT_EQ(value, 99);
  // Ids are taken modulo 65536: 65536 + 401 is the display-name id.
  EXPECT_EQ(ReadResourceShort(longCount.Get(), 65536 + 401, &value), 1);
  EXPECT_EQ(value, 1);
}

}  // namespace
