#pragma once

// What the GUI and end-to-end suites do with the installer's windows beyond
// what the demo driver needs: start a program up to its main dialog, wait
// for its end, and check where a dialog stands, where the focus is and what
// Tab visits.

#include <windows.h>

#include <string>
#include <vector>

#include "tools/demo/gui_driver.h"

namespace harness {

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kStepTimeoutMs = 10000;

// Starts `program` in `folder` (empty: the caller's current folder) and
// waits for its main dialog; null when none shows. Right after a killed run
// Wine may refuse to start a program for a moment: it is tried again then.
HWND StartMainDialog(gui::Process& process, const std::string& program, const std::string& folder = "");

// The program's exit code, or -1 when it did not end within `timeoutMs`.
long ExitCode(gui::Process& process, DWORD timeoutMs = kStepTimeoutMs);

// Whether a started program ends with exit code 0 without ever showing a
// visible top-level window.
bool EndsShowingNothing(gui::Process& process);

// Whether `window` stands centred on the primary screen, each half of the
// difference truncated as signed division does.
bool IsCentred(HWND window);

// The window that has the keyboard focus in the thread of `window`, or null.
HWND FocusOfThread(HWND window);

// Control ids in the order Tab visits them, starting at the first tab stop
// (GetNextDlgTabItem), each once.
std::vector<int> TabOrder(HWND dialog);

// Posts a key press and release of virtual key `key` to `window`.
void PostKey(HWND window, WORD key);

}  // namespace harness
