#include "app/dialogs/center_on_screen.h"

#include "app/dialogs/centering.h"

void CenterOnScreen(HWND window) {
  RECT bounds;
  if (!GetWindowRect(window, &bounds)) return;
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  SetWindowPos(window, nullptr, CentredEdge(GetSystemMetrics(SM_CXSCREEN), width),
               CentredEdge(GetSystemMetrics(SM_CYSCREEN), height), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
