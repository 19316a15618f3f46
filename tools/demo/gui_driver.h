#pragma once

// Driving a real Windows program from outside, the way a user would (the
// demo driver and the tests use it): start it, find its windows by caption, read control texts,
// press buttons, take pictures of windows. Everything is ANSI, as in the
// installer; texts come back in the calling process's code page.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace gui {

// A Windows path for `path`: unchanged, unless it is a Unix absolute path
// (as CMake hands out under Wine), which becomes Z:\... with backslashes.
std::string WindowsPath(const std::string& path);

// A started program. The destructor ends it if it still runs, so a failed
// test leaves nothing behind.
class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts `program` (Windows or Unix path) with no arguments in `folder`
  // (empty: the caller's current folder). Returns false when it could not
  // be started; LastError() then tells why.
  bool Start(const std::string& program, const std::string& folder = "");

  // Waits up to `timeoutMs` for the program to end. Returns true and its
  // exit code in `exitCode` when it ended.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode);

  bool Running() const;
  DWORD Id() const { return info.dwProcessId; }
  DWORD LastError() const { return lastError; }

 private:
  PROCESS_INFORMATION info = {};
  DWORD lastError = 0;
};

// Calls `condition` every 20 ms until it holds or `timeoutMs` have passed.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// The visible top-level window of process `processId` (0: any process)
// whose caption is exactly `caption`, or null.
HWND FindTopLevelWindow(const std::string& caption, DWORD processId);

// FindTopLevelWindow, retried until it succeeds or `timeoutMs` have passed.
HWND WaitForWindow(const std::string& caption, DWORD processId, DWORD timeoutMs);

// Caption or text of a window (GetWindowTextA), of a dialog control
// (GetDlgItemTextA). At most 4095 bytes.
std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int controlId);

// Child windows of `dialog` in z-order, which for a dialog is the order of
// its template.
std::vector<HWND> Children(HWND dialog);

// Presses a button as the keyboard or mouse would (BM_CLICK, posted): a
// disabled button ignores it.
void PressButton(HWND dialog, int controlId);

// Sends the dialog the command of control `id` directly (WM_COMMAND,
// posted), as Esc (id 2) and Enter do through the dialog manager.
void PostCommand(HWND dialog, int id);

// Copies what the screen shows of `window` (frame included) into a 24-bit
// BMP file at `path`. Returns false when the window, the screen or the file
// could not be used.
bool CaptureWindowToBmp(HWND window, const std::string& path);

}  // namespace gui
