// The real addon-setup.exe, run as its own process under Wine and driven
// through its windows. Every test starts from nothing: a working folder of
// its own and no product key in the registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/deflate_streams.h"
#include "tests/support/registry_test_support.h"
#include "tests/support/test_files.h"
#include "tests/support/gui_harness.h"
#include "tools/demo/installer_texts.h"

namespace {

using deflate_streams::Bytes;
using deflate_streams::Deflate;
using Names = std::vector<std::string>;
using regtest::Sz;
using regtest::Values;

Bytes ReadBytes(const std::string& path) {
  const std::string content = ReadWholeFile(path);
  return Bytes(content.begin(), content.end());
}

// Names of the entries of `folder`, sorted; none for a missing folder.
Names FolderEntries(const std::string& folder) {
  Names names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Selects `entry` (compared without case, in UTF-16) of the folder list and sends
// the chooser the notification of a double click; false without such an entry.
bool DoubleClickEntry(HWND chooser, const std::wstring& entry) {
  HWND list = GetDlgItem(chooser, IDC_FOLDER_LIST);
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[300] = {};
    if (SendMessageW(list, LB_GETTEXTLEN, i, 0) >= 299) continue;
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    if (_wcsicmp(text, entry.c_str()) != 0) continue;
    SendMessageA(list, LB_SETCURSEL, i, 0);
    SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDC_FOLDER_LIST, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    return true;
  }
  return false;
}

// The folder the chooser shows; compared without case, which Wine may change.
std::string ChooserLine(HWND chooser) { return gui::ControlText(chooser, IDC_FOLDER_LINE); }

const char kProductKey[] = "SOFTWARE\\Lumora\\Verdanelle";

// Why a component failed, as its line in the error message says it
// (Windows-1252; see installer_texts.h for the escapes).
const char kDamaged[] = "Das Paket ist besch\xe4" "digt oder unvollst\xe4" "ndig.";
const char kOtherBytes[] = "Das Paket geh\xf6" "rt nicht zu diesem Installationsprogramm.";
const char kNotAModule[] = "Das Paket enth\xe4" "lt keine verwendbare Komponente.";
const char kDiskFull[] = "Der Datentr\xe4" "ger ist voll.";
const char kInUse[] = "Die Komponente wird gerade verwendet.";
const char kWriteFailed[] = "Die Komponente konnte nicht geschrieben werden.";
const char kTooLarge[] = "Die Komponente ist zu gro\xdf.";
const char kUnreadable[] = "Das Paket konnte nicht gelesen werden.";
const char kRedirected[] = "Der Ordner des Bildschirmschoners verweist auf einen anderen Ort.";
const char kBadName[] = "Der Name der Komponente ist nicht zul\xe4" "ssig.";
// The question about a held module, after its path.
const char kInUseQuestionEnd[] =
    "\nwird gerade verwendet und kann nicht ersetzt werden.\n\nBitte beenden Sie den Bildschirmschoner "
    "und schlie\xdf" "en Sie seine Einstellungen. W\xe4" "hlen Sie dann \"Wiederholen\".";
constexpr DWORD kWaitMs = 20000;

// The sample component (add ".dll" or ".ppk"), and the folder of the test components.
const std::string kSample = gui::WindowsPath(E2E_SAMPLE_DIR "/p0046");
const std::string kTestComponents = gui::WindowsPath(E2E_MODULE_DIR) + "\\";

// Everything below the product key, in the registry view of the installer's
// bitness (the test is built with the same).
Values Written() { return regtest::ValuesBelow(HKEY_LOCAL_MACHINE, kProductKey, regtest::OwnView()); }

Values SampleWritten(const std::string& dir) {
  return {{"general\\dir", Sz(dir)}, {"plants\\p0046", Sz("Rosa Hibiscus")}, {"seeds\\p0046", regtest::Dword(3)}};
}


class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    work = gui::WindowsPath(E2E_WORK_ROOT) + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    start = work + "\\start";
    product = work + "\\product";
    module = product + "\\p0046.dll";
    RemoveTree(work);
    std::filesystem::create_directories(start);
    std::filesystem::create_directories(product);
    ForgetProduct();
    InstallProduct(product);
  }
  void TearDown() override {
    ForgetProduct();
    if (!HasFailure()) RemoveTree(work);
  }

  static void ForgetProduct() {
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Lumora", regtest::OwnView());
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Lumora", regtest::OtherView());
  }
  // The product as its own setup leaves it: "dir" under "general".
  static void InstallProduct(const std::string& folder) {
    regtest::StoreRaw(HKEY_LOCAL_MACHINE, std::string(kProductKey) + "\\general", "dir", REG_SZ,
                      folder.c_str(), static_cast<DWORD>(folder.size() + 1));
  }

  // Starts `program` in the start folder and clicks "&Installieren": its
  // main dialog, or null.
  HWND Start(const std::string& program = E2E_SETUP_EXE) {
    process = std::make_unique<gui::Process>();
    main = harness::StartMainDialog(*process, program, start);
    if (main != nullptr) gui::PressButton(main, IDC_INSTALL);
    return main;
  }
  // A top-level window of the installer with `caption` and, if given, a
  // child text that starts with `text`, waiting up to `ms` (0: now).
  HWND Wait(const std::string& caption, const char* text = nullptr, DWORD ms = kWaitMs) const {
    HWND found = nullptr;
    gui::WaitUntil([&] {
      found = gui::FindTopLevelWindow(caption, process->Id());
      if (found != nullptr && text != nullptr && !texts::ContainsText(found, text)) found = nullptr;
      return found != nullptr;
    }, ms);
    return found;
  }
  long Exit() { return harness::ExitCode(*process, kWaitMs); }

  // The main dialog after a run that gave 0: idle, buttons usable, status
  // line empty, focus on "&Installieren"; then closed, exit code 0.
  void ExpectIdleAndClose() {
    HWND install = GetDlgItem(main, IDC_INSTALL);
    EXPECT_TRUE(gui::WaitUntil([&] {
      return IsWindowEnabled(install) && IsWindowEnabled(GetDlgItem(main, IDC_CLOSE)) &&
             harness::FocusOfThread(main) == install;
    }, kWaitMs)) << "buttons disabled or focus not on \"&Installieren\"";
    EXPECT_EQ(gui::ControlText(main, IDC_STATUS), "");
    gui::PressButton(main, IDC_CLOSE);
    EXPECT_EQ(Exit(), 0);
  }

  // The error message with exactly `lines` (a "<name>: <reason>" each),
  // owned by the main dialog and without dialog 206 beside it; dismissed.
  void ExpectFailureMessage(const std::string& lines) {
    HWND message = Wait(texts::kInfoCaption, texts::kFailureTextStart);
    ASSERT_NE(message, nullptr) << "no error message";
    EXPECT_EQ(GetWindow(message, GW_OWNER), main);
    EXPECT_EQ(texts::TextStartingWith(message, texts::kFailureTextStart),
              std::string(texts::kFailureTextStart) + "\n" + lines);
    EXPECT_EQ(Wait(texts::kInfoCaption, texts::kSuccessTextStart, 0), nullptr);
    gui::PostCommand(message, IDOK);
    ASSERT_TRUE(gui::WaitUntil([&] { return !IsWindow(message); }, kWaitMs));
  }

  // Dialog 206, unowned, in place of the main dialog; OK ends the program
  // with 0.
  void ExpectSuccess(DWORD ms = kWaitMs) {
    HWND success = Wait(texts::kInfoCaption, texts::kSuccessTextStart, ms);
    ASSERT_NE(success, nullptr) << "no success dialog";
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(GetWindow(success, GW_OWNER), nullptr);
    gui::PostCommand(success, IDOK);
    EXPECT_EQ(Exit(), 0);
  }

  // Dialog 208 about the held module, owned by the main dialog, centred and
  // naming the module; answered with `button` (IDRETRY or IDCANCEL).
  void AnswerInUseQuestion(int button) {
    HWND question = Wait(texts::kInfoCaption, texts::kInUseQuestionStart);
    ASSERT_NE(question, nullptr) << "no question about the held module";
    EXPECT_EQ(GetWindow(question, GW_OWNER), main);
    EXPECT_TRUE(harness::IsCentred(question));
    EXPECT_EQ(texts::TextStartingWith(question, texts::kInUseQuestionStart),
              texts::kInUseQuestionStart + module + kInUseQuestionEnd);
    EXPECT_EQ(gui::ControlText(question, IDRETRY), "&Wiederholen");
    EXPECT_EQ(gui::ControlText(question, IDCANCEL), "Abbrechen");
    gui::PressButton(question, button);
    ASSERT_TRUE(gui::WaitUntil([&] { return !IsWindow(question); }, kWaitMs));
  }

  std::unique_ptr<gui::Process> process;
  HWND main = nullptr;
  std::string work, start, product, module;
};

