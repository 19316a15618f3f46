// The real addon-setup.exe, run as its own process under Wine and driven
// through its windows. Every test starts from nothing: a working folder of
// its own and no product key in the registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/e2e/installer_session.h"
#include "tests/gui/expected_texts.h"
#include "tests/gui/gui_driver.h"
#include "tests/registry/registry_test_support.h"

namespace {

const char kProductKey[] = "SOFTWARE\\Lumora\\Verdanelle";
const std::string kGeneralKey = std::string(kProductKey) + "\\general";
constexpr DWORD kWaitMs = 20000;

std::string SetupProgram() { return gui::WindowsPath(E2E_SETUP_EXE); }
std::string SampleModule() { return gui::WindowsPath(E2E_SAMPLE_DIR "/p0046.dll"); }
std::string SamplePackage() { return gui::WindowsPath(E2E_SAMPLE_DIR "/p0046.ppk"); }
std::string TestModule(const std::string& base) {
  return gui::WindowsPath(E2E_MODULE_DIR "/" + base + ".dll");
}
std::string TestPackage(const std::string& base) {
  return gui::WindowsPath(E2E_MODULE_DIR "/" + base + ".ppk");
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// One run of the installer, started in a folder, with its main dialog.
struct InstallerRun {
  InstallerRun(const std::string& program, const std::string& folder) {
    started = process.Start(program, folder);
    if (started) main = gui::WaitForWindow(expected::kMainCaption, process.Id(), kWaitMs);
  }
  HWND Find(const std::string& caption, const char* text = nullptr) const {
    return e2e::FindDialog(process.Id(), caption, text);
  }
  HWND Wait(const std::string& caption, const char* text = nullptr, DWORD ms = kWaitMs) const {
    return e2e::WaitDialog(process.Id(), caption, text, ms);
  }
  long Exit() {
    DWORD code = 0;
    return process.WaitForExit(kWaitMs, &code) ? static_cast<long>(code) : -1;
  }

  gui::Process process;
  bool started = false;
  HWND main = nullptr;
};

class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    e2e::MakeFolder(gui::WindowsPath(E2E_WORK_ROOT));
    work = gui::WindowsPath(E2E_WORK_ROOT) + "\\" + info->name();
    e2e::RemoveTree(work);
    e2e::MakeFolder(work);
    start = work + "\\start";
    product = work + "\\product";
    e2e::MakeFolder(start);
    e2e::MakeFolder(product);
    ForgetProduct();
  }

  void TearDown() override {
    ForgetProduct();
    if (!HasFailure()) e2e::RemoveTree(work);
  }

  static void ForgetProduct() {
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Lumora", regtest::OwnView());
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Lumora", regtest::OtherView());
  }

  // Installs the product as its own setup would: "dir" under "general".
  static void InstallProduct(const std::string& folder) {
    regtest::StoreRaw(HKEY_LOCAL_MACHINE, kGeneralKey, "dir", REG_SZ, folder.c_str(),
                      static_cast<DWORD>(folder.size() + 1));
  }

  static regtest::StoredValue Value(const std::string& subKey, const char* name,
                                    REGSAM view = 0) {
    return regtest::ReadStored(HKEY_LOCAL_MACHINE, std::string(kProductKey) + "\\" + subKey,
                               name, view);
  }

