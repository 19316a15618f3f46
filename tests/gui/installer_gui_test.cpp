// Drives the real addon-setup.exe (and two test builds of it) from outside,
// as a user would: what it draws, what it does while busy, what it does
// without bitmap 100; two of the tests save the README's pictures. What the
// dialogs say, installer_inprocess_test checks; the installations
// themselves, the end-to-end suite.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "resources/resource.h"
#include "tests/support/gui_harness.h"
#include "tools/demo/installer_texts.h"

namespace {

using harness::ExitCode;
using harness::kStepTimeoutMs;

// With ADDON_SCREENSHOTS naming a folder, saves a picture of `window` there
// as NAME.bmp (the test installer_screenshots turns them into PNG files).
void SaveScreenshot(HWND window, const char* name) {
  const char* folder = std::getenv("ADDON_SCREENSHOTS");
  if (folder == nullptr) return;
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  Sleep(700);  // time to paint
  EXPECT_TRUE(gui::CaptureWindowToBmp(window, std::string(folder) + "/" + name + ".bmp")) << name;
}

// How many pixels of the two pictures (as this test program carries them
// too) the screen shows otherwise than the installer must draw them: bitmap
// 100 from one pixel right of and below the corner of control 216, bitmap 101 likewise at 217, both in the colours
// of bitmap 100's table, their transparent index 255 in the table's colour
// nearest the dialog face (nearest as the palette calls measure it); grown at `dpi` above 96.
int WrongPicturePixels(HWND dialog, int dpi = 96) {
  auto bitmap = [](int id) {
    return static_cast<const BITMAPINFOHEADER*>(
        LockResource(LoadResource(nullptr, FindResourceA(nullptr, MAKEINTRESOURCEA(id), RT_BITMAP))));
  };
  const auto* table = reinterpret_cast<const unsigned char*>(bitmap(IDB_BANNER)) + bitmap(IDB_BANNER)->biSize;
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  int background = 0;
  for (int i = 0, best = 1 << 30; i < 256; ++i) {
    const int r = table[4 * i + 2] - GetRValue(face), g = table[4 * i + 1] - GetGValue(face);
    const int b = table[4 * i] - GetBValue(face), distance = r * r + g * g + b * b;
    if (distance < best) best = distance, background = i;
  }
  RECT anchor = {}, next = {};
  HDC screen = GetDC(nullptr);
  int wrong = 0;
  for (const int id : {IDB_BANNER, IDB_FLOWER}) {
    const BITMAPINFOHEADER* header = bitmap(id);
    const unsigned char* rows = reinterpret_cast<const unsigned char*>(header) + header->biSize + 4 * 256;
    const bool banner = id == IDB_BANNER;
    GetWindowRect(GetDlgItem(dialog, banner ? IDC_BANNER_PICTURE_ANCHOR : IDC_FLOWER_PICTURE_ANCHOR), &anchor);
    // Grown by dpi/96, every pixel the picture's under its centre, but the
    // banner not into the status line nor the flower into the description.
    GetWindowRect(GetDlgItem(dialog, banner ? IDC_STATUS : IDC_DESCRIPTION), &next);
    const int extent = banner ? header->biHeight : header->biWidth;
    const int room = banner ? next.top - anchor.top - 1 : next.left - anchor.left - 1;
    const bool cramped = MulDiv(extent, dpi, 96) > room;
    const int num = cramped ? room : dpi, den = cramped ? extent : 96;
    const int width = MulDiv(header->biWidth, num, den), height = MulDiv(header->biHeight, num, den);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const POINT at = {anchor.left + 1 + x, anchor.top + 1 + y};
        const int row = (2 * y + 1) * header->biHeight / (2 * height), column = (2 * x + 1) * header->biWidth / (2 * width);
        const int pixel = rows[(header->biHeight - 1 - row) * ((header->biWidth + 3) & ~3) + column];
        const unsigned char* colour = table + 4 * (pixel == 255 ? background : pixel);
        wrong += GetPixel(screen, at.x, at.y) != RGB(colour[2], colour[1], colour[0]);
      }
  }
  ReleaseDC(nullptr, screen);
  return wrong;
}

TEST(InstallerGui, MainDialogDrawsBothPicturesWholeAtAnyPixelsPerInchAndItsCloseBoxEndsTheProgram) {
  // Newly started programs take the pixels per inch from the registry; the
  // setting is put back as soon as the installer has read it.
  HKEY desktop = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &desktop), 0);
  DWORD saved = 96, size = sizeof saved;
  RegQueryValueExA(desktop, "LogPixels", nullptr, nullptr, LPBYTE(&saved), &size);
  // 96 last: the ordinary dialog goes on to the checks below.
  for (DWORD dpi : {120, 144, 192, 96}) {
    SCOPED_TRACE(dpi);
    gui::Process process;
    RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, LPBYTE(&dpi), sizeof dpi);
    HWND dialog = harness::StartMainDialog(process, ADDON_SETUP_EXE);
    RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, LPBYTE(&saved), sizeof saved);
    ASSERT_NE(dialog, nullptr);
    auto drawnWhole = [&] { return WrongPicturePixels(dialog, dpi) == 0; };
    EXPECT_TRUE(gui::WaitUntil(drawnWhole, kStepTimeoutMs)) << WrongPicturePixels(dialog, dpi) << " pixels wrong";
    if (dpi == 144) SaveScreenshot(dialog, "main-dialog-144dpi");
    if (dpi != 96) continue;
    // What a window moved away from the dialog leaves behind: an update
    // region that is erased when painting begins.
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    Sleep(500);
    EXPECT_TRUE(gui::WaitUntil(drawnWhole, kStepTimeoutMs)) << WrongPicturePixels(dialog) << " after repainting";

    EXPECT_EQ(harness::TabOrder(dialog), (std::vector<int>{IDC_INSTALL, IDC_CLOSE, IDC_HELP_BUTTON}));
    EXPECT_EQ(LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0)), IDC_INSTALL) << "Enter must install";
    SaveScreenshot(dialog, "main-dialog");
    // The close box of an idle dialog ends the program.
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(ExitCode(process), 0);
  }
  RegCloseKey(desktop);
}

