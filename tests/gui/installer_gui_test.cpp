// Drives the real addon-setup.exe (and two test builds of it) from outside,
// as a user would, and checks what the user sees.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "resources/resource.h"
#include "tests/gui/expected_texts.h"
#include "tools/demo/gui_driver.h"

namespace {

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kStepTimeoutMs = 10000;

void ExpectCentred(HWND window) {
  RECT r;
  ASSERT_TRUE(GetWindowRect(window, &r));
  const int w = r.right - r.left, h = r.bottom - r.top;
  EXPECT_EQ(r.left, GetSystemMetrics(SM_CXSCREEN) / 2 - w / 2);
  EXPECT_EQ(r.top, GetSystemMetrics(SM_CYSCREEN) / 2 - h / 2);
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

void ExpectEndsWithExitCodeZero(gui::Process& process) {
  DWORD code = 1234;
  ASSERT_TRUE(process.WaitForExit(kStepTimeoutMs, &code)) << "the installer did not end";
  EXPECT_EQ(code, 0u);
}

class InstallerGui : public ::testing::Test {
 protected:
  void SetUp() override {
    // The expected texts are Windows-1252 bytes; another code page would
    // convert them differently.
    ASSERT_EQ(GetACP(), 1252u);
  }

  // Starts `program` and waits for its main dialog.
  HWND StartMainDialog(const char* program) {
    if (!process.Start(program)) {
      ADD_FAILURE() << "cannot start " << program << ", error " << process.LastError();
      return nullptr;
    }
    HWND dialog = gui::WaitForWindow(texts::kMainCaption, process.Id(), kStartTimeoutMs);
    EXPECT_NE(dialog, nullptr) << "no main dialog with the exact caption";
    return dialog;
  }

  gui::Process process;
};

TEST_F(InstallerGui, MainDialogShowsExactTextsCentredInTabOrderAndEscClosesItWhenIdle) {
  HWND dialog = StartMainDialog(ADDON_SETUP_EXE);
  ASSERT_NE(dialog, nullptr);
  ExpectCentred(dialog);

  // That all controls come in template order, installer_inprocess_test checks.
  const std::pair<int, std::string> texts[] = {
      {IDC_INSTALL, expected::kInstall}, {IDC_CLOSE, expected::kClose}, {IDC_HELP_BUTTON, expected::kHelp},
      {IDC_DESCRIPTION, expected::kConfiguredDescription}, {IDC_STATUS, ""}, {IDC_BANNER, expected::kBanner}};
  for (const auto& [id, text] : texts) EXPECT_EQ(gui::ControlText(dialog, id), text) << "control " << id;
  EXPECT_EQ(gui::TabOrder(dialog), (std::vector<int>{210, 211, 218}));
  EXPECT_EQ(FocusOf(dialog), GetDlgItem(dialog, IDC_INSTALL));

  // Esc on the focused button closes the idle dialog.
  gui::PostKey(GetDlgItem(dialog, IDC_INSTALL), VK_ESCAPE);
  ExpectEndsWithExitCodeZero(process);
}

// With ADDON_SCREENSHOTS naming a folder, saves a picture of `window` there
// as NAME.bmp (the test installer_screenshots turns them into PNG files).
void SaveScreenshot(HWND window, const char* name) {
  const char* folder = std::getenv("ADDON_SCREENSHOTS");
  if (folder == nullptr) return;
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  Sleep(700);  // time to paint
  EXPECT_TRUE(gui::CaptureWindowToBmp(window, std::string(folder) + "/" + name + ".bmp")) << name;
}

TEST_F(InstallerGui, HelpDialogShowsWholeHelpTextAndCloseBoxEndsProgram) {
  HWND dialog = StartMainDialog(ADDON_SETUP_EXE);
  ASSERT_NE(dialog, nullptr);
  SaveScreenshot(dialog, "main-dialog");
  gui::PressButton(dialog, IDC_HELP_BUTTON);
  HWND help = gui::WaitForWindow(texts::kHelpCaption, process.Id(), kStepTimeoutMs);
  ASSERT_NE(help, nullptr);
  SaveScreenshot(help, "help-dialog");
  ExpectCentred(help);
  const std::string text = gui::ControlText(help, IDC_HELP_TEXT);
  EXPECT_EQ(text.size(), 198u);
  EXPECT_EQ(text, expected::kHelpText);
  EXPECT_EQ(GetWindow(help, GW_OWNER), dialog);

  gui::PressButton(help, IDOK);
  ASSERT_TRUE(gui::WaitUntil([&] { return !IsWindow(help); }, kStepTimeoutMs));
  EXPECT_TRUE(process.Running());

  // The close box of an idle dialog ends the program.
  PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  ExpectEndsWithExitCodeZero(process);
}

// What the screen must show for pixel (column, row from the top) of bitmap
// `id` in `module`: its colour in its own colour table (the shipped pictures
// share bitmap 100's), or for the transparent index 255 the table's colour
// nearest to the dialog face, on which the panel composes the pictures.
COLORREF PictureColour(HMODULE module, int id, int column, int row) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2));  // RT_BITMAP
  if (found == nullptr) return CLR_INVALID;
  const auto* dib = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
  const unsigned char* table = dib + header->biSize;
  const int stride = (header->biWidth + 3) & ~3;
  const unsigned char* rows = table + 4 * 256;
  const int pixel = rows[(header->biHeight - 1 - row) * stride + column];
  int index = pixel;
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  for (int i = 0, best = INT_MAX; pixel == 255 && i < 256; ++i) {
    const int r = table[4 * i + 2] - GetRValue(face), g = table[4 * i + 1] - GetGValue(face);
    const int b = table[4 * i] - GetBValue(face), distance = r * r + g * g + b * b;
    if (distance < best) {
      best = distance;
      index = i;
    }
  }
  return RGB(table[4 * index + 2], table[4 * index + 1], table[4 * index]);
}

