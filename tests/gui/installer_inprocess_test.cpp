// The installer's dialog procedures and resources inside this test program,
// which carries the very resources of addon-setup.exe: every dialog, even
// those the GUI and end-to-end tests cannot easily bring up, read through
// the ANSI calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/dialogs/folder_chooser.h"
#include "app/dialogs/help_dialog.h"
#include "app/dialogs/info_dialog.h"
#include "app/dialogs/main_dialog.h"
#include "app/install/resource_view.h"
#include "resources/resource.h"
#include "tests/gui/expected_texts.h"
#include "tools/demo/gui_driver.h"
#include "tools/demo/installer_texts.h"

namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST(Installer, EveryDialogShowsItsExactTextsCentredFocusedAndEndsOnEscOnly) {
  // The expected texts are Windows-1252 bytes.
  ASSERT_EQ(GetACP(), 1252u);
  appState.instance = GetModuleHandleA(nullptr);
  using Texts = std::vector<std::string>;
  // The caption, then every control in template order. The chooser's own
  // procedure fills in its prompt and folder, which the end-to-end suite
  // reads off a running chooser.
  const struct {
    int id;
    DLGPROC procedure;
    Texts texts;
  } dialogs[] = {
      {IDD_MAIN, MainDialogProc, {texts::kMainCaption, "&Installieren", "&Schlie\xdf" "en", "&Hilfe",
                                  expected::kConfiguredDescription, "", "", expected::kBanner, ""}},
      {IDD_NOT_INSTALLED, InfoDialogProc,
       {texts::kInfoCaption, "OK", expected::kNotInstalledText1, expected::kNotInstalledText2}},
      {IDD_SUCCESS, InfoDialogProc, {texts::kInfoCaption, "OK", expected::kSuccessText}},
      {IDD_HELP, HelpDialogProc, {texts::kHelpCaption, "OK", expected::kHelpText}},
      {IDD_CHOOSE_FOLDER, PlainDialogProc, {texts::kFolderCaption, "OK", "Abbrechen", "&Verzeichnis :", "",
                                            "Ausgew\xe4" "hltes Verzeichnis :", "", ""}},
  };
  // Twice: the banner must read the same after a second initialisation.
  for (int round : {1, 2})
    for (const auto& d : dialogs) {
      SCOPED_TRACE("dialog " + std::to_string(d.id) + ", round " + std::to_string(round));
      HWND dialog = CreateDialogParamA(appState.instance, MAKEINTRESOURCEA(d.id), nullptr, d.procedure, 0);
      ASSERT_NE(dialog, nullptr);
      Texts shown = {gui::WindowText(dialog)};
      for (HWND child : gui::Children(dialog)) shown.push_back(gui::WindowText(child));
      EXPECT_EQ(shown, d.texts);
      if (d.procedure != PlainDialogProc) {
        RECT r = {};
        GetWindowRect(dialog, &r);
        EXPECT_EQ(r.left, GetSystemMetrics(SM_CXSCREEN) / 2 - (r.right - r.left) / 2) << "not centred";
        EXPECT_EQ(r.top, GetSystemMetrics(SM_CYSCREEN) / 2 - (r.bottom - r.top) / 2) << "not centred";
        EXPECT_EQ(GetFocus(), GetNextDlgTabItem(dialog, nullptr, FALSE)) << "focus not on the first tab stop";
        ShowWindow(dialog, SW_SHOWNA);
        SendMessageA(dialog, WM_COMMAND, 999, 0);
        EXPECT_TRUE(IsWindowVisible(dialog)) << "another command ended it";
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        EXPECT_FALSE(IsWindowVisible(dialog)) << "Esc did not end it";
      }
      DestroyWindow(dialog);
    }
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
  appState.instance = GetModuleHandleA(nullptr);
  char folder[MAX_PATH] = {}, tooLong[400] = {};
  const int length = static_cast<int>(GetCurrentDirectoryA(MAX_PATH, folder));
  LoadStringA(appState.instance, IDS_FOLDER_TOO_LONG, tooLong, sizeof tooLong);
  for (const int size : {length, length + 1}) {  // the folder and its backslash need length + 1
    char output[MAX_PATH + 2] = "untouched";
    SetTimer(nullptr, 0, 50, PressChooserOk);  // ends itself once it has pressed "OK"
    EXPECT_EQ(ChooseFolder(appState.instance, nullptr, output, size, IDS_CHOOSE_FOLDER), size > length) << size;
    EXPECT_EQ(std::string(output), size > length ? std::string(folder) + "\\" : "untouched");
    EXPECT_EQ(chooserPromptAfterOk, size > length ? texts::kChooserPrompt : tooLong);
  }
}

TEST(Installer, ResourcesAreGermanAskForAdministratorAndHoldTheStatusText) {
  const HINSTANCE self = GetModuleHandleA(nullptr);
  if (std::strcmp(ADDON_COMPONENTS_UTF8, "p0046") == 0) {
    EXPECT_EQ(expected::kConfiguredDescription, expected::kDescription) << "a default build's description";
  }
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
  ASSERT_TRUE(!block.empty() && GetFileVersionInfoA(path, 0, DWORD(block.size()), &block[0]));
  void *translation = nullptr, *description = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(&block[0], "\\VarFileInfo\\Translation", &translation, &length) &&
              VerQueryValueA(&block[0], "\\StringFileInfo\\040704E4\\FileDescription", &description, &length));
  EXPECT_EQ(*static_cast<DWORD*>(translation), MAKELONG(0x0407, 1252)) << "German, Windows-1252";
  EXPECT_STREQ(static_cast<char*>(description), "Installation von Zusatzkomponenten f\xfc" "r Verdanelle");
}

}  // namespace
