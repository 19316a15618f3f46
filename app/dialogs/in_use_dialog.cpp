#include "app/dialogs/in_use_dialog.h"

#include "app/dialogs/center_on_screen.h"
#include "app/install/install_names.h"
#include "app/message_text.h"
#include "resources/resource.h"

namespace {

// The pattern of string 22, and the question with a module's path in it.
constexpr int kPatternBufferSize = 400;
constexpr size_t kQuestionBufferSize = kPatternBufferSize + kComponentPathSize;

struct InUseQuestion {
  HINSTANCE instance;
  const char* modulePath;
};

INT_PTR CALLBACK InUseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* question = reinterpret_cast<const InUseQuestion*>(lParam);
      char pattern[kPatternBufferSize] = {};
      LoadText(question->instance, IDS_MODULE_IN_USE, pattern, kPatternBufferSize);
      char text[kQuestionBufferSize] = {};
      AppendFilled(text, sizeof text, pattern, "%s", question->modulePath);
      SetDlgItemTextA(dialog, IDC_IN_USE_TEXT, text);
      CenterOnScreen(dialog);
      return TRUE;  // focus on the first tab stop, "&Wiederholen"
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDRETRY || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

bool AskRetryHeldModule(HINSTANCE instance, HWND owner, const char* modulePath) {
  InUseQuestion question{instance, modulePath};
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MODULE_IN_USE), owner, InUseDialogProc,
                         reinterpret_cast<LPARAM>(&question)) == IDRETRY;
}