  static void ExpectSampleRegistered(REGSAM view = 0) {
    const regtest::StoredValue name = Value("plants", "p0046", view);
    EXPECT_TRUE(name.found);
    EXPECT_EQ(name.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(name.bytes, regtest::SzBytes("Rosa Hibiscus"));
    const regtest::StoredValue seeds = Value("seeds", "p0046", view);
    EXPECT_EQ(seeds.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(seeds.bytes, (std::vector<unsigned char>{3, 0, 0, 0}));
  }

  // The main dialog after a run that gave 0: open, idle, buttons usable,
  // status line empty, focus on "&Installieren".
  static void ExpectIdle(const InstallerRun& run) {
    HWND install = GetDlgItem(run.main, IDC_INSTALL);
    HWND close = GetDlgItem(run.main, IDC_CLOSE);
    // The dialog finishes its install sequence after the driver returns.
    gui::WaitUntil([&] {
      return IsWindowEnabled(install) && IsWindowEnabled(close) &&
             e2e::FocusOfThread(run.main) == install;
    }, kWaitMs);
    EXPECT_TRUE(IsWindow(run.main));
    EXPECT_TRUE(IsWindowEnabled(install));
    EXPECT_TRUE(IsWindowEnabled(close));
    EXPECT_EQ(e2e::FocusOfThread(run.main), install);
    EXPECT_EQ(gui::ControlText(run.main, IDC_STATUS), "");
  }

  // Closes an idle main dialog: the program ends with 0, without dialog 206.
  static void CloseIdle(InstallerRun& run) {
    gui::PressButton(run.main, IDC_CLOSE);
    EXPECT_EQ(run.Exit(), 0);
    EXPECT_EQ(run.Find(expected::kInfoCaption, e2e::kSuccessTextStart), nullptr);
  }

  // Expects the error message naming exactly `names`, owned by the main
  // dialog and without dialog 206 beside it, and dismisses it.
  static void ExpectFailureMessage(const InstallerRun& run, const std::string& names) {
    HWND message = run.Wait(expected::kInfoCaption, e2e::kFailureTextStart);
    ASSERT_NE(message, nullptr) << "no error message";
    EXPECT_EQ(GetWindow(message, GW_OWNER), run.main);
    EXPECT_EQ(e2e::TextStartingWith(message, e2e::kFailureTextStart),
              std::string(e2e::kFailureTextStart) + "\n" + names);
    EXPECT_EQ(run.Find(expected::kInfoCaption, e2e::kSuccessTextStart), nullptr);
    gui::PostCommand(message, IDOK);
    ASSERT_TRUE(gui::WaitUntil([&] { return !IsWindow(message); }, kWaitMs));
  }

  // Clicks "&Installieren" and expects dialog 206, centred and unowned; OK
  // ends the program with 0.
  static void InstallAndExpectSuccess(InstallerRun& run) {
    gui::PressButton(run.main, IDC_INSTALL);
    HWND success = run.Wait(expected::kInfoCaption, e2e::kSuccessTextStart);
    ASSERT_NE(success, nullptr) << "no success dialog";
    EXPECT_FALSE(IsWindow(run.main));
    EXPECT_TRUE(e2e::IsCentred(success));
    EXPECT_EQ(GetWindow(success, GW_OWNER), nullptr);
    gui::PostCommand(success, IDOK);
    EXPECT_EQ(run.Exit(), 0);
  }

  std::string work;
  std::string start;
  std::string product;
};

TEST_F(Installer, PackageInCurrentFolderInstallsExactModuleAndRegistersIt) {
  InstallProduct(product);
  e2e::WriteBytes(start + "\\p0046.ppk", e2e::ReadBytes(SamplePackage()));
  InstallerRun run(SetupProgram(), start);
  ASSERT_NE(run.main, nullptr);
  EXPECT_EQ(gui::ControlText(run.main, IDC_STATUS), "");

  gui::PressButton(run.main, IDC_INSTALL);
  // Whatever the status line shows on the way is one of the two texts.
  std::vector<std::string> shown;
  HWND success = nullptr;
  ASSERT_TRUE(gui::WaitUntil([&] {
    const std::string text = gui::ControlText(run.main, IDC_STATUS);
    if (IsWindow(run.main) && (shown.empty() || shown.back() != text)) shown.push_back(text);
    return (success = run.Find(expected::kInfoCaption, e2e::kSuccessTextStart)) != nullptr;
  }, kWaitMs));
  for (const std::string& text : shown) {
    EXPECT_TRUE(text.empty() || text == e2e::kExtractingText || text == e2e::kRegisteringText)
        << "status line showed: " << text;
  }
  EXPECT_FALSE(IsWindow(run.main));
  EXPECT_TRUE(e2e::IsCentred(success));
  EXPECT_EQ(GetWindow(success, GW_OWNER), nullptr);

  EXPECT_EQ(e2e::ReadBytes(product + "\\p0046.dll"), e2e::ReadBytes(SampleModule()));
  EXPECT_EQ(e2e::FolderEntries(product), std::vector<std::string>{"p0046.dll"});
  ExpectSampleRegistered();

  gui::PostCommand(success, IDOK);
  EXPECT_EQ(run.Exit(), 0);
}

TEST_F(Installer, WritesIntoTheRegistryViewOfItsOwnBitness) {
  InstallProduct(product);
  e2e::WriteBytes(start + "\\p0046.ppk", e2e::ReadBytes(SamplePackage()));
  InstallerRun run(SetupProgram(), start);
  ASSERT_NE(run.main, nullptr);
  InstallAndExpectSuccess(run);

  // The test is built with the installer's bitness, so its own view is the
  // installer's: for win32 under WoW64 the 32-bit one.
  ExpectSampleRegistered(regtest::OwnView());
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  if (sizeof(void*) == 4 && wow64) {
    EXPECT_TRUE(Value("plants", "p0046", KEY_WOW64_32KEY).found);
  }
  if (sizeof(void*) == 8 || wow64) {
    EXPECT_FALSE(Value("plants", "p0046", regtest::OtherView()).found)
        << "the other registry view got the component";
  }
}

TEST_F(Installer, ProductNotInstalledShowsDialog205AndLeavesTheKeys) {
  e2e::WriteBytes(start + "\\p0046.ppk", e2e::ReadBytes(SamplePackage()));
  InstallerRun run(SetupProgram(), start);
  ASSERT_NE(run.main, nullptr);
  gui::PressButton(run.main, IDC_INSTALL);
  HWND notInstalled = run.Wait(expected::kInfoCaption, e2e::kNotInstalledTextStart);
  ASSERT_NE(notInstalled, nullptr);
  EXPECT_EQ(GetWindow(notInstalled, GW_OWNER), run.main);
  EXPECT_TRUE(e2e::IsCentred(notInstalled));
  gui::PostCommand(notInstalled, IDOK);

  ExpectIdle(run);
  EXPECT_TRUE(regtest::KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
  EXPECT_TRUE(regtest::KeyExists(HKEY_LOCAL_MACHINE, kGeneralKey));
  EXPECT_TRUE(e2e::FolderEntries(product).empty());
  CloseIdle(run);
}

TEST_F(Installer, DirValueLongerThanItsBufferCountsAsNotInstalled) {
  // 300 characters: a possible folder name, but more than the 260 bytes read.
  InstallProduct(product + "\\" + std::string(300 - product.size() - 1, 'd'));
  e2e::WriteBytes(start + "\\p0046.ppk", e2e::ReadBytes(SamplePackage()));
  InstallerRun run(SetupProgram(), start);
  ASSERT_NE(run.main, nullptr);
  gui::PressButton(run.main, IDC_INSTALL);
  HWND notInstalled = run.Wait(expected::kInfoCaption, e2e::kNotInstalledTextStart);
  ASSERT_NE(notInstalled, nullptr);
  gui::PostCommand(notInstalled, IDOK);
  ExpectIdle(run);
  EXPECT_TRUE(e2e::FolderEntries(product).empty());
  EXPECT_FALSE(Value("plants", "p0046").found);
  CloseIdle(run);
}

TEST_F(Installer, MissingPackageIsFoundThroughTheFolderChooser) {
  InstallProduct(product);
  e2e::MakeFolder(work + "\\empty");
  e2e::MakeFolder(work + "\\packages");
  e2e::WriteBytes(work + "\\packages\\p0046.ppk", e2e::ReadBytes(SamplePackage()));
  InstallerRun run(SetupProgram(), start);
  ASSERT_NE(run.main, nullptr);
  gui::PressButton(run.main, IDC_INSTALL);

  // First round: starts in the current folder; [..] goes up one level; the
  // folder picked holds no package.
  HWND chooser = run.Wait(expected::kFolderCaption);
  ASSERT_NE(chooser, nullptr);
  EXPECT_FALSE(e2e::IsCentred(chooser));
  EXPECT_EQ(GetWindow(chooser, GW_OWNER), run.main);
  EXPECT_EQ(gui::ControlText(chooser, IDC_FOLDER_PROMPT), e2e::kChooserPrompt);
  EXPECT_EQ(Lower(gui::ControlText(chooser, IDC_FOLDER_LINE)), Lower(start));
  ASSERT_TRUE(e2e::DoubleClickEntry(chooser, IDC_FOLDER_LIST, "[..]"));
  EXPECT_EQ(Lower(gui::ControlText(chooser, IDC_FOLDER_LINE)), Lower(work));
  const std::vector<std::string> entries = e2e::ListEntries(GetDlgItem(chooser, IDC_FOLDER_LIST));
  EXPECT_NE(std::find(entries.begin(), entries.end(), "[-z-]"), entries.end());
  ASSERT_TRUE(e2e::DoubleClickEntry(chooser, IDC_FOLDER_LIST, "[empty]"));
  EXPECT_EQ(Lower(gui::ControlText(chooser, IDC_FOLDER_LINE)), Lower(work + "\\empty"));
  gui::PressButton(chooser, IDC_FOLDER_OK);

  // Second round: the chooser opens again, in the folder listed last.
  ASSERT_TRUE(gui::WaitUntil([&] { return !IsWindow(chooser); }, kWaitMs));
  HWND again = run.Wait(expected::kFolderCaption);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(Lower(gui::ControlText(again, IDC_FOLDER_LINE)), Lower(work + "\\empty"));
  EXPECT_TRUE(e2e::FolderEntries(product).empty());
  ASSERT_TRUE(e2e::DoubleClickEntry(again, IDC_FOLDER_LIST, "[..]"));
  ASSERT_TRUE(e2e::DoubleClickEntry(again, IDC_FOLDER_LIST, "[packages]"));
  gui::PressButton(again, IDC_FOLDER_OK);

  HWND success = run.Wait(expected::kInfoCaption, e2e::kSuccessTextStart);
  ASSERT_NE(success, nullptr);
  EXPECT_EQ(e2e::ReadBytes(product + "\\p0046.dll"), e2e::ReadBytes(SampleModule()));
  ExpectSampleRegistered();
  gui::PostCommand(success, IDOK);
  EXPECT_EQ(run.Exit(), 0);
}

TEST_F(Installer, CancelledFolderChooserLeavesTheMainDialogIdle) {
  InstallProduct(product);
  InstallerRun run(SetupProgram(), start);
  ASSERT_NE(run.main, nullptr);
  // Cancelled by its button, by Esc (command 2) and by the close box.
  for (const int how : {IDC_FOLDER_CANCEL, IDCANCEL, -1}) {
    SCOPED_TRACE(how);
    gui::PressButton(run.main, IDC_INSTALL);
    HWND chooser = run.Wait(expected::kFolderCaption);
    ASSERT_NE(chooser, nullptr);
    if (how == IDC_FOLDER_CANCEL) {
      // A drive entry leads to that drive's root; cancelling still gives 0.
      ASSERT_TRUE(e2e::DoubleClickEntry(chooser, IDC_FOLDER_LIST, "[-c-]"));
      EXPECT_EQ(Lower(gui::ControlText(chooser, IDC_FOLDER_LINE)), "c:\\");
      gui::PressButton(chooser, IDC_FOLDER_CANCEL);
    } else if (how == IDCANCEL) {
      gui::PostCommand(chooser, IDCANCEL);
    } else {
      PostMessageA(chooser, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    ASSERT_TRUE(gui::WaitUntil([&] { return !IsWindow(chooser); }, kWaitMs));
    ExpectIdle(run);
  }
  EXPECT_TRUE(e2e::FolderEntries(product).empty());
  EXPECT_FALSE(Value("plants", "p0046").found);
  CloseIdle(run);
}

TEST_F(Installer, ReadOnlyPackageIsReadThroughATemporaryCopyThatGoesAway) {
  InstallProduct(product);
  const std::string package = start + "\\p0046.ppk";
  const std::vector<unsigned char> packed = e2e::ReadBytes(SamplePackage());
  e2e::WriteBytes(package, packed);
  ASSERT_TRUE(SetFileAttributesA(package.c_str(), FILE_ATTRIBUTE_READONLY));
  const std::vector<std::string> copiesBefore = e2e::TempCopies();

  InstallerRun run(SetupProgram(), start);
  ASSERT_NE(run.main, nullptr);
  InstallAndExpectSuccess(run);

  EXPECT_EQ(e2e::ReadBytes(product + "\\p0046.dll"), e2e::ReadBytes(SampleModule()));
  EXPECT_EQ(e2e::TempCopies(), copiesBefore);
  EXPECT_EQ(e2e::ReadBytes(package), packed);
  EXPECT_NE(GetFileAttributesA(package.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  ExpectSampleRegistered();
}

TEST_F(Installer, DamagedPackageIsReportedAndTheInstalledModuleSurvives) {
  InstallProduct(product);
  const std::vector<unsigned char> packed = e2e::ReadBytes(SamplePackage());
  const std::vector<unsigned char> earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
  struct Damage {
    const char* what;
    std::vector<unsigned char> bytes;
  };
  const std::vector<Damage> damages = {
      {"cut in the middle",
       std::vector<unsigned char>(packed.begin(), packed.begin() + packed.size() / 2)},
      {"invalid block type", {0x07, 0x00, 0x00, 0x00}},
      {"empty file", {}},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    e2e::WriteBytes(product + "\\p0046.dll", earlier);
    e2e::WriteBytes(start + "\\p0046.ppk", damage.bytes);
    InstallerRun run(SetupProgram(), start);
    ASSERT_NE(run.main, nullptr);
    gui::PressButton(run.main, IDC_INSTALL);
    ExpectFailureMessage(run, "p0046");
    ExpectIdle(run);
    EXPECT_EQ(e2e::ReadBytes(product + "\\p0046.dll"), earlier);
    EXPECT_EQ(e2e::FolderEntries(product), std::vector<std::string>{"p0046.dll"});
    EXPECT_FALSE(Value("plants", "p0046").found);
    CloseIdle(run);
  }
}

TEST_F(Installer, ModuleThatCannotBeLoadedIsReported) {
  InstallProduct(product);
  e2e::WriteBytes(start + "\\p0046.ppk",
                  e2e::Deflate(std::vector<unsigned char>(5000, 'x'), 9));
  InstallerRun run(SetupProgram(), start);
  ASSERT_NE(run.main, nullptr);
  gui::PressButton(run.main, IDC_INSTALL);
  ExpectFailureMessage(run, "p0046");
  ExpectIdle(run);
  EXPECT_FALSE(Value("plants", "p0046").found);
  CloseIdle(run);
}

TEST_F(Installer, ModuleInUseSurvivesTheRefusedReplacement) {
  InstallProduct(product);
  e2e::WriteBytes(start + "\\p0046.ppk", e2e::ReadBytes(SamplePackage()));
  const std::string module = product + "\\p0046.dll";
  const std::vector<unsigned char> earlier = {'i', 'n', ' ', 'u', 's', 'e'};
  e2e::WriteBytes(module, earlier);
  // The product holds its module open and lets nobody write or replace it.
  HANDLE held = CreateFileA(module.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);

  InstallerRun run(SetupProgram(), start);
  ASSERT_NE(run.main, nullptr);
  gui::PressButton(run.main, IDC_INSTALL);
  ExpectFailureMessage(run, "p0046");
  ExpectIdle(run);
  CloseHandle(held);
  EXPECT_EQ(e2e::ReadBytes(module), earlier);
  EXPECT_EQ(e2e::FolderEntries(product), std::vector<std::string>{"p0046.dll"});
  CloseIdle(run);
}

TEST_F(Installer, ProductFolderEndingInBackslashStillInstalls) {
  InstallProduct(product + "\\");
  e2e::WriteBytes(start + "\\p0046.ppk", e2e::ReadBytes(SamplePackage()));
  InstallerRun run(SetupProgram(), start);
  ASSERT_NE(run.main, nullptr);
  InstallAndExpectSuccess(run);
  EXPECT_EQ(e2e::ReadBytes(product + "\\p0046.dll"), e2e::ReadBytes(SampleModule()));
  EXPECT_EQ(e2e::FolderEntries(product), std::vector<std::string>{"p0046.dll"});
  ExpectSampleRegistered();
}

TEST_F(Installer, CloseRequestsDuringDecompressionAreSwallowedAndHelpOpens) {
  InstallProduct(product);
  // A module that takes a while to write: the sample with 48 MiB behind it
  // (bytes after the last section are never mapped, so it still loads).
  std::vector<unsigned char> large = e2e::ReadBytes(SampleModule());
  const size_t moduleSize = large.size();
  large.resize(moduleSize + (48u << 20));
  for (size_t i = moduleSize; i < large.size(); ++i) {
    large[i] = static_cast<unsigned char>((i * 7) ^ (i >> 12));
  }
  e2e::WriteBytes(start + "\\p0046.ppk", e2e::Deflate(large, 1));

  InstallerRun run(SetupProgram(), start);
  ASSERT_NE(run.main, nullptr);
  // Queued behind the click, so that the installer takes them from inside
  // the decompression: the Esc key and its command, the close box,
  // WM_CLOSE, the close button (211), "&Hilfe".
  gui::PressButton(run.main, IDC_INSTALL);
  gui::PostKey(GetDlgItem(run.main, IDC_INSTALL), VK_ESCAPE);
  gui::PostCommand(run.main, IDCANCEL);
  PostMessageA(run.main, WM_SYSCOMMAND, SC_CLOSE, 0);
  PostMessageA(run.main, WM_CLOSE, 0, 0);
  gui::PostCommand(run.main, IDC_CLOSE);
  gui::PressButton(run.main, IDC_HELP_BUTTON);

  HWND help = run.Wait(expected::kHelpCaption);
  ASSERT_NE(help, nullptr);
  // The help dialog runs inside the decompression, which waits for it.
  EXPECT_TRUE(IsWindow(run.main));
  EXPECT_EQ(gui::ControlText(run.main, IDC_STATUS), e2e::kExtractingText);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(run.main, IDC_INSTALL)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(run.main, IDC_CLOSE)));
  EXPECT_EQ(run.Find(expected::kInfoCaption), nullptr);
  gui::PostCommand(help, IDOK);

  HWND success = run.Wait(expected::kInfoCaption, e2e::kSuccessTextStart, 120000);
  ASSERT_NE(success, nullptr);
  EXPECT_EQ(e2e::ReadBytes(product + "\\p0046.dll"), large);
  ExpectSampleRegistered();
  gui::PostCommand(success, IDOK);
  EXPECT_EQ(run.Exit(), 0);
}

TEST_F(Installer, ListOfThreeNamesIsInstalledInItsOrder) {
  // "a1 b2,c3": b2 is not in the current folder, so the chooser asks for it
  // after a1 and before c3. The folder picked then holds for c3 as well.
  InstallProduct(product);
  e2e::MakeFolder(work + "\\packages");
  e2e::WriteBytes(start + "\\a1.ppk", e2e::ReadBytes(TestPackage("a1")));
  e2e::WriteBytes(work + "\\packages\\b2.ppk", e2e::ReadBytes(TestPackage("b2")));
  e2e::WriteBytes(work + "\\packages\\c3.ppk", e2e::ReadBytes(TestPackage("c3")));
  InstallerRun run(gui::WindowsPath(E2E_LIST_SETUP_EXE), start);
  ASSERT_NE(run.main, nullptr);
  gui::PressButton(run.main, IDC_INSTALL);
  HWND chooser = run.Wait(expected::kFolderCaption);
  ASSERT_NE(chooser, nullptr);
  EXPECT_EQ(e2e::FolderEntries(product), std::vector<std::string>{"a1.dll"});
  ASSERT_TRUE(e2e::DoubleClickEntry(chooser, IDC_FOLDER_LIST, "[..]"));
  ASSERT_TRUE(e2e::DoubleClickEntry(chooser, IDC_FOLDER_LIST, "[packages]"));
  gui::PressButton(chooser, IDC_FOLDER_OK);
  HWND success = run.Wait(expected::kInfoCaption, e2e::kSuccessTextStart);
  ASSERT_NE(success, nullptr);
  gui::PostCommand(success, IDOK);
  EXPECT_EQ(run.Exit(), 0);

  EXPECT_EQ(e2e::FolderEntries(product),
            (std::vector<std::string>{"a1.dll", "b2.dll", "c3.dll"}));
  for (const char* base : {"a1", "b2", "c3"}) {
    EXPECT_EQ(e2e::ReadBytes(product + "\\" + base + ".dll"), e2e::ReadBytes(TestModule(base)))
        << base;
  }
  EXPECT_EQ(Value("plants", "a1").bytes, regtest::SzBytes("Testpflanze A1"));
  EXPECT_EQ(Value("seeds", "a1").bytes, (std::vector<unsigned char>{2, 0, 0, 0}));
  EXPECT_EQ(Value("animations", "b2").bytes, regtest::SzBytes("Testanimation B2"));
  EXPECT_EQ(Value("aniint", "b2-0").bytes,
            (std::vector<unsigned char>{10,   0,    1,    2,    3,    4,    5,    6,    7,
                                        8,    9,    10,   0x11, 0x12, 0x13, 0x14, 0x15, 0x16,
                                        0x17, 0x18, 0x19, 0x1A, 0x21, 0x22, 0x23, 0x24}));
  EXPECT_EQ(Value("sounds", "c3").bytes, regtest::SzBytes("Testklang C3"));
}

TEST_F(Installer, LeadingSeparatorsAreSkippedAndAnUnregistrableModuleIsReported) {
  // ", ;x9,a1": an empty first name would look for ".ppk" and open the
  // chooser. x9 decodes and loads but carries no records to register.
  InstallProduct(product);
  e2e::WriteBytes(start + "\\x9.ppk", e2e::ReadBytes(TestPackage("x9")));
  e2e::WriteBytes(start + "\\a1.ppk", e2e::ReadBytes(TestPackage("a1")));
  InstallerRun run(gui::WindowsPath(E2E_SEPARATORS_SETUP_EXE), start);
  ASSERT_NE(run.main, nullptr);
  gui::PressButton(run.main, IDC_INSTALL);
  ExpectFailureMessage(run, "x9");
  EXPECT_EQ(run.Find(expected::kFolderCaption), nullptr);
  ExpectIdle(run);
  // The walk went on after the failure.
  EXPECT_EQ(Value("plants", "a1").bytes, regtest::SzBytes("Testpflanze A1"));
  EXPECT_EQ(e2e::ReadBytes(product + "\\a1.dll"), e2e::ReadBytes(TestModule("a1")));
  CloseIdle(run);
}

}  // namespace