// Where the picture of anchor control `anchorId` starts on the screen: one
// pixel right of and below the control's corner.
POINT PictureCorner(HWND dialog, int anchorId) {
  RECT r = {};
  GetWindowRect(GetDlgItem(dialog, anchorId), &r);
  return {r.left + 1, r.top + 1};
}

TEST_F(InstallerGui, BothPicturesShowWholeAndSurviveARepaintThatErases) {
  HMODULE pictures = LoadLibraryExA(gui::WindowsPath(ADDON_SETUP_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(pictures, nullptr);
  HWND dialog = StartMainDialog(ADDON_SETUP_EXE);
  ASSERT_NE(dialog, nullptr);
  const POINT banner = PictureCorner(dialog, IDC_BANNER_PICTURE_ANCHOR);
  const POINT flower = PictureCorner(dialog, IDC_FLOWER_PICTURE_ANCHOR);
  const struct {
    POINT at;
    int id, column, row;
  } probes[] = {{banner, 100, 2, 2},   {banner, 100, 84, 8}, {banner, 100, 160, 26},
                {flower, 101, 19, 19}, {flower, 101, 8, 20}, {flower, 101, 37, 37}};  // (37, 37): background
  // The flower's top-left corner lies under its anchor, an empty static
  // control that paints its own background after the dialog has drawn.
  RECT anchor = {};
  ASSERT_TRUE(GetWindowRect(GetDlgItem(dialog, IDC_FLOWER_PICTURE_ANCHOR), &anchor));
  ASSERT_GT(anchor.right - flower.x, 4);
  ASSERT_GT(anchor.bottom - flower.y, 4);
  auto pixelsWrongUnderAnchor = [&] {
    int wrong = 0;
    for (int y = flower.y; y < anchor.bottom; ++y)
      for (int x = flower.x; x < anchor.right; ++x)
        wrong += gui::ScreenPixel(x, y) != PictureColour(pictures, 101, x - flower.x, y - flower.y);
    return wrong;
  };
  auto expectPictures = [&](const char* when) {
    for (const auto& p : probes) {
      const COLORREF want = PictureColour(pictures, p.id, p.column, p.row);
      EXPECT_TRUE(gui::WaitUntil(
          [&] { return gui::ScreenPixel(p.at.x + p.column, p.at.y + p.row) == want; }, kStepTimeoutMs))
          << when << ": bitmap " << p.id << " pixel " << p.column << "," << p.row;
    }
    EXPECT_TRUE(gui::WaitUntil([&] { return pixelsWrongUnderAnchor() == 0; }, kStepTimeoutMs))
        << when << ": " << pixelsWrongUnderAnchor() << " flower pixels painted over by control 217";
  };
  expectPictures("first show");
  // What a window moved away from the dialog leaves behind: an update
  // region that is erased when painting begins.
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  Sleep(500);
  expectPictures("after an erasing repaint");
  FreeLibrary(pictures);
  gui::PostCommand(dialog, IDC_CLOSE);
  ExpectEndsWithExitCodeZero(process);
}

// addon-setup-hold.exe: its installation dispatches messages until the
// test releases it (see hold_install.cpp).
class HeldInstallation : public InstallerGui {
 protected:
  // Starts the hold build and presses "&Installieren".
  HWND StartInstalling(const char* result) {
    SetEnvironmentVariableA("ADDON_HOLD_RESULT", result);
    HWND dialog = StartMainDialog(ADDON_SETUP_HOLD_EXE);
    SetEnvironmentVariableA("ADDON_HOLD_RESULT", nullptr);
    if (dialog == nullptr) return nullptr;
    gui::PressButton(dialog, IDC_INSTALL);
    EXPECT_TRUE(gui::WaitUntil([&] { return gui::ControlText(dialog, IDC_STATUS) == "busy"; }, kStepTimeoutMs));
    return dialog;
  }

  void Release() {
    char name[64];
    std::snprintf(name, sizeof name, "addon-setup-hold-%lu", process.Id());
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
    ASSERT_NE(event, nullptr);
    SetEvent(event);
    CloseHandle(event);
  }
};

TEST_F(HeldInstallation, CloseRequestsAreIgnoredWhileBusyAndCloseWhenIdle) {
  HWND dialog = StartInstalling("0");
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_INSTALL)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_CLOSE)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_HELP_BUTTON)));

  // Esc, "&Schließen", the close box, a bare WM_CLOSE and a second
  // "&Installieren" all arrive while the installation runs.
  gui::PostCommand(dialog, IDCANCEL);
  gui::PostCommand(dialog, IDC_CLOSE);
  PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  PostMessageA(dialog, WM_CLOSE, 0, 0);
  gui::PostCommand(dialog, IDC_INSTALL);
  SendMessageA(dialog, WM_NULL, 0, 0);  // returns once the posted ones are handled
  Sleep(300);
  EXPECT_TRUE(process.Running());
  EXPECT_TRUE(IsWindowVisible(dialog));

  // Help still opens during an installation.
  gui::PressButton(dialog, IDC_HELP_BUTTON);
  HWND help = gui::WaitForWindow(texts::kHelpCaption, process.Id(), kStepTimeoutMs);
  ASSERT_NE(help, nullptr);
  gui::PressButton(help, IDOK);
  ASSERT_TRUE(gui::WaitUntil([&] { return !IsWindow(help); }, kStepTimeoutMs));

  Release();
  ASSERT_TRUE(gui::WaitUntil([&] { return IsWindowEnabled(GetDlgItem(dialog, IDC_INSTALL)) != 0; }, kStepTimeoutMs));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_CLOSE)));
  EXPECT_EQ(FocusOf(dialog), GetDlgItem(dialog, IDC_INSTALL));
  // None of the ignored requests was kept for later, and the second
  // "&Installieren" started nothing.
  Sleep(300);
  EXPECT_TRUE(process.Running());
  EXPECT_EQ(gui::ControlText(dialog, IDC_STATUS), "");

  gui::PostKey(GetDlgItem(dialog, IDC_INSTALL), VK_ESCAPE);
  ExpectEndsWithExitCodeZero(process);
}

