// The real addon-setup.exe, run as its own process under Wine and driven
// through its windows. Every test starts from nothing: a working folder of
// its own and no product key in the registry.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tools/demo/installer_texts.h"
#include "tests/gui/expected_texts.h"
#include "tools/demo/gui_driver.h"
#include "tests/support/registry_test_support.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Names = std::vector<std::string>;

// Files and folders (Windows paths). Reading or writing throws on failure.
Bytes ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path);
}

// Names of the entries of `folder`, without "." and "..", sorted.
Names FolderEntries(const std::string& folder) {
  Names names;
  std::error_code ignored;  // a missing folder has no entries
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Removes `path` with everything below it, read-only files included.
void RemoveTree(const std::string& path) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path, ignored)) {
    SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  std::filesystem::remove_all(path, ignored);
}

// Names in the temp folder that start with "xzx", the installer's copies.
Names TempCopies() {
  char folder[MAX_PATH + 1] = {};
  GetTempPathA(sizeof folder, folder);
  Names copies;
  for (const std::string& name : FolderEntries(folder)) {
    if (_strnicmp(name.c_str(), "xzx", 3) == 0) copies.push_back(name);
  }
  return copies;
}

// A zlib stream is raw deflate behind a 2-byte header, with a 4-byte trailer.
Bytes Deflate(const Bytes& data, int level) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes packed(size);
  if (compress2(packed.data(), &size, data.data(), static_cast<uLong>(data.size()), level) !=
      Z_OK) {
    throw std::runtime_error("compress2");
  }
  return Bytes(packed.begin() + 2, packed.begin() + (size - 4));
}

// Whether `window` sits where the installer centres its dialogs: left
// W/2 - w/2, top H/2 - h/2 of the screen.
bool IsCentred(HWND window) {
  RECT r;
  return GetWindowRect(window, &r) &&
         r.left == GetSystemMetrics(SM_CXSCREEN) / 2 - (r.right - r.left) / 2 &&
         r.top == GetSystemMetrics(SM_CYSCREEN) / 2 - (r.bottom - r.top) / 2;
}

// The window with the keyboard focus in the thread that owns `window`.
HWND FocusOfThread(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

// The entries of a list box of another process.
Names ListEntries(HWND list) {
  // Asked in UTF-16: Wine hands the ANSI form of LB_GETTEXT to another
  // process unconverted.
  Names entries;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
    if (length < 0 || length > 1024) continue;
    std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&wide[0]));
    char text[4 * 1024 + 8] = {};
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text, sizeof text - 1, nullptr, nullptr);
    entries.push_back(text);
  }
  return entries;
}

// Selects `entry` (compared without case) of list `listId` and sends the
// dialog the notification of a double click; false without such an entry.
bool DoubleClickEntry(HWND dialog, int listId, const std::string& entry) {
  HWND list = GetDlgItem(dialog, listId);
  const Names entries = ListEntries(list);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (_stricmp(entries[i].c_str(), entry.c_str()) != 0) continue;
    SendMessageA(list, LB_SETCURSEL, i, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(listId, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list));
    return true;
  }
  return false;
}

using regtest::Sz;

const char kProductKey[] = "SOFTWARE\\Lumora\\Verdanelle";
const std::string kGeneralKey = std::string(kProductKey) + "\\general";
constexpr DWORD kWaitMs = 20000;

std::string SetupProgram() { return gui::WindowsPath(E2E_SETUP_EXE); }
// The sample component (add ".dll" or ".ppk"), and the folder of the test components.
const std::string kSample = gui::WindowsPath(E2E_SAMPLE_DIR "/p0046");
const std::string kTestComponents = gui::WindowsPath(E2E_MODULE_DIR) + "\\";

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
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