TEST_F(Installer, PackageInCurrentFolderInstallsExactModuleAndRegistersIt) {
  const Bytes packed = ReadBytes(kSample + ".ppk");
  const std::string package = start + "\\p0046.ppk";
  // A temporary folder of the installer's own, which no other test uses.
  const std::string temp = work + "\\temp";
  std::filesystem::create_directory(temp);
  SetEnvironmentVariableA("TMP", temp.c_str());
  SetEnvironmentVariableA("TEMP", temp.c_str());
  const std::string planted = gui::WindowsPath(E2E_PLANTED_DIR);
  for (const bool readOnly : {false, true}) {
    // The first run installs where a link to a file outside the folder was
    // planted at the pending name (by a fixture: Win32 makes no Unix link
    // under Wine); it is neither followed nor removed. A folder with a
    // trailing backslash gets a second one, which is fine.
    product = readOnly ? work + "\\product" : planted + "\\product";
    module = product + "\\p0046.dll";
    const std::string dir = readOnly ? product : product + "\\";
    SCOPED_TRACE(readOnly);
    ForgetProduct();
    RemoveTree(package);
    InstallProduct(dir);
    WriteWholeFile(package, packed);
    // A read-only package is only read: nothing appears, changes or goes
    // in the temp folder (the user's, who may plant links there) or beside it.
    if (readOnly) {
      ASSERT_TRUE(SetFileAttributesA(package.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    const Names tempBefore = FolderEntries(temp);

    ASSERT_NE(Start(), nullptr);
    ExpectSuccess();

    EXPECT_EQ(ReadBytes(module), ReadBytes(kSample + ".dll"));
    EXPECT_EQ(FolderEntries(product), (readOnly ? Names{"p0046.dll"} : Names{"p0046.dll", "p0046.dll.tmp"}));
    EXPECT_EQ(ReadWholeFile(planted + "\\victim"), "not yours");
    EXPECT_EQ(Written(), SampleWritten(dir));
    EXPECT_EQ(FolderEntries(temp), tempBefore);
    EXPECT_EQ(FolderEntries(start), Names{"p0046.ppk"});
    EXPECT_EQ(ReadBytes(package), packed);
    EXPECT_EQ((GetFileAttributesA(package.c_str()) & FILE_ATTRIBUTE_READONLY) != 0, readOnly);
  }
}

TEST_F(Installer, ProductNotInstalledShowsDialog205AndLeavesTheKeys) {
  WriteWholeFile(start + "\\p0046.ppk", ReadBytes(kSample + ".ppk"));
  // No "dir"; one of 300 characters (more than the 260 bytes read); an
  // empty and a relative one, which would put the module anywhere; one
  // whose folder is gone with the screensaver, which must not come back.
  const std::string overlong = product + "\\" + std::string(299 - product.size(), 'd');
  const std::string gone = work + "\\gone";
  for (const char* dir : {"<none>", overlong.c_str(), "", "Verdanelle", gone.c_str()}) {
    SCOPED_TRACE(dir);
    ForgetProduct();
    const bool none = std::string(dir) == "<none>";
    if (!none) InstallProduct(dir);
    ASSERT_NE(Start(), nullptr);
    HWND notInstalled = Wait(texts::kInfoCaption, texts::kNotInstalledTextStart);
    ASSERT_NE(notInstalled, nullptr);
    EXPECT_EQ(GetWindow(notInstalled, GW_OWNER), main);
    gui::PostCommand(notInstalled, IDOK);
    ExpectIdleAndClose();
    EXPECT_TRUE(regtest::KeyExists(HKEY_LOCAL_MACHINE, std::string(kProductKey) + "\\general", regtest::OwnView()));
    EXPECT_EQ(Written(), (none ? Values{} : Values{{"general\\dir", Sz(dir)}}));
    EXPECT_EQ(FolderEntries(work), (Names{"product", "start"}));
  }
}

// "dir" names a link to another folder (the product folder renamed and a
// link put in its place): nothing is written where it leads, nothing is
// registered, and the component is named with the reason.
TEST_F(Installer, ProductFolderThatIsALinkIsRefused) {
  const std::string planted = gui::WindowsPath(E2E_PLANTED_DIR);
  ForgetProduct();
  InstallProduct(planted + "\\linked");
  WriteWholeFile(start + "\\p0046.ppk", ReadBytes(kSample + ".ppk"));
  ASSERT_NE(Start(), nullptr);
  ExpectFailureMessage(std::string("p0046: ") + kRedirected);
  ExpectIdleAndClose();
  EXPECT_EQ(FolderEntries(planted + "\\elsewhere"), Names{});
  EXPECT_EQ(Written(), (Values{{"general\\dir", Sz(planted + "\\linked")}}));
}

// The package is read only when it is a file at its own name: not through
// a link planted there (which may lead to a file only administrators may
// read), and not from a pipe (which would never end).
TEST_F(Installer, PackageThatIsALinkOrAPipeIsNotRead) {
  const std::string planted = gui::WindowsPath(E2E_PLANTED_DIR);
  for (const char* where : {"linkstart", "pipestart"}) {
    SCOPED_TRACE(where);
    start = planted + "\\" + where;
    WriteWholeFile(module, "earlier");
    ASSERT_NE(Start(), nullptr);
    ExpectFailureMessage(std::string("p0046: ") + kUnreadable);
    ExpectIdleAndClose();
    EXPECT_EQ(ReadWholeFile(module), "earlier");
    EXPECT_EQ(FolderEntries(product), Names{"p0046.dll"});
    EXPECT_EQ(Written(), (Values{{"general\\dir", Sz(product)}}));
  }
}

TEST_F(Installer, ListIsWalkedInItsOrderAskingForMissingPackagesPastAFailureUntilCancelled) {
  // ", ;a1 b2,x9,nUl,com10 lPt9": leading separators are skipped (an empty
  // first name would look for ".ppk"); b2 is not in the current folder, so
  // the chooser asks for it after a1, and again as long as the folder picked
  // does not hold it. The folder that does (named "-x", not to be taken for
  // drive X:) then holds for x9 and com10. x9 decodes to what the build
  // made, but is of no kind the installer knows: its earlier module stays,
  // and com10 (no device name) still goes in. The device names fail without
  // a look at the folders. That folder lies in one whose name has no ANSI
  // form ("Lodz" with its Polish letters): the chooser enters it, shows "?"
  // for what has none, and hands it over.
  const Bytes earlier = {'x', '9'};
  WriteWholeFile(product + "\\x9.dll", earlier);
  std::filesystem::create_directory(work + "\\empty");
  const std::filesystem::path lodz = std::filesystem::path(work) / L"\u0141\u00f3d\u017a", packages = lodz / "-x";
  std::filesystem::create_directories(packages);
  WriteWholeFile(start + "\\a1.ppk", ReadBytes(kTestComponents + "a1.ppk"));
  for (const char* base : {"b2", "x9", "com10"})
    std::filesystem::copy_file(kTestComponents + base + ".ppk", packages / (std::string(base) + ".ppk"));
  ASSERT_NE(Start(E2E_LIST_SETUP_EXE), nullptr);

  HWND chooser = Wait(texts::kFolderCaption);
  ASSERT_NE(chooser, nullptr);
  EXPECT_FALSE(harness::IsCentred(chooser));
  EXPECT_EQ(GetWindow(chooser, GW_OWNER), main);
  EXPECT_EQ(gui::ControlText(chooser, IDC_FOLDER_PROMPT), texts::kChooserPrompt);
  EXPECT_STRCASEEQ(ChooserLine(chooser).c_str(), start.c_str());
  EXPECT_EQ(FolderEntries(product), (Names{"a1.dll", "x9.dll"}));
  ASSERT_TRUE(DoubleClickEntry(chooser, L"[..]"));
  EXPECT_STRCASEEQ(ChooserLine(chooser).c_str(), work.c_str());
  ASSERT_TRUE(DoubleClickEntry(chooser, L"[empty]"));
  gui::PressButton(chooser, IDC_FOLDER_OK);

  // Again, in the folder listed last.
  ASSERT_TRUE(gui::WaitUntil([&] { return !IsWindow(chooser); }, kWaitMs));
  chooser = Wait(texts::kFolderCaption);
  ASSERT_NE(chooser, nullptr);
  EXPECT_STRCASEEQ(ChooserLine(chooser).c_str(), (work + "\\empty").c_str());
  ASSERT_TRUE(DoubleClickEntry(chooser, L"[..]"));
  ASSERT_TRUE(DoubleClickEntry(chooser, L"[" + lodz.filename().wstring() + L"]"));
  ASSERT_TRUE(DoubleClickEntry(chooser, L"[-x]"));
  EXPECT_STRCASEEQ(ChooserLine(chooser).c_str(), (work + "\\?\xf3" "d?\\-x").c_str());
  gui::PressButton(chooser, IDC_FOLDER_OK);
  ExpectFailureMessage(std::string("x9: ") + kNotAModule + "\nnUl: " + kBadName + "\nlPt9: " + kBadName);
  EXPECT_EQ(Wait(texts::kFolderCaption, nullptr, 0), nullptr);
  // Twice more: a1 is not in the folder listed last, and the chooser is
  // cancelled by its button (after a drive entry led to that drive's root)
  // and by Esc or the close box (command 2); the walk ends at once.
  for (const int how : {IDC_FOLDER_CANCEL, IDCANCEL}) {
    ASSERT_TRUE(gui::WaitUntil([&] { return IsWindowEnabled(GetDlgItem(main, IDC_INSTALL)) != FALSE; }, kWaitMs));
    gui::PressButton(main, IDC_INSTALL);
    chooser = Wait(texts::kFolderCaption);
    ASSERT_NE(chooser, nullptr);
    if (how == IDC_FOLDER_CANCEL) {
      ASSERT_TRUE(DoubleClickEntry(chooser, L"[-c-]"));
      EXPECT_STRCASEEQ(ChooserLine(chooser).c_str(), "c:\\");
    }
    gui::PostCommand(chooser, how);
  }
  ExpectIdleAndClose();

  EXPECT_EQ(ReadBytes(product + "\\x9.dll"), earlier);
  for (const char* base : {"a1", "b2", "com10"})
    EXPECT_EQ(ReadBytes(product + "\\" + base + ".dll"), ReadBytes(kTestComponents + base + ".dll")) << base;
  EXPECT_EQ(Written(), (Values{{"general\\dir", Sz(product)},
                               {"plants\\a1", Sz("Seedless Fern")},
                               {"animations\\b2", Sz("Drifting Petals")},
                               {"aniint\\b2-0", regtest::Record(10, 0x01, 0x21)},
                               {"aniint\\b2-1", regtest::Record(20)},
                               {"sounds\\com10", Sz("Morning Chimes")},
                               {"soundint\\com10-0", regtest::Record(7, 0x31, 0x51)}}));
}

TEST_F(Installer, FailedComponentIsReportedAndTheInstalledVersionSurvivesWhole) {
  const Bytes sample = ReadBytes(kSample + ".dll");
  const Bytes packed = ReadBytes(kSample + ".ppk");
  Bytes otherBytes = sample;  // decodes cleanly, but not to the module the build made
  otherBytes[otherBytes.size() / 2] ^= 1;
  const Bytes earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
  struct Case {
    const char* what;
    std::string setup;
    Bytes package;
    const char* reason;
  };
  const Case cases[] = {
      // (Every other kind of damaged package: the decoder tests.)
      {"package cut in the middle", E2E_SETUP_EXE, Bytes(packed.begin(), packed.begin() + packed.size() / 2), kDamaged},
      {"package decoding to other bytes", E2E_SETUP_EXE, Deflate(otherBytes), kOtherBytes},
      // Packages made elsewhere decode soundly but are no usable module, or
      // decode to more than any module may be without a recorded size.
      {"no module at all", E2E_UNVERIFIED_SETUP_EXE, Deflate(Bytes(5000, 'x')), kNotAModule},
      {"beyond 256 MiB", E2E_UNVERIFIED_SETUP_EXE, Deflate(Bytes((256u << 20) + 1, 0), 1), kTooLarge},
      // The product holds its module open and lets nobody write or replace
      // it; the user gives up when asked.
      {"module in use", E2E_SETUP_EXE, packed, kInUse},
      // No retry can replace a folder: no question, the reason at once.
      {"folder at the module's name", E2E_SETUP_EXE, packed, kWriteFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const bool inUse = c.reason == kInUse;
    const bool folder = c.reason == kWriteFailed;
    if (folder) {
      RemoveTree(module);
      std::filesystem::create_directories(module + "\\inside");
    } else {
      WriteWholeFile(module, earlier);
    }
    WriteWholeFile(start + "\\p0046.ppk", c.package);
    std::unique_ptr<void, decltype(&CloseHandle)> held(nullptr, &CloseHandle);
    if (inUse) {
      held.reset(CreateFileA(module.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
    }
    ASSERT_NE(Start(c.setup), nullptr);
    if (inUse) AnswerInUseQuestion(IDCANCEL);
    ExpectFailureMessage(std::string("p0046: ") + c.reason);
    ExpectIdleAndClose();
    held.reset();
    if (folder) {
      EXPECT_EQ(FolderEntries(module), Names{"inside"});
    } else {
      EXPECT_EQ(ReadBytes(module), earlier);
    }
    EXPECT_EQ(FolderEntries(product), Names{"p0046.dll"});
    EXPECT_EQ(Written(), (Values{{"general\\dir", Sz(product)}}));
    RemoveTree(module);
  }
}

// Fourteen failed components: the message lists twelve and counts the rest.
TEST_F(Installer, LongFailureListIsCutAfterTwelveLinesAndCountsTheRest) {
  std::string lines;
  for (int i = 1; i <= 14; ++i) {
    const std::string base = "m" + std::to_string(i);
    WriteWholeFile(start + "\\" + base + ".ppk", Deflate(Bytes(100, 'x')));
    if (i <= 12) lines += (i > 1 ? "\n" : "") + base + ": " + kNotAModule;
  }
  ASSERT_NE(Start(E2E_MANY_SETUP_EXE), nullptr);
  ExpectFailureMessage(lines + "\n... und 2 weitere.");
  ExpectIdleAndClose();
}

// The screensaver's settings hold the installed module loaded (and it is
// read-only, as files copied from a CD are): it is moved aside and the new
// one goes in without a question; the next start, once it has been let go,
// removes the old one. The product folder is named by "dir" in its short
// 8.3 form, and killed runs left plain files at every pending name: all of
// them go.
TEST_F(Installer, LoadedModuleIsReplacedWithoutAQuestionAndTheOldOneGoesAtTheNextStart) {
  const std::string longNamed = work + "\\Verdanelle Produkt";
  std::filesystem::create_directory(longNamed);
  char shortNamed[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameA(longNamed.c_str(), shortNamed, MAX_PATH), 0u);
  ASSERT_STRNE(shortNamed, longNamed.c_str());
  product = longNamed;
  module = product + "\\p0046.dll";
  ForgetProduct();
  InstallProduct(shortNamed);
  WriteWholeFile(module, ReadBytes(kTestComponents + "a1.dll"));  // a module without code
  ASSERT_TRUE(SetFileAttributesA(module.c_str(), FILE_ATTRIBUTE_READONLY));
  for (const char* leftover : {".tmp", ".1.tmp", ".2.tmp", ".3.tmp", ".4.tmp", ".5.tmp", ".6.tmp", ".7.tmp", ".8.tmp", ".9.tmp"})
    WriteWholeFile(module + leftover, "left by a killed run");
  WriteWholeFile(start + "\\p0046.ppk", ReadBytes(kSample + ".ppk"));
  HMODULE held = LoadLibraryA(module.c_str());
  ASSERT_NE(held, nullptr);
  ASSERT_NE(Start(), nullptr);
  ExpectSuccess();
  EXPECT_EQ(ReadBytes(module), ReadBytes(kSample + ".dll"));
  EXPECT_EQ(FolderEntries(product), (Names{"p0046.dll", "p0046.dll.old"}));
  EXPECT_EQ(Written(), SampleWritten(shortNamed));

  FreeLibrary(held);
  process = std::make_unique<gui::Process>();
  main = harness::StartMainDialog(*process, E2E_SETUP_EXE, start);
  ASSERT_NE(main, nullptr);
  gui::PressButton(main, IDC_CLOSE);
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(FolderEntries(product), Names{"p0046.dll"});
}

// A virus scanner looks at the installed module for a moment (a handle that
// shares reading only): the move is tried again meanwhile, and nobody is
// asked.
TEST_F(Installer, ModuleHeldForAMomentIsReplacedWithoutAQuestion) {
  WriteWholeFile(module, "earlier");
  WriteWholeFile(start + "\\p0046.ppk", ReadBytes(kSample + ".ppk"));
  HANDLE held = CreateFileA(module.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_NE(Start(), nullptr);
  // Registered: the first move has been tried.
  EXPECT_TRUE(gui::WaitUntil([&] { return gui::ControlText(main, IDC_STATUS) == texts::kRegisteringText; }, kWaitMs));
  Sleep(800);
  CloseHandle(held);
  ExpectSuccess();
  EXPECT_EQ(ReadBytes(module), ReadBytes(kSample + ".dll"));
}

// A handle that does not let the installed module be renamed: the user is
// asked, and "Wiederholen" moves the module already decoded and registered
// once it has been let go (while it is still held, the question comes back).
// A run ended while it asks (the machine restarted to free the module)
// leaves the new values beside the old module; the next start, closed at
// once, puts the old values back and removes what the run left.
TEST_F(Installer, HeldModuleIsAskedAboutAndARunEndedMeanwhileIsSetRightAtTheNextStart) {
  const Bytes earlier = ReadBytes(kTestComponents + "a1.dll");
  WriteWholeFile(module, earlier);
  const std::string plants = std::string(kProductKey) + "\\plants";
  regtest::StoreRaw(HKEY_LOCAL_MACHINE, plants, "p0046", REG_SZ, "Seedless Fern", 14);
  const Values earlierValues = Written();
  WriteWholeFile(start + "\\p0046.ppk", ReadBytes(kSample + ".ppk"));
  HANDLE held = CreateFileA(module.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_NE(Start(), nullptr);
  AnswerInUseQuestion(IDRETRY);
  ASSERT_NE(Wait(texts::kInfoCaption, texts::kInUseQuestionStart), nullptr) << "asked once only";
  EXPECT_EQ(Written(), SampleWritten(product)) << "the values are written once, before the first move";
  // A second installer gives way to this one and touches nothing of its run.
  gui::Process second;
  ASSERT_TRUE(second.Start(E2E_SETUP_EXE, start));
  EXPECT_TRUE(harness::EndsShowingNothing(second));
  EXPECT_EQ(Written(), SampleWritten(product));
  process.reset();  // ended while it asks
  EXPECT_EQ(FolderEntries(product), (Names{"p0046.dll", "p0046.dll.rec", "p0046.dll.tmp"}));

  const auto startAndClose = [&] {
    const DWORD begin = GetTickCount();
    process = std::make_unique<gui::Process>();
    main = harness::StartMainDialog(*process, E2E_SETUP_EXE, start);
    const DWORD shown = GetTickCount() - begin;
    gui::PressButton(main, IDC_CLOSE);
    EXPECT_EQ(Exit(), 0);
    return shown;
  };
  const DWORD healing = startAndClose();
  EXPECT_EQ(Written(), earlierValues);
  EXPECT_EQ(ReadBytes(module), earlier);
  EXPECT_EQ(FolderEntries(product), Names{"p0046.dll"});
  std::printf("start to main dialog: %lu ms with a record to heal, %lu ms without\n",
              static_cast<unsigned long>(healing), static_cast<unsigned long>(startAndClose()));

  ASSERT_NE(Start(), nullptr);
  AnswerInUseQuestion(IDRETRY);
  ASSERT_NE(Wait(texts::kInfoCaption, texts::kInUseQuestionStart), nullptr);
  // Another process rewrites the module that waits, checked, while the user
  // is asked: what goes in is the checked module or nothing.
  HANDLE rewrite = CreateFileA((module + ".tmp").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD written = 0;
  if (rewrite != INVALID_HANDLE_VALUE) {
    WriteFile(rewrite, "rewritten", 9, &written, nullptr);
    CloseHandle(rewrite);
  }
  CloseHandle(held);
  AnswerInUseQuestion(IDRETRY);
  ExpectSuccess();
  EXPECT_EQ(ReadBytes(module), ReadBytes(kSample + ".dll"));
  EXPECT_EQ(FolderEntries(product), Names{"p0046.dll"});
  EXPECT_EQ(Written(), SampleWritten(product));
}

// A product folder on a volume with no room left, and one with room for a
// quarter of the module: the module cannot be decoded, and the user is told
// why.
TEST_F(Installer, FullDiskIsReportedAndTheInstalledModuleKept) {
  const std::string drive = gui::WindowsPath(E2E_SMALL_DRIVE);
  ULARGE_INTEGER total = {};
  if (!GetDiskFreeSpaceExA(drive.c_str(), nullptr, &total, nullptr) || total.QuadPart > (1u << 20)) {
    GTEST_SKIP() << "no small volume at " << drive << " (mounting one needs root)";
  }
  product = drive + "\\product";
  module = product + "\\p0046.dll";
  InstallProduct(product);
  // The sample with 1 MiB behind it (never mapped, so still a sound module),
  // hardly compressible, so that the writes do not all end at a page of the
  // volume and the last one is cut short.
  Bytes large = ReadBytes(kSample + ".dll");
  for (size_t i = 0; i < (1u << 20); ++i) large.push_back(static_cast<unsigned char>((i * 7) ^ (i >> 12)));
  const Bytes earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
  for (const bool filled : {true, false}) {
    SCOPED_TRACE(filled);
    RemoveTree(product);
    std::filesystem::create_directory(product);
    WriteWholeFile(module, earlier);
    WriteWholeFile(start + "\\p0046.ppk", filled ? ReadBytes(kSample + ".ppk") : Deflate(large));
    // Fill the volume to its last byte.
    std::ofstream filler(product + "\\filler", std::ios::binary);
    const std::string block(512, 'f');
    while (filled && filler.write(block.data(), block.size()) && filler.flush()) {
    }
    filler.close();
    ASSERT_NE(Start(filled ? E2E_SETUP_EXE : E2E_UNVERIFIED_SETUP_EXE), nullptr);
    ExpectFailureMessage(std::string("p0046: ") + kDiskFull);
    ExpectIdleAndClose();
    EXPECT_EQ(ReadBytes(module), earlier);
    EXPECT_EQ(FolderEntries(product), (Names{"filler", "p0046.dll"}));
    EXPECT_EQ(Written(), (Values{{"general\\dir", Sz(product)}}));
  }
  RemoveTree(product);
}

// The installer killed at moments from its first byte written to after the
// move into place, while an update turns a plant into an animation: what is
// left is the old module or the new one, whole, and one more start (closed
// at once) brings the registry to the same version and leaves nothing but
// the module beside it.
TEST_F(Installer, KilledRunsAreSetRightToOneVersionAtTheNextStart) {
  const Bytes old = ReadBytes(kSample + ".dll");
  // The new version: an animation with 16 MiB behind it (bytes after the
  // last section are never mapped, so it is still a sound module).
  Bytes fresh = ReadBytes(kTestComponents + "b2.dll");
  const size_t moduleSize = fresh.size();
  fresh.resize(moduleSize + (16u << 20));
  for (size_t i = moduleSize; i < fresh.size(); ++i) fresh[i] = static_cast<unsigned char>((i * 7) ^ (i >> 12));
  WriteWholeFile(start + "\\p0046.ppk", Deflate(fresh, 1));
  const Values oldValues = SampleWritten(product);
  const Values newValues = {{"general\\dir", Sz(product)},
                            {"animations\\p0046", Sz("Drifting Petals")},
                            {"aniint\\p0046-0", regtest::Record(10, 0x01, 0x21)},
                            {"aniint\\p0046-1", regtest::Record(20)}};
  const auto installOld = [&] {
    WriteWholeFile(module, old);
    ForgetProduct();
    for (const auto& [name, value] : oldValues) {
      const size_t slash = name.find('\\');
      regtest::StoreRaw(HKEY_LOCAL_MACHINE, std::string(kProductKey) + "\\" + name.substr(0, slash),
                        name.substr(slash + 1).c_str(), value.first, value.second.data(),
                        static_cast<DWORD>(value.second.size()));
    }
  };
  // What the product folder holds, read from the directory alone: an open
  // handle would stand in the way of the move.
  const auto folder = [&] {
    std::string state;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(product, ignored)) {
      state += entry.path().filename().string() + ":" + std::to_string(entry.file_size(ignored)) + ";";
    }
    return state;
  };
  const std::string before = "p0046.dll:" + std::to_string(old.size()) + ";";
  const std::string moved = "p0046.dll:" + std::to_string(fresh.size()) + ";";
  const auto waitFor = [&](const std::function<bool()>& condition) {
    while (!condition() && process->Running()) {
    }
    return GetTickCount();
  };
  // One run as it goes, timed from its first byte written: the module in
  // place, the success dialog. Meanwhile the dialog says what it does and
  // takes no second click or close request.
  installOld();
  ASSERT_NE(Start(E2E_UNVERIFIED_SETUP_EXE), nullptr);
  const DWORD written = waitFor([&] { return folder() != before; });
  EXPECT_EQ(gui::ControlText(main, IDC_STATUS), texts::kExtractingText);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_INSTALL)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_CLOSE)));
  const DWORD inPlace = waitFor([&] { return folder() == moved; }) - written;
  ExpectSuccess(60000);
  const DWORD done = GetTickCount() - written;
  EXPECT_EQ(Written(), newValues);
  // Spread over the decoding, and closer together where it ends and the
  // registry and the move follow.
  std::vector<DWORD> moments;
  for (DWORD i = 0; i < 15; ++i) moments.push_back(inPlace * i / 15);
  for (DWORD i = 1; i <= 6; ++i) moments.push_back(inPlace - std::min<DWORD>(inPlace, 8 * i));
  for (DWORD i = 0; i < 3; ++i) moments.push_back(inPlace + (done - inPlace) * i / 3);
  std::printf("first byte to module in place %lu ms, to success dialog %lu ms\n",
              static_cast<unsigned long>(inPlace), static_cast<unsigned long>(done));

  int oldLeft = 0;
  for (const DWORD moment : moments) {
    SCOPED_TRACE(moment);
    installOld();
    ASSERT_NE(Start(E2E_UNVERIFIED_SETUP_EXE), nullptr);
    const DWORD from = waitFor([&] { return folder() != before; });
    waitFor([&] { return GetTickCount() - from >= moment; });
    process.reset();  // terminates it at once
    const Bytes left = ReadBytes(module);
    EXPECT_TRUE(left == old || left == fresh) << "a module of " << left.size() << " bytes";

    process = std::make_unique<gui::Process>();
    main = harness::StartMainDialog(*process, E2E_UNVERIFIED_SETUP_EXE, start);
    ASSERT_NE(main, nullptr);
    gui::PressButton(main, IDC_CLOSE);
    EXPECT_EQ(Exit(), 0);
    const bool isOld = ReadBytes(module) == old;
    oldLeft += isOld ? 1 : 0;
    EXPECT_TRUE(isOld || ReadBytes(module) == fresh) << "neither module";
    EXPECT_EQ(Written(), isOld ? oldValues : newValues);
    EXPECT_EQ(FolderEntries(product), Names{"p0046.dll"});
  }
  std::printf("%d of %zu killed runs left the old version\n", oldLeft, moments.size());
}

}  // namespace
