#include "app/install/registration.h"
#include "app/install/module_view.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/module_patch.h"
#include "tests/support/registry_test_support.h"
#include "tests/support/test_files.h"

namespace {

using regtest::Bytes;
using regtest::Dword;
using regtest::Record;
using regtest::Sz;
using regtest::Values;

const std::string kProduct = "SOFTWARE\\Lumora\\Verdanelle";

std::string TestModule(const char* base) { return std::string(TEST_MODULE_DIR) + base + ".dll"; }
const std::string kSampleModule = std::string(SAMPLE_MODULE_DIR) + "p0046.dll";

Values Written(REGSAM view = regtest::OwnView()) { return regtest::ValuesBelow(HKEY_LOCAL_MACHINE, kProduct, view); }

// A product key whose `failAt`-th read, write or deletion (counted from 1)
// fails, a read as of a value that is there but cannot be read; none fails
// after it, so what is put back goes back. (An animation writes no DWORD.)
class FailingKey : public RegistryKey {
 public:
  explicit FailingKey(int failAt) : RegistryKey(HKEY_LOCAL_MACHINE, kProductKeyPath), failAt(failAt) {}
  bool WriteBinary(const char* s, const char* v, const void* d, DWORD n) override {
    return !Fails() && RegistryKey::WriteBinary(s, v, d, n);
  }
  bool WriteString(const char* s, const char* v, const char* t) override {
    return !Fails() && RegistryKey::WriteString(s, v, t);
  }
  void DeleteValue(const char* s, const char* v) override {
    if (!Fails()) RegistryKey::DeleteValue(s, v);
  }
  Stored ReadRaw(const char* s, const char* v, DWORD* t, Bytes* d) override {
    return Fails() ? Stored::Unreadable : RegistryKey::ReadRaw(s, v, t, d);
  }
  int operations = 0;

 private:
  bool Fails() { return ++operations == failAt; }
  int failAt;
};

// Each test starts and ends without the product key in either registry
// view.
class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override { Forget(); }
  void TearDown() override { Forget(); }
  static void Forget() {
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, kProduct, regtest::OwnView());
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, kProduct, regtest::OtherView());
  }
  // Registers `base` from the module file, read as the installer reads it,
  // through `key` (by default the installer's product key).
  int Register(const std::string& path, const char* base, RegistryKey* key = nullptr) {
    ModuleView module(path.c_str());
    return RegisterComponent(key != nullptr ? *key : productKey, module.Resources(), base) == Registration::Registered;
  }

  RegistryKey productKey{HKEY_LOCAL_MACHINE, kProductKeyPath};
};

// Every value a registration writes, byte for byte, and nothing else: in
// the registry view of the installer's bitness only. (What the records
// hold, the component reader's tests show on modules of every shape; the
// sample, a seedless plant, a sound and an unknown type go through the real
// installer in the end-to-end tests.)
TEST_F(RegistrationTest, ModulesWriteExactlyTheirRecordsAndDisplayName) {
  const char longBase[] = "abcdefghijklmnopqrstuvwxy";
  const std::string cut = "abcdefghijklmnopqrst";  // record names keep 20 characters
  const std::string marker = TestModule("entrycode") + ".ran";
  DeleteFileA(marker.c_str());
  struct Case { const char* module; const char* base; Values values; };
  const Case cases[] = {
      // Either bitness reads the same; a module's entry code never runs.
      {"otherbitness", "p0046", {{"plants\\p0046", Sz("Rosa Hibiscus")}, {"seeds\\p0046", Dword(3)}}},
      {"entrycode", "e1", {{"plants\\e1", Sz("Entry Code")}}},
      // Entries 10 and 20; blocks 414/415/416 for 10, none for 20.
      {"animation", longBase,
       {{"aniint\\" + cut + "-0", Record(10, 0x01, 0x21)},
        {"aniint\\" + cut + "-1", Record(20)},
        {std::string("animations\\") + longBase, Sz("Drifting Petals")}}},
      // 310 characters in the ANSI code page: the first 299, one of them a
      // character the code page does not have.
      {"longname", "l1", {{"plants\\l1", Sz("Sch\xf6ner ?" + std::string(290, 'x'))}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.module) + " as " + c.base);
    Forget();
    EXPECT_EQ(Register(TestModule(c.module), c.base), 1);
    EXPECT_EQ(Written(), c.values);
    EXPECT_EQ(Written(regtest::OtherView()), Values{});
  }
  EXPECT_EQ(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES) << "module code ran";
}