class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    work = gui::WindowsPath(E2E_WORK_ROOT) + "\\" + info->name();
    start = work + "\\start";
    product = work + "\\product";
    RemoveTree(work);
    std::filesystem::create_directories(start);
    std::filesystem::create_directories(product);
    ForgetProduct();
  }

  void TearDown() override {
    ForgetProduct();
    if (!HasFailure()) RemoveTree(work);
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

  // Starts `program` in the start folder: its main dialog, or null.
  HWND Start(const std::string& program = SetupProgram()) {
    process = std::make_unique<gui::Process>();
    const bool started = process->Start(program, start);
    main = started ? gui::WaitForWindow(texts::kMainCaption, process->Id(), kWaitMs) : nullptr;
    return main;
  }
  // The same, with "&Installieren" clicked.
  HWND StartInstall(const std::string& program = SetupProgram()) {
    if (Start(program) != nullptr) gui::PressButton(main, IDC_INSTALL);
    return main;
  }
  // A top-level window of the installer with `caption` and, if given, a
  // child text that starts with `text`: now, or waiting up to `ms`.
  HWND Find(const std::string& caption, const char* text = nullptr) const {
    HWND found = gui::FindTopLevelWindow(caption, process->Id());
    return found == nullptr || text == nullptr || texts::ContainsText(found, text) ? found : nullptr;
  }
  HWND Wait(const std::string& caption, const char* text = nullptr, DWORD ms = kWaitMs) const {
    HWND found = nullptr;
    gui::WaitUntil([&] { return (found = Find(caption, text)) != nullptr; }, ms);
    return found;
  }
  long Exit() {
    DWORD code = 0;
    return process->WaitForExit(kWaitMs, &code) ? static_cast<long>(code) : -1;
  }

  // The main dialog after a run that gave 0: open, idle, buttons usable,
  // status line empty, focus on "&Installieren".
  void ExpectIdle() {
    HWND install = GetDlgItem(main, IDC_INSTALL);
    // The dialog finishes its install sequence after the driver returns.
    EXPECT_TRUE(gui::WaitUntil([&] {
      return IsWindowEnabled(install) && IsWindowEnabled(GetDlgItem(main, IDC_CLOSE)) &&
             FocusOfThread(main) == install;
    }, kWaitMs)) << "buttons disabled or focus not on \"&Installieren\"";
    EXPECT_EQ(gui::ControlText(main, IDC_STATUS), "");
  }

  // Closes an idle main dialog: the program ends with 0.
  void CloseIdle() {
    gui::PressButton(main, IDC_CLOSE);
    EXPECT_EQ(Exit(), 0);
  }

  // Expects the error message naming exactly `names`, owned by the main
  // dialog and without dialog 206 beside it, and dismisses it.
  void ExpectFailureMessage(const std::string& names) {
    HWND message = Wait(texts::kInfoCaption, texts::kFailureTextStart);
    ASSERT_NE(message, nullptr) << "no error message";
    EXPECT_EQ(GetWindow(message, GW_OWNER), main);
    EXPECT_EQ(texts::TextStartingWith(message, texts::kFailureTextStart),
              std::string(texts::kFailureTextStart) + "\n" + names);
    EXPECT_EQ(Find(texts::kInfoCaption, texts::kSuccessTextStart), nullptr);
    gui::PostCommand(message, IDOK);
    ASSERT_TRUE(gui::WaitUntil([&] { return !IsWindow(message); }, kWaitMs));
  }

  // Expects dialog 206, centred and unowned, in place of the main dialog;
  // OK ends the program with 0.
  void ExpectSuccess(DWORD ms = kWaitMs) {
    HWND success = Wait(texts::kInfoCaption, texts::kSuccessTextStart, ms);
    ASSERT_NE(success, nullptr) << "no success dialog";
    EXPECT_FALSE(IsWindow(main));
    EXPECT_TRUE(IsCentred(success));
    EXPECT_EQ(GetWindow(success, GW_OWNER), nullptr);
    gui::PostCommand(success, IDOK);
    EXPECT_EQ(Exit(), 0);
  }

  std::unique_ptr<gui::Process> process;
  HWND main = nullptr;
  std::string work;
  std::string start;
  std::string product;
};

