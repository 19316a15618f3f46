// capture_installer SETUP_EXE OUTPUT_FOLDER
//
// Starts the installer, saves pictures of its main dialog and of its help
// dialog as main-dialog.bmp and help-dialog.bmp in OUTPUT_FOLDER, and
// closes it again. Exit code 0 when both pictures were saved and the
// installer ended with 0.
#include <windows.h>

#include <cstdio>
#include <string>

#include "resources/resource.h"
#include "tests/gui/expected_texts.h"
#include "tests/gui/gui_driver.h"

namespace {

int Fail(const char* what) {
  std::fprintf(stderr, "capture_installer: %s\n", what);
  return 1;
}

// Gives the program time to paint what it has just shown.
void LetItPaint(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  Sleep(700);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: capture_installer SETUP_EXE OUTPUT_FOLDER");
  const std::string folder = argv[2];
  gui::Process setup;
  if (!setup.Start(argv[1])) return Fail("cannot start the installer");
  HWND dialog = gui::WaitForWindow(expected::kMainCaption, setup.Id(), 30000);
  if (dialog == nullptr) return Fail("no main dialog");
  LetItPaint(dialog);
  if (!gui::CaptureWindowToBmp(dialog, folder + "/main-dialog.bmp")) return Fail("cannot capture the main dialog");

  gui::PressButton(dialog, IDC_HELP_BUTTON);
  HWND help = gui::WaitForWindow(expected::kHelpCaption, setup.Id(), 10000);
  if (help == nullptr) return Fail("no help dialog");
  LetItPaint(help);
  if (!gui::CaptureWindowToBmp(help, folder + "/help-dialog.bmp")) return Fail("cannot capture the help dialog");
  gui::PressButton(help, IDOK);
  gui::WaitUntil([&] { return !IsWindow(help); }, 10000);

  gui::PostCommand(dialog, IDC_CLOSE);
  DWORD code = 1;
  if (!setup.WaitForExit(10000, &code)) return Fail("the installer did not end");
  return code == 0 ? 0 : Fail("the installer ended with a non-zero exit code");
}
