// The real addon-setup.exe, run as its own process under Wine and driven
// through its windows. Every test starts from nothing: a working folder of
// its own and no product key in the registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/e2e/installer_session.h"
#include "tests/gui/expected_texts.h"
#include "tests/gui/gui_driver.h"
#include "tests/registry/registry_test_support.h"

namespace {

using e2e::Bytes;
using regtest::Sz;
using Names = std::vector<std::string>;

const char kProductKey[] = "SOFTWARE\\Lumora\\Verdanelle";
const std::string kGeneralKey = std::string(kProductKey) + "\\general";
constexpr DWORD kWaitMs = 20000;

std::string SetupProgram() { return gui::WindowsPath(E2E_SETUP_EXE); }
std::string SampleModule() { return gui::WindowsPath(E2E_SAMPLE_DIR "/p0046.dll"); }
std::string SamplePackage() { return gui::WindowsPath(E2E_SAMPLE_DIR "/p0046.ppk"); }
std::string TestFile(const std::string& name) {
  return gui::WindowsPath(E2E_MODULE_DIR "/" + name);
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The folder the chooser shows, in lower case (Wine may change the case).
std::string ChooserLine(HWND chooser) { return Lower(gui::ControlText(chooser, IDC_FOLDER_LINE)); }

// Everything below the product key, in the registry view of the installer's
// bitness (the test is built with the same) or in the other one.
regtest::Values Written(REGSAM view = regtest::OwnView()) {
  return regtest::ValuesBelow(HKEY_LOCAL_MACHINE, kProductKey, view);
}

// The product's folder and the sample component, registered.
regtest::Values SampleWritten(const std::string& dir) {
  return {{"general\\dir", Sz(dir)},
          {"plants\\p0046", Sz("Rosa Hibiscus")},
          {"seeds\\p0046", regtest::Dword(3)}};
}

// One run of the installer, started in a folder, with its main dialog.
struct InstallerRun {
  InstallerRun(const std::string& program, const std::string& folder) {
    if (process.Start(program, folder)) {
      main = gui::WaitForWindow(expected::kMainCaption, process.Id(), kWaitMs);
    }
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

  // A run of the shipped installer in the start folder, "&Installieren" clicked.
  std::unique_ptr<InstallerRun> StartInstall(const std::string& program = SetupProgram()) {
    auto run = std::make_unique<InstallerRun>(program, start);
    if (run->main != nullptr) gui::PressButton(run->main, IDC_INSTALL);
    return run;
  }

  // The main dialog after a run that gave 0: open, idle, buttons usable,
  // status line empty, focus on "&Installieren".
  static void ExpectIdle(const InstallerRun& run) {
    HWND install = GetDlgItem(run.main, IDC_INSTALL);
    // The dialog finishes its install sequence after the driver returns.
    EXPECT_TRUE(gui::WaitUntil([&] {
      return IsWindowEnabled(install) && IsWindowEnabled(GetDlgItem(run.main, IDC_CLOSE)) &&
             e2e::FocusOfThread(run.main) == install;
    }, kWaitMs)) << "buttons disabled or focus not on \"&Installieren\"";
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

  // Expects dialog 206, centred and unowned, in place of the main dialog;
  // OK ends the program with 0.
  static void ExpectSuccess(InstallerRun& run, DWORD ms = kWaitMs) {
    HWND success = run.Wait(expected::kInfoCaption, e2e::kSuccessTextStart, ms);
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
  const Bytes packed = e2e::ReadBytes(SamplePackage());
  const std::string package = start + "\\p0046.ppk";
  struct Case {
    const char* what;
    std::string dir;
    bool readOnly;  // read through a temporary copy that goes away
  };
  for (const Case& c : {Case{"plain", product, false},
                        Case{"dir ending in a backslash", product + "\\", false},
                        Case{"read-only package", product, true}}) {
    SCOPED_TRACE(c.what);
    ForgetProduct();
    e2e::RemoveTree(product);
    e2e::MakeFolder(product);
    e2e::RemoveTree(package);
    InstallProduct(c.dir);
    e2e::WriteBytes(package, packed);
    if (c.readOnly) {
      ASSERT_TRUE(SetFileAttributesA(package.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    const Names copiesBefore = e2e::TempCopies();

    InstallerRun run(SetupProgram(), start);
    ASSERT_NE(run.main, nullptr);
    EXPECT_EQ(gui::ControlText(run.main, IDC_STATUS), "");
    gui::PressButton(run.main, IDC_INSTALL);
    // Whatever the status line shows on the way is one of the two texts.
    Names shown;
    ASSERT_TRUE(gui::WaitUntil([&] {
      const std::string text = gui::ControlText(run.main, IDC_STATUS);
      if (IsWindow(run.main) && (shown.empty() || shown.back() != text)) shown.push_back(text);
      return run.Find(expected::kInfoCaption, e2e::kSuccessTextStart) != nullptr;
    }, kWaitMs));
    for (const std::string& text : shown) {
      EXPECT_TRUE(text.empty() || text == e2e::kExtractingText || text == e2e::kRegisteringText)
          << "status line showed: " << text;
    }
    ExpectSuccess(run);

    EXPECT_EQ(e2e::ReadBytes(product + "\\p0046.dll"), e2e::ReadBytes(SampleModule()));
    EXPECT_EQ(e2e::FolderEntries(product), Names{"p0046.dll"});
    EXPECT_EQ(Written(), SampleWritten(c.dir));
    // A win32 build sees a second view only under WoW64.
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (sizeof(void*) == 8 || wow64) {
      EXPECT_EQ(Written(regtest::OtherView()), regtest::Values{}) << "the other view got some";
    }
    EXPECT_EQ(e2e::TempCopies(), copiesBefore);
    EXPECT_EQ(e2e::ReadBytes(package), packed);
    EXPECT_EQ((GetFileAttributesA(package.c_str()) & FILE_ATTRIBUTE_READONLY) != 0, c.readOnly);
  }
}

TEST_F(Installer, ProductNotInstalledShowsDialog205AndLeavesTheKeys) {
  e2e::WriteBytes(start + "\\p0046.ppk", e2e::ReadBytes(SamplePackage()));
  // No "dir" at all, and one of 300 characters: a possible folder name, but
  // more than the 260 bytes read.
  const std::string overlong = product + "\\" + std::string(299 - product.size(), 'd');
  for (const std::string& dir : {std::string(), overlong}) {
    SCOPED_TRACE(dir.size());
    ForgetProduct();
    if (!dir.empty()) InstallProduct(dir);
    const auto run = StartInstall();
    ASSERT_NE(run->main, nullptr);
    HWND notInstalled = run->Wait(expected::kInfoCaption, e2e::kNotInstalledTextStart);
    ASSERT_NE(notInstalled, nullptr);
    EXPECT_EQ(GetWindow(notInstalled, GW_OWNER), run->main);
    EXPECT_TRUE(e2e::IsCentred(notInstalled));
    gui::PostCommand(notInstalled, IDOK);

    ExpectIdle(*run);
    EXPECT_TRUE(regtest::KeyExists(HKEY_LOCAL_MACHINE, kGeneralKey, regtest::OwnView()));
    const regtest::Values expected =
        dir.empty() ? regtest::Values{} : regtest::Values{{"general\\dir", Sz(dir)}};
    EXPECT_EQ(Written(), expected);
    EXPECT_TRUE(e2e::FolderEntries(product).empty());
    CloseIdle(*run);
  }
}

TEST_F(Installer, ListIsInstalledInItsOrderWithTheChooserAskingForMissingPackages) {
  // "a1 b2,c3": b2 is not in the current folder, so the chooser asks for it
  // after a1 and before c3, and again as long as the folder picked does not
  // hold it. The folder that does then holds for c3 as well.
  InstallProduct(product);
  e2e::MakeFolder(work + "\\empty");
  e2e::MakeFolder(work + "\\packages");
  e2e::WriteBytes(start + "\\a1.ppk", e2e::ReadBytes(TestFile("a1.ppk")));
  e2e::WriteBytes(work + "\\packages\\b2.ppk", e2e::ReadBytes(TestFile("b2.ppk")));
  e2e::WriteBytes(work + "\\packages\\c3.ppk", e2e::ReadBytes(TestFile("c3.ppk")));
  const auto run = StartInstall(gui::WindowsPath(E2E_LIST_SETUP_EXE));
  ASSERT_NE(run->main, nullptr);

  // First round: starts in the current folder; [..] goes up one level; the
  // folder picked holds no package.
  HWND chooser = run->Wait(expected::kFolderCaption);
  ASSERT_NE(chooser, nullptr);
  EXPECT_FALSE(e2e::IsCentred(chooser));
  EXPECT_EQ(GetWindow(chooser, GW_OWNER), run->main);
  EXPECT_EQ(gui::ControlText(chooser, IDC_FOLDER_PROMPT), e2e::kChooserPrompt);
  EXPECT_EQ(ChooserLine(chooser), Lower(start));
  EXPECT_EQ(e2e::FolderEntries(product), Names{"a1.dll"});
  ASSERT_TRUE(e2e::DoubleClickEntry(chooser, IDC_FOLDER_LIST, "[..]"));
  EXPECT_EQ(ChooserLine(chooser), Lower(work));
  const Names entries = e2e::ListEntries(GetDlgItem(chooser, IDC_FOLDER_LIST));
  EXPECT_NE(std::find(entries.begin(), entries.end(), "[-z-]"), entries.end());
  ASSERT_TRUE(e2e::DoubleClickEntry(chooser, IDC_FOLDER_LIST, "[empty]"));
  EXPECT_EQ(ChooserLine(chooser), Lower(work + "\\empty"));
  gui::PressButton(chooser, IDC_FOLDER_OK);

  // Second round: the chooser opens again, in the folder listed last.
  ASSERT_TRUE(gui::WaitUntil([&] { return !IsWindow(chooser); }, kWaitMs));
  chooser = run->Wait(expected::kFolderCaption);
  ASSERT_NE(chooser, nullptr);
  EXPECT_EQ(ChooserLine(chooser), Lower(work + "\\empty"));
  EXPECT_EQ(e2e::FolderEntries(product), Names{"a1.dll"});
  ASSERT_TRUE(e2e::DoubleClickEntry(chooser, IDC_FOLDER_LIST, "[..]"));
  ASSERT_TRUE(e2e::DoubleClickEntry(chooser, IDC_FOLDER_LIST, "[packages]"));
  gui::PressButton(chooser, IDC_FOLDER_OK);
  ExpectSuccess(*run);

  EXPECT_EQ(e2e::FolderEntries(product), (Names{"a1.dll", "b2.dll", "c3.dll"}));
  for (const char* base : {"a1", "b2", "c3"}) {
    EXPECT_EQ(e2e::ReadBytes(product + "\\" + base + ".dll"),
              e2e::ReadBytes(TestFile(base + std::string(".dll"))))
        << base;
  }
  EXPECT_EQ(Written(), (regtest::Values{{"general\\dir", Sz(product)},
                                        {"plants\\a1", Sz("Seedless Fern")},
                                        {"animations\\b2", Sz("Drifting Petals")},
                                        {"aniint\\b2-0", regtest::Record(10, 0x01, 0x21)},
                                        {"aniint\\b2-1", regtest::Record(20)},
                                        {"sounds\\c3", Sz("Morning Chimes")},
                                        {"soundint\\c3-0", regtest::Record(7, 0x31, 0x51)}}));
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
      EXPECT_EQ(ChooserLine(chooser), "c:\\");
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
  EXPECT_EQ(Written(), (regtest::Values{{"general\\dir", Sz(product)}}));
  CloseIdle(run);
}

TEST_F(Installer, FailedComponentIsReportedAndTheInstalledModuleSurvives) {
  InstallProduct(product);
  const std::string module = product + "\\p0046.dll";
  const Bytes packed = e2e::ReadBytes(SamplePackage());
  const Bytes earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
  const Bytes junk(5000, 'x');
  struct Case {
    const char* what;
    Bytes package;
    bool inUse;
    Bytes moduleAfter;
  };
  const Case cases[] = {
      {"package cut in the middle", Bytes(packed.begin(), packed.begin() + packed.size() / 2),
       false, earlier},
      {"invalid block type", {0x07, 0x00, 0x00, 0x00}, false, earlier},
      {"empty package", {}, false, earlier},
      // Decodes soundly, so it replaces the module, but does not load.
      {"module that cannot be loaded", e2e::Deflate(junk, 9), false, junk},
      // The product holds its module open and lets nobody write or replace it.
      {"module in use", packed, true, earlier},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    e2e::WriteBytes(module, earlier);
    e2e::WriteBytes(start + "\\p0046.ppk", c.package);
    std::unique_ptr<void, decltype(&CloseHandle)> held(nullptr, &CloseHandle);
    if (c.inUse) {
      held.reset(CreateFileA(module.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr));
      ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
    }
    const auto run = StartInstall();
    ASSERT_NE(run->main, nullptr);
    ExpectFailureMessage(*run, "p0046");
    ExpectIdle(*run);
    held.reset();
    EXPECT_EQ(e2e::ReadBytes(module), c.moduleAfter);
    EXPECT_EQ(e2e::FolderEntries(product), Names{"p0046.dll"});
    EXPECT_EQ(Written(), (regtest::Values{{"general\\dir", Sz(product)}}));
    CloseIdle(*run);
  }
}

TEST_F(Installer, CloseRequestsDuringDecompressionAreSwallowedAndHelpOpens) {
  InstallProduct(product);
  // A module that takes a while to write: the sample with 48 MiB behind it
  // (bytes after the last section are never mapped, so it still loads).
  Bytes large = e2e::ReadBytes(SampleModule());
  const size_t moduleSize = large.size();
  large.resize(moduleSize + (48u << 20));
  for (size_t i = moduleSize; i < large.size(); ++i) {
    large[i] = static_cast<unsigned char>((i * 7) ^ (i >> 12));
  }
  e2e::WriteBytes(start + "\\p0046.ppk", e2e::Deflate(large, 1));

  // Queued behind the click, so that the installer takes them from inside
  // the decompression: the Esc key and its command, the close box,
  // WM_CLOSE, the close button (211), "&Hilfe".
  const auto run = StartInstall();
  ASSERT_NE(run->main, nullptr);
  gui::PostKey(GetDlgItem(run->main, IDC_INSTALL), VK_ESCAPE);
  gui::PostCommand(run->main, IDCANCEL);
  PostMessageA(run->main, WM_SYSCOMMAND, SC_CLOSE, 0);
  PostMessageA(run->main, WM_CLOSE, 0, 0);
  gui::PostCommand(run->main, IDC_CLOSE);
  gui::PressButton(run->main, IDC_HELP_BUTTON);

  HWND help = run->Wait(expected::kHelpCaption);
  ASSERT_NE(help, nullptr);
  // The help dialog runs inside the decompression, which waits for it.
  EXPECT_TRUE(IsWindow(run->main));
  EXPECT_EQ(gui::ControlText(run->main, IDC_STATUS), e2e::kExtractingText);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(run->main, IDC_INSTALL)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(run->main, IDC_CLOSE)));
  EXPECT_EQ(run->Find(expected::kInfoCaption), nullptr);
  gui::PostCommand(help, IDOK);

  ExpectSuccess(*run, 120000);
  EXPECT_EQ(e2e::ReadBytes(product + "\\p0046.dll"), large);
  EXPECT_EQ(Written(), SampleWritten(product));
}

TEST_F(Installer, LeadingSeparatorsAreSkippedAndAnUnregistrableModuleIsReported) {
  // ", ;x9,a1": an empty first name would look for ".ppk" and open the
  // chooser. x9 decodes and loads but is of no kind the installer knows.
  InstallProduct(product);
  e2e::WriteBytes(start + "\\x9.ppk", e2e::ReadBytes(TestFile("x9.ppk")));
  e2e::WriteBytes(start + "\\a1.ppk", e2e::ReadBytes(TestFile("a1.ppk")));
  const auto run = StartInstall(gui::WindowsPath(E2E_SEPARATORS_SETUP_EXE));
  ASSERT_NE(run->main, nullptr);
  ExpectFailureMessage(*run, "x9");
  EXPECT_EQ(run->Find(expected::kFolderCaption), nullptr);
  ExpectIdle(*run);
  // The walk went on after the failure.
  EXPECT_EQ(e2e::ReadBytes(product + "\\a1.dll"), e2e::ReadBytes(TestFile("a1.dll")));
  EXPECT_EQ(Written(), (regtest::Values{{"general\\dir", Sz(product)},
                                        {"plants\\a1", Sz("Seedless Fern")}}));
  CloseIdle(*run);
}

}  // namespace