TEST_F(Installer, PackageInCurrentFolderInstallsExactModuleAndRegistersIt) {
  const Bytes packed = ReadBytes(kSample + ".ppk");
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
    RemoveTree(product);
    std::filesystem::create_directory(product);
    RemoveTree(package);
    InstallProduct(c.dir);
    WriteBytes(package, packed);
    if (c.readOnly) {
      ASSERT_TRUE(SetFileAttributesA(package.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    const Names copiesBefore = TempCopies();

    ASSERT_NE(Start(), nullptr);
    EXPECT_EQ(gui::ControlText(main, IDC_STATUS), "");
    gui::PressButton(main, IDC_INSTALL);
    // Whatever the status line shows on the way is one of the two texts.
    Names shown;
    ASSERT_TRUE(gui::WaitUntil([&] {
      const std::string text = gui::ControlText(main, IDC_STATUS);
      if (IsWindow(main) && (shown.empty() || shown.back() != text)) shown.push_back(text);
      return Find(texts::kInfoCaption, texts::kSuccessTextStart) != nullptr;
    }, kWaitMs));
    for (const std::string& text : shown) {
      EXPECT_TRUE(text.empty() || text == texts::kExtractingText || text == texts::kRegisteringText)
          << "status line showed: " << text;
    }
    ExpectSuccess();

    EXPECT_EQ(ReadBytes(product + "\\p0046.dll"), ReadBytes(kSample + ".dll"));
    EXPECT_EQ(FolderEntries(product), Names{"p0046.dll"});
    EXPECT_EQ(Written(), SampleWritten(c.dir));
    // A win32 build sees a second view only under WoW64.
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (sizeof(void*) == 8 || wow64) {
      EXPECT_EQ(Written(regtest::OtherView()), regtest::Values{}) << "the other view got some";
    }
    EXPECT_EQ(TempCopies(), copiesBefore);
    EXPECT_EQ(ReadBytes(package), packed);
    EXPECT_EQ((GetFileAttributesA(package.c_str()) & FILE_ATTRIBUTE_READONLY) != 0, c.readOnly);
  }
}

TEST_F(Installer, ProductNotInstalledShowsDialog205AndLeavesTheKeys) {
  WriteBytes(start + "\\p0046.ppk", ReadBytes(kSample + ".ppk"));
  // No "dir" at all, and one of 300 characters: a possible folder name, but
  // more than the 260 bytes read.
  const std::string overlong = product + "\\" + std::string(299 - product.size(), 'd');
  for (const std::string& dir : {std::string(), overlong}) {
    SCOPED_TRACE(dir.size());
    ForgetProduct();
    if (!dir.empty()) InstallProduct(dir);
    ASSERT_NE(StartInstall(), nullptr);
    HWND notInstalled = Wait(texts::kInfoCaption, texts::kNotInstalledTextStart);
    ASSERT_NE(notInstalled, nullptr);
    EXPECT_EQ(GetWindow(notInstalled, GW_OWNER), main);
    EXPECT_TRUE(IsCentred(notInstalled));
    gui::PostCommand(notInstalled, IDOK);

    ExpectIdle();
    EXPECT_TRUE(regtest::KeyExists(HKEY_LOCAL_MACHINE, kGeneralKey, regtest::OwnView()));
    const regtest::Values expected =
        dir.empty() ? regtest::Values{} : regtest::Values{{"general\\dir", Sz(dir)}};
    EXPECT_EQ(Written(), expected);
    EXPECT_TRUE(FolderEntries(product).empty());
    CloseIdle();
  }
}

TEST_F(Installer, ListIsInstalledInItsOrderWithTheChooserAskingForMissingPackages) {
  // "a1 b2,c3": b2 is not in the current folder, so the chooser asks for it
  // after a1 and before c3, and again as long as the folder picked does not
  // hold it. The folder that does then holds for c3 as well.
  InstallProduct(product);
  std::filesystem::create_directory(work + "\\empty");
  std::filesystem::create_directory(work + "\\packages");
  WriteBytes(start + "\\a1.ppk", ReadBytes(kTestComponents + "a1.ppk"));
  WriteBytes(work + "\\packages\\b2.ppk", ReadBytes(kTestComponents + "b2.ppk"));
  WriteBytes(work + "\\packages\\c3.ppk", ReadBytes(kTestComponents + "c3.ppk"));
  ASSERT_NE(StartInstall(gui::WindowsPath(E2E_LIST_SETUP_EXE)), nullptr);

  // First round: starts in the current folder; [..] goes up one level; the
  // folder picked holds no package.
  HWND chooser = Wait(texts::kFolderCaption);
  ASSERT_NE(chooser, nullptr);
  EXPECT_FALSE(IsCentred(chooser));
  EXPECT_EQ(GetWindow(chooser, GW_OWNER), main);
  EXPECT_EQ(gui::ControlText(chooser, IDC_FOLDER_PROMPT), texts::kChooserPrompt);
  EXPECT_EQ(ChooserLine(chooser), Lower(start));
  EXPECT_EQ(FolderEntries(product), Names{"a1.dll"});
  ASSERT_TRUE(DoubleClickEntry(chooser, IDC_FOLDER_LIST, "[..]"));
  EXPECT_EQ(ChooserLine(chooser), Lower(work));
  const Names entries = ListEntries(GetDlgItem(chooser, IDC_FOLDER_LIST));
  EXPECT_NE(std::find(entries.begin(), entries.end(), "[-z-]"), entries.end());
  ASSERT_TRUE(DoubleClickEntry(chooser, IDC_FOLDER_LIST, "[empty]"));
  EXPECT_EQ(ChooserLine(chooser), Lower(work + "\\empty"));
  gui::PressButton(chooser, IDC_FOLDER_OK);

  // Second round: the chooser opens again, in the folder listed last.
  ASSERT_TRUE(gui::WaitUntil([&] { return !IsWindow(chooser); }, kWaitMs));
  chooser = Wait(texts::kFolderCaption);
  ASSERT_NE(chooser, nullptr);
  EXPECT_EQ(ChooserLine(chooser), Lower(work + "\\empty"));
  ASSERT_TRUE(DoubleClickEntry(chooser, IDC_FOLDER_LIST, "[..]"));
  ASSERT_TRUE(DoubleClickEntry(chooser, IDC_FOLDER_LIST, "[packages]"));
  gui::PressButton(chooser, IDC_FOLDER_OK);
  ExpectSuccess();

  EXPECT_EQ(FolderEntries(product), (Names{"a1.dll", "b2.dll", "c3.dll"}));
  for (const char* base : {"a1", "b2", "c3"}) {
    EXPECT_EQ(ReadBytes(product + "\\" + base + ".dll"),
              ReadBytes(kTestComponents + base + ".dll"))
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
  ASSERT_NE(Start(), nullptr);
  // Cancelled by its button, by Esc (command 2) and by the close box.
  for (const int how : {IDC_FOLDER_CANCEL, IDCANCEL, -1}) {
    SCOPED_TRACE(how);
    gui::PressButton(main, IDC_INSTALL);
    HWND chooser = Wait(texts::kFolderCaption);
    ASSERT_NE(chooser, nullptr);
    if (how == IDC_FOLDER_CANCEL) {
      // A drive entry leads to that drive's root; cancelling still gives 0.
      ASSERT_TRUE(DoubleClickEntry(chooser, IDC_FOLDER_LIST, "[-c-]"));
      EXPECT_EQ(ChooserLine(chooser), "c:\\");
      gui::PressButton(chooser, IDC_FOLDER_CANCEL);
    } else if (how == IDCANCEL) {
      gui::PostCommand(chooser, IDCANCEL);
    } else {
      PostMessageA(chooser, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    ASSERT_TRUE(gui::WaitUntil([&] { return !IsWindow(chooser); }, kWaitMs));
    ExpectIdle();
  }
  EXPECT_TRUE(FolderEntries(product).empty());
  EXPECT_EQ(Written(), (regtest::Values{{"general\\dir", Sz(product)}}));
  CloseIdle();
}

TEST_F(Installer, FailedComponentIsReportedAndTheInstalledModuleSurvives) {
  InstallProduct(product);
  const std::string module = product + "\\p0046.dll";
  const Bytes packed = ReadBytes(kSample + ".ppk");
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
      // Decodes soundly but is no module: the earlier one stays.
      {"module that cannot be loaded", Deflate(junk, 9), false, earlier},
      // The product holds its module open and lets nobody write or replace it.
      {"module in use", packed, true, earlier},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(module, earlier);
    WriteBytes(start + "\\p0046.ppk", c.package);
    std::unique_ptr<void, decltype(&CloseHandle)> held(nullptr, &CloseHandle);
    if (c.inUse) {
      held.reset(CreateFileA(module.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr));
      ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
    }
    ASSERT_NE(StartInstall(), nullptr);
    ExpectFailureMessage("p0046");
    ExpectIdle();
    held.reset();
    EXPECT_EQ(ReadBytes(module), c.moduleAfter);
    EXPECT_EQ(FolderEntries(product), Names{"p0046.dll"});
    EXPECT_EQ(Written(), (regtest::Values{{"general\\dir", Sz(product)}}));
    CloseIdle();
  }
}

TEST_F(Installer, CloseRequestsDuringDecompressionAreSwallowedAndHelpOpens) {
  InstallProduct(product);
  // A module that takes a while to write: the sample with 48 MiB behind it
  // (bytes after the last section are never mapped, so it still loads).
  Bytes large = ReadBytes(kSample + ".dll");
  const size_t moduleSize = large.size();
  large.resize(moduleSize + (48u << 20));
  for (size_t i = moduleSize; i < large.size(); ++i) {
    large[i] = static_cast<unsigned char>((i * 7) ^ (i >> 12));
  }
  WriteBytes(start + "\\p0046.ppk", Deflate(large, 1));

  // A package made elsewhere: an installer without the payload table.
  // Queued behind the click, so that the installer takes them from inside
  // the decompression: the Esc key and its command, the close box,
  // WM_CLOSE, the close button (211), "&Hilfe".
  ASSERT_NE(StartInstall(gui::WindowsPath(E2E_UNVERIFIED_SETUP_EXE)), nullptr);
  gui::PostKey(GetDlgItem(main, IDC_INSTALL), VK_ESCAPE);
  gui::PostCommand(main, IDCANCEL);
  PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  PostMessageA(main, WM_CLOSE, 0, 0);
  gui::PostCommand(main, IDC_CLOSE);
  gui::PressButton(main, IDC_HELP_BUTTON);

  HWND help = Wait(texts::kHelpCaption);
  ASSERT_NE(help, nullptr);
  // The help dialog runs inside the decompression, which waits for it.
  EXPECT_TRUE(IsWindow(main));
  EXPECT_EQ(gui::ControlText(main, IDC_STATUS), texts::kExtractingText);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_INSTALL)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_CLOSE)));
  EXPECT_EQ(Find(texts::kInfoCaption), nullptr);
  gui::PostCommand(help, IDOK);

  ExpectSuccess(120000);
  EXPECT_EQ(ReadBytes(product + "\\p0046.dll"), large);
  EXPECT_EQ(Written(), SampleWritten(product));
}

TEST_F(Installer, LeadingSeparatorsAreSkippedAndAnUnregistrableModuleIsReported) {
  // ", ;x9,a1": an empty first name would look for ".ppk" and open the
  // chooser. x9 decodes and loads but is of no kind the installer knows.
  InstallProduct(product);
  WriteBytes(start + "\\x9.ppk", ReadBytes(kTestComponents + "x9.ppk"));
  WriteBytes(start + "\\a1.ppk", ReadBytes(kTestComponents + "a1.ppk"));
  ASSERT_NE(StartInstall(gui::WindowsPath(E2E_SEPARATORS_SETUP_EXE)), nullptr);
  ExpectFailureMessage("x9");
  EXPECT_EQ(Find(texts::kFolderCaption), nullptr);
  ExpectIdle();
  // The walk went on after the failure.
  EXPECT_EQ(ReadBytes(product + "\\a1.dll"), ReadBytes(kTestComponents + "a1.dll"));
  EXPECT_EQ(Written(), (regtest::Values{{"general\\dir", Sz(product)},
                                        {"plants\\a1", Sz("Seedless Fern")}}));
  CloseIdle();
}

}  // namespace
