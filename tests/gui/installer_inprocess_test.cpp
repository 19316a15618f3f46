// The installer's dialog procedures and resources inside this test program,
// which carries the very resources of addon-setup.exe: every dialog, even
// those the GUI and end-to-end tests cannot easily bring up, read through
// the ANSI calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/dialogs/folder_chooser.h"
#include "app/dialogs/help_dialog.h"
#include "app/dialogs/info_dialog.h"
#include "app/dialogs/main_dialog.h"
#include "app/install/resource_view.h"
#include "app/picture/panel_palette.h"
#include "resources/resource.h"
#include "tests/gui/expected_texts.h"
#include "tests/support/gui_harness.h"
#include "tools/demo/installer_texts.h"

namespace {

using Texts = std::vector<std::string>;

// This program carries the installer's resources.
const HINSTANCE self = GetModuleHandleA(nullptr);

// The caption and every control's text, in template order.
Texts TextsOf(HWND dialog) {
  Texts shown = {gui::WindowText(dialog)};
  for (HWND child : gui::Children(dialog)) shown.push_back(gui::WindowText(child));
  return shown;
}

// What a timer saw of the dialog a runner showed, before it pressed Esc.
struct Seen {
  std::string caption;  // of the dialog to look for
  Texts texts;
  bool centred = false, focused = false, keptByOtherCommand = false;
} seen;
void CALLBACK InspectAndEscape(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = gui::FindTopLevelWindow(seen.caption, GetCurrentProcessId());
  if (dialog == nullptr) return;
  KillTimer(nullptr, timer);
  seen.texts = TextsOf(dialog);
  seen.centred = harness::IsCentred(dialog);
  seen.focused = GetFocus() == GetNextDlgTabItem(dialog, nullptr, FALSE);
  SendMessageA(dialog, WM_COMMAND, 999, 0);
  seen.keptByOtherCommand = IsWindow(dialog) && IsWindowVisible(dialog);
  SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

bool NeverInstalls(HINSTANCE, HWND) { return false; }
INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST(Installer, EveryDialogShowsItsExactTextsCentredFocusedAndEndsOnEscOnly) {
  // The expected texts are Windows-1252 bytes.
  ASSERT_EQ(GetACP(), 1252u);
  const PanelPalette palette(self, IDB_BANNER, RGB(0, 0, 0));
  const struct {
    std::function<void()> run;
    Texts texts;  // the caption, then every control in template order
  } dialogs[] = {
      {[&] { EXPECT_FALSE(RunMainDialog(self, palette, NeverInstalls)); },
       {texts::kMainCaption, "&Installieren", "&Schlie\xdf" "en", "&Hilfe", expected::kConfiguredDescription, "",
        "", expected::kBanner, ""}},
      {[] { ShowInfoDialog(self, nullptr, IDD_NOT_INSTALLED); },
       {texts::kInfoCaption, "OK", expected::kNotInstalledText1, expected::kNotInstalledText2}},
      {[] { ShowInfoDialog(self, nullptr, IDD_SUCCESS); },
       {texts::kInfoCaption, "OK", expected::kSuccessText}},
      {[] { ShowHelpDialog(self, nullptr); }, {texts::kHelpCaption, "OK", expected::kHelpText}},
  };
  // Twice: the banner must read the same after a second initialisation.
  for (int round : {1, 2})
    for (const auto& d : dialogs) {
      SCOPED_TRACE(d.texts[0] + ", round " + std::to_string(round));
      seen = Seen{};
      seen.caption = d.texts[0];
      SetTimer(nullptr, 0, 20, InspectAndEscape);  // ends itself once it has found the dialog
      d.run();  // returns once Esc ended the dialog
      EXPECT_EQ(seen.texts, d.texts);
      EXPECT_TRUE(seen.centred) << "not centred";
      EXPECT_TRUE(seen.focused) << "focus not on the first tab stop";
      EXPECT_TRUE(seen.keptByOtherCommand) << "another command ended it";
    }
  // The chooser's template: its own procedure fills in the prompt and the
  // folder, which the end-to-end suite reads off a running chooser.
  HWND chooser = CreateDialogParamA(self, MAKEINTRESOURCEA(IDD_CHOOSE_FOLDER), nullptr, PlainDialogProc, 0);
  ASSERT_NE(chooser, nullptr);
  EXPECT_EQ(TextsOf(chooser), (Texts{texts::kFolderCaption, "OK", "Abbrechen", "&Verzeichnis :", "",
                                     "Ausgew\xe4" "hltes Verzeichnis :", "", ""}));
  DestroyWindow(chooser);
}

// Presses "OK" in the chooser once it shows, keeps its prompt, cancels if that changed.
std::string chooserPromptAfterOk;
void CALLBACK PressChooserOk(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND chooser = gui::FindTopLevelWindow(texts::kFolderCaption, GetCurrentProcessId());
  if (chooser == nullptr) return;
  KillTimer(nullptr, timer);
  SendMessageA(chooser, WM_COMMAND, IDC_FOLDER_OK, 0);
  chooserPromptAfterOk = gui::ControlText(chooser, IDC_FOLDER_PROMPT);
  if (chooserPromptAfterOk != texts::kChooserPrompt) SendMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
}

TEST(Installer, ChooserRefusesAFolderLongerThanItsCallerTakesRatherThanCutIt) {
  char folder[MAX_PATH] = {}, tooLong[400] = {};
  const int length = static_cast<int>(GetCurrentDirectoryA(MAX_PATH, folder));
  LoadStringA(self, IDS_FOLDER_TOO_LONG, tooLong, sizeof tooLong);
  for (const int size : {length, length + 1}) {  // the folder and its backslash need length + 1
    char output[MAX_PATH + 2] = "untouched";
    SetTimer(nullptr, 0, 50, PressChooserOk);  // ends itself once it has pressed "OK"
    EXPECT_EQ(ChooseFolder(self, nullptr, output, size, IDS_CHOOSE_FOLDER), size > length) << size;
    EXPECT_EQ(std::string(output), size > length ? std::string(folder) + "\\" : "untouched");
    EXPECT_EQ(chooserPromptAfterOk, size > length ? texts::kChooserPrompt : tooLong);
  }
}

TEST(Installer, ResourcesAreGermanAskForAdministratorAndHoldTheStatusText) {
  // Strings 5, 7 and 8 the end-to-end suite reads off the screen; string 6
  // shows too briefly for that.
  char registering[100] = {};
  LoadStringA(self, IDS_REGISTERING, registering, sizeof registering);
  EXPECT_STREQ(registering, texts::kRegisteringText);

  const ResourceView manifest(self, 1, RT_MANIFEST);
  const std::string xml(reinterpret_cast<const char*>(manifest.Bytes()), manifest.Size());
  for (const char* part : {"level=\"requireAdministrator\"", ">true</dpiAware>",
                           "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""})
    EXPECT_NE(xml.find(part), std::string::npos) << part;

  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string block(GetFileVersionInfoSizeA(path, nullptr), '\0');
  ASSERT_FALSE(block.empty()) << "no version information";
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, DWORD(block.size()), &block[0]));
  void *translation = nullptr, *description = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(&block[0], "\\VarFileInfo\\Translation", &translation, &length));
  ASSERT_TRUE(VerQueryValueA(&block[0], "\\StringFileInfo\\040704E4\\FileDescription", &description, &length));
  EXPECT_EQ(*static_cast<DWORD*>(translation), MAKELONG(0x0407, 1252)) << "German, Windows-1252";
  EXPECT_STREQ(static_cast<char*>(description), "Installation von Zusatzkomponenten f\xfc" "r Verdanelle");
}

}  // namespace
