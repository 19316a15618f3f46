#include "tests/support/gui_harness.h"

#include <cstdio>

#include "tools/demo/installer_texts.h"

namespace harness {

namespace {

bool HasVisibleWindow(DWORD processId) {
  for (HWND window = GetTopWindow(nullptr); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId && IsWindowVisible(window)) return true;
  }
  return false;
}

}  // namespace

HWND StartMainDialog(gui::Process& process, const std::string& program, const std::string& folder) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (process.Start(program, folder)) return gui::WaitForWindow(texts::kMainCaption, process.Id(), kStartTimeoutMs);
    std::printf("could not start %s (error %lu); again\n", program.c_str(), process.LastError());
    Sleep(300);
  }
  return nullptr;
}

long ExitCode(gui::Process& process, DWORD timeoutMs) {
  DWORD code = 0;
  return process.WaitForExit(timeoutMs, &code) ? static_cast<long>(code) : -1;
}

bool EndsShowingNothing(gui::Process& process) {
  bool sawWindow = false;
  auto ended = [&] {
    sawWindow = sawWindow || HasVisibleWindow(process.Id());
    return !process.Running();
  };
  return gui::WaitUntil(ended, kStartTimeoutMs) && !sawWindow && ExitCode(process) == 0;
}

bool IsCentred(HWND window) {
  RECT r;
  return GetWindowRect(window, &r) && r.left == GetSystemMetrics(SM_CXSCREEN) / 2 - (r.right - r.left) / 2 &&
         r.top == GetSystemMetrics(SM_CYSCREEN) / 2 - (r.bottom - r.top) / 2;
}

HWND FocusOfThread(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

std::vector<int> TabOrder(HWND dialog) {
  std::vector<int> ids;
  HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
  for (HWND item = first; item != nullptr;) {
    ids.push_back(GetDlgCtrlID(item));
    item = GetNextDlgTabItem(dialog, item, FALSE);
    if (item == first || ids.size() > 64) break;
  }
  return ids;
}

void PostKey(HWND window, WORD key) {
  const UINT scan = MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
  PostMessageA(window, WM_KEYDOWN, key, 1 | (scan << 16));
  PostMessageA(window, WM_KEYUP, key, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

}  // namespace harness
