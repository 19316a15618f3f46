#include "tools/demo/gui_driver.h"

#include <cstdio>

namespace gui {

std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string out = "Z:" + path;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

Process::~Process() {
  if (info.hProcess != nullptr) {
    if (Running()) {
      TerminateProcess(info.hProcess, 1);
      WaitForSingleObject(info.hProcess, 5000);
    }
    CloseHandle(info.hProcess);
  }
  if (info.hThread != nullptr) CloseHandle(info.hThread);
}

bool Process::Start(const std::string& program, const std::string& folder) {
  if (info.hProcess != nullptr) return false;
  const std::string path = WindowsPath(program);
  std::string commandLine = "\"" + path + "\"";
  const std::string workFolder = WindowsPath(folder);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      workFolder.empty() ? nullptr : workFolder.c_str(), &startup, &info)) {
    lastError = GetLastError();
    info = {};
    return false;
  }
  return true;
}

bool Process::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
  if (info.hProcess == nullptr) return false;
  if (WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  return GetExitCodeProcess(info.hProcess, exitCode) != 0;
}

bool Process::Running() const {
  return info.hProcess != nullptr && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(20);
  }
}

namespace {

struct WindowSearch {
  const std::string* caption;
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (search->processId != 0 && owner != search->processId) return TRUE;
  if (!IsWindowVisible(window)) return TRUE;
  if (WindowText(window) != *search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

// Holds a GDI object or DC and gives it back on every path.
struct ScreenCapture {
  HDC screen = nullptr;
  HDC memory = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  ~ScreenCapture() {
    if (previous != nullptr) SelectObject(memory, previous);
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (memory != nullptr) DeleteDC(memory);
    if (screen != nullptr) ReleaseDC(nullptr, screen);
  }
};

}  // namespace

HWND FindTopLevelWindow(const std::string& caption, DWORD processId) {
  WindowSearch search = {&caption, processId, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWindow(const std::string& caption, DWORD processId, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindTopLevelWindow(caption, processId)) != nullptr; }, timeoutMs);
  return found;
}

std::string WindowText(HWND window) {
  char text[4096] = {};
  const int length = GetWindowTextA(window, text, sizeof text);
  return std::string(text, length > 0 ? length : 0);
}

std::string ControlText(HWND dialog, int controlId) {
  char text[4096] = {};
  const UINT length = GetDlgItemTextA(dialog, controlId, text, sizeof text);
  return std::string(text, length);
}

std::vector<HWND> Children(HWND dialog) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    children.push_back(child);
  return children;
}

void PressButton(HWND dialog, int controlId) {
  PostMessageA(GetDlgItem(dialog, controlId), BM_CLICK, 0, 0);
}

void PostCommand(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool CaptureWindowToBmp(HWND window, const std::string& path) {
  RECT bounds;
  if (!GetWindowRect(window, &bounds)) return false;
  const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  if (width <= 0 || height <= 0) return false;

  ScreenCapture capture;
  capture.screen = GetDC(nullptr);
  if (capture.screen == nullptr) return false;
  capture.memory = CreateCompatibleDC(capture.screen);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof info.bmiHeader, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};  // bottom-up, as files are
  void* bits = nullptr;
  capture.bitmap = CreateDIBSection(capture.screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (capture.memory == nullptr || capture.bitmap == nullptr) return false;
  capture.previous = SelectObject(capture.memory, capture.bitmap);
  if (!BitBlt(capture.memory, 0, 0, width, height, capture.screen, bounds.left, bounds.top, SRCCOPY)) return false;
  GdiFlush();

  const DWORD imageSize = ((width * 3 + 3) & ~3) * height;
  const DWORD headers = sizeof(BITMAPFILEHEADER) + sizeof info.bmiHeader;
  const BITMAPFILEHEADER fileHeader = {0x4D42, headers + imageSize, 0, 0, headers};  // "BM"
  FILE* file = std::fopen(WindowsPath(path).c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(&fileHeader, sizeof fileHeader, 1, file) == 1 &&
                       std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, file) == 1 &&
                       std::fwrite(bits, 1, imageSize, file) == imageSize;
  return std::fclose(file) == 0 && written;
}

}  // namespace gui