TEST_F(RegistrationTest, AFailedReadOrWriteLeavesTheRegistryAsItWasAndSuccessLeavesOnlyTheNewComponent) {
  // An earlier version of b2 with three records, and before that a plant b2
  // with a seed count (its name written by another program, in characters
  // outside the ANSI code page) and a sound record; beside them records and
  // names of b22 and values that only look like b2's records.
  const std::pair<const char*, const char*> olds[] = {
      {"aniint", "b2-0"}, {"aniint", "b2-1"},   {"aniint", "b2-2"},     {"aniint", "b22-0"},  {"aniint", "b2-x"},
      {"soundint", "B2-0"}, {"soundint", "b2-"}, {"soundint", "b2-01"}, {"soundint", "b22-0"}, {"sounds", "b22"}};
  for (const auto& [subKey, name] : olds) regtest::StoreRaw(HKEY_LOCAL_MACHINE, kProduct + "\\" + subKey, name, REG_BINARY, "old", 3);
  regtest::StoreRaw(HKEY_LOCAL_MACHINE, kProduct + "\\animations", "b2", REG_SZ, "Old", 4);
  const wchar_t* plants = L"SOFTWARE\\Lumora\\Verdanelle\\plants";
  const std::wstring lodz = L"\u0141\u00f3d\u017a";
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, plants, L"b2", REG_SZ, lodz.c_str(), (lodz.size() + 1) * 2);
  const auto storedPlantName = [&] {  // read with the wide call: the ANSI one converts text
    wchar_t text[64] = {};
    DWORD size = sizeof text;
    return RegGetValueW(HKEY_LOCAL_MACHINE, plants, L"b2", RRF_RT_REG_SZ, nullptr, text, &size) ? L"" : std::wstring(text);
  };
  const DWORD seeds = 3;
  regtest::StoreRaw(HKEY_LOCAL_MACHINE, kProduct + "\\seeds", "b2", REG_DWORD, &seeds, 4);
  const Values before = Written();
  // Two records; b2-2, plants\b2, soundint\B2-0 and seeds\b2 deleted; the
  // display name: each of these writes, and each read before it, fails once.
  for (int failAt = 1;; ++failAt) {
    SCOPED_TRACE(failAt);
    FailingKey key(failAt);
    const int result = Register(TestModule("animation"), "b2", &key);
    if (key.operations < failAt) {  // none failed: done
      EXPECT_EQ(result, 1);
      break;
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Written(), before);
    EXPECT_EQ(storedPlantName(), lodz);
  }
  Values after = before;
  for (const char* gone : {"aniint\\b2-2", "plants\\b2", "seeds\\b2", "soundint\\B2-0"}) after.erase(gone);
  after["aniint\\b2-0"] = Record(10, 0x01, 0x21);
  after["aniint\\b2-1"] = Record(20);
  after["animations\\b2"] = Sz("Drifting Petals");
  EXPECT_EQ(Written(), after);

  // An animation again whose ids fall short of its count: it has no
  // records now, and the old ones go, those below the count too.
  EXPECT_EQ(Register(TestModule("shortids"), "b2"), 1);
  for (const char* gone : {"aniint\\b2-0", "aniint\\b2-1"}) after.erase(gone);
  after["animations\\b2"] = Sz("Short Ids");
  EXPECT_EQ(Written(), after);
  // A plant again, without a seed count: an old count goes too.
  regtest::StoreRaw(HKEY_LOCAL_MACHINE, kProduct + "\\seeds", "b2", REG_DWORD, &seeds, 4);
  EXPECT_EQ(Register(TestModule("plantseedless"), "b2"), 1);
  after.erase("animations\\b2");
  after["plants\\b2"] = Sz("Seedless Fern");
  EXPECT_EQ(Written(), after);
}

TEST_F(RegistrationTest, ModulesWhoseReadsReachBeyondTheirImageRegisterNothing) {
  // Sizes beyond the module's image in a record, in the string block, and in
  // a block that, within it, would only be the wrong size (zeros); a string
  // block cut before the display name, whose bytes after the cut are the name.
  const std::string animation = TestModule("animation");
  for (const auto& [source, type, id, size] : {std::tuple{kSampleModule, 10u, 400u, 0xFFFFFFFFu}, {kSampleModule, 6u, 1u, 60000u},
                                               {animation, 10u, 415u, 60000u}, {kSampleModule, 6u, 1u, 2u}}) {
    SCOPED_TRACE(id);
    const std::string file = ReadWholeFile(source);
    Bytes module(file.begin(), file.end());
    const size_t entry = module_patch::DataEntry(module, type, id);
    ASSERT_NE(entry, 0u);
    for (int i = 0; i < 4; ++i) module[entry + 4 + i] = static_cast<unsigned char>(size >> 8 * i);
    // A file of its own each: one read as a module stays busy for this process.
    const std::string path = "patched" + std::to_string(id) + "-" + std::to_string(size) + ".dll";
    WriteWholeFile(path, module);
    EXPECT_EQ(Register(path, "p0046"), 0);
    EXPECT_EQ(Written(), Values{});
  }
}

}  // namespace