TEST_F(HeldInstallation, SuccessfulInstallationEndsWithCentredSuccessDialog) {
  HWND dialog = StartInstalling("1");
  ASSERT_NE(dialog, nullptr);
  Release();
  ASSERT_TRUE(gui::WaitUntil([&] { return !IsWindow(dialog); }, kStepTimeoutMs));
  HWND success = gui::WaitForWindow(texts::kInfoCaption, process.Id(), kStepTimeoutMs);
  ASSERT_NE(success, nullptr);
  ExpectCentred(success);
  std::vector<std::string> texts;
  for (HWND child : gui::Children(success)) texts.push_back(gui::WindowText(child));
  EXPECT_EQ(texts, (std::vector<std::string>{"OK", expected::kSuccessText}));
  gui::PressButton(success, IDOK);
  ExpectEndsWithExitCodeZero(process);
}

TEST_F(InstallerGui, WithoutBannerBitmapNothingIsShownAndExitCodeIsZero) {
  ASSERT_TRUE(process.Start(ADDON_SETUP_NO_BANNER_EXE));
  bool sawWindow = false;
  DWORD code = 1234;
  const DWORD start = GetTickCount();
  while (!process.WaitForExit(20, &code)) {
    sawWindow = sawWindow || gui::HasVisibleWindow(process.Id());
    ASSERT_LT(GetTickCount() - start, kStartTimeoutMs) << "the installer did not end";
  }
  EXPECT_FALSE(sawWindow);
  EXPECT_EQ(code, 0u);
}

}  // namespace