// addon-setup-hold.exe: its installation shows "busy" and dispatches
// messages until the test writes into the status line (hold_install.cpp).
TEST(InstallerGui, CloseRequestsAndASecondInstallationAreIgnoredWhileBusy) {
  gui::Process process;
  HWND dialog = harness::StartMainDialog(process, ADDON_SETUP_HOLD_EXE);
  ASSERT_NE(dialog, nullptr);
  gui::PressButton(dialog, IDC_INSTALL);
  ASSERT_TRUE(gui::WaitUntil([&] { return gui::ControlText(dialog, IDC_STATUS) == "busy"; }, kStepTimeoutMs));
  // Esc, "&Schließen", the close box, a bare WM_CLOSE and "&Installieren",
  // sent past the disabled buttons; help, queued behind them, opens only
  // once they all have been handled.
  for (const auto& [message, wParam] : {std::pair<UINT, WPARAM>{WM_COMMAND, IDCANCEL}, {WM_COMMAND, IDC_CLOSE},
                                        {WM_SYSCOMMAND, SC_CLOSE}, {WM_CLOSE, 0}, {WM_COMMAND, IDC_INSTALL}})
    PostMessageA(dialog, message, wParam, 0);
  gui::PressButton(dialog, IDC_HELP_BUTTON);
  HWND help = gui::WaitForWindow(texts::kHelpCaption, process.Id(), kStepTimeoutMs);
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(IsWindowVisible(dialog)) << "a close request ended the busy dialog";
  EXPECT_EQ(GetWindow(help, GW_OWNER), dialog);
  EXPECT_EQ(SendMessageA(dialog, WM_QUERYENDSESSION, 0, 0), FALSE) << "logging off must wait";
  // A second installer shows nothing and brings the first one's foremost window forward.
  HWND other = CreateWindowA("STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
  SetForegroundWindow(other);
  gui::Process second;
  ASSERT_TRUE(second.Start(ADDON_SETUP_EXE));
  EXPECT_TRUE(harness::EndsShowingNothing(second));
  EXPECT_EQ(GetForegroundWindow(), help);
  SaveScreenshot(help, "help-dialog");
  gui::PressButton(help, IDOK);

  SetDlgItemTextA(dialog, IDC_STATUS, "go");  // releases the installation
  ASSERT_TRUE(gui::WaitUntil([&] { return IsWindowEnabled(GetDlgItem(dialog, IDC_INSTALL)) != 0; }, kStepTimeoutMs));
  Sleep(300);  // time for a close request kept for later to arrive
  EXPECT_TRUE(process.Running());
  EXPECT_EQ(gui::ControlText(dialog, IDC_STATUS), "");
  EXPECT_EQ(SendMessageA(dialog, WM_QUERYENDSESSION, 0, 0), TRUE) << "idle, logging off may go on";
  harness::PostKey(GetDlgItem(dialog, IDC_INSTALL), VK_ESCAPE);
  EXPECT_EQ(ExitCode(process), 0);
}

// Another program took the lock's name first, with a mutex that no
// installer's is (not owned by the Administrators group) or an object of
// another kind: the installer says so and does not run, neither silently
// ending nor running unlocked. (Windows itself gives the installer a
// private namespace whose names no such program can take; this emulator
// has none, so its stand-in is what is seen here.)
TEST(InstallerGui, LockNameTakenByAnotherProgramIsToldAndNothingRuns) {
  const char name[] = "Local\\Lumora.Verdanelle.AddonSetup";
  for (const bool mutex : {true, false}) {
    SCOPED_TRACE(mutex);
    HANDLE squatter = mutex ? CreateMutexA(nullptr, FALSE, name) : CreateEventA(nullptr, FALSE, FALSE, name);
    ASSERT_NE(squatter, nullptr);
    gui::Process process;
    ASSERT_TRUE(process.Start(ADDON_SETUP_EXE));
    HWND message = gui::WaitForWindow(texts::kInfoCaption, process.Id(), kStepTimeoutMs);
    ASSERT_NE(message, nullptr);
    EXPECT_TRUE(texts::ContainsText(message, texts::kLockUnavailableTextStart));
    EXPECT_EQ(gui::FindTopLevelWindow(texts::kMainCaption, process.Id()), nullptr);
    gui::PostCommand(message, IDOK);
    EXPECT_EQ(ExitCode(process), 0);
    CloseHandle(squatter);
  }
}

TEST(InstallerGui, WithoutBitmap100NothingIsShownAndTheExitCodeIsZero) {
  gui::Process process;
  ASSERT_TRUE(process.Start(ADDON_SETUP_NO_BANNER_EXE));
  EXPECT_TRUE(harness::EndsShowingNothing(process));
}

}  // namespace
