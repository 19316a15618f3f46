#include "app/dialogs/folder_chooser.h"

#include <cstring>
#include <cwchar>

#include "app/dialogs/chooser_walk.h"
#include "app/message_text.h"
#include "resources/resource.h"

namespace {

// Only sub-folders and drives, no files.
constexpr UINT kListFlags = DDL_DIRECTORY | DDL_DRIVES | DDL_EXCLUSIVE;

// The prompts are strings 7 and 10, each well below this many characters.
constexpr int kPromptBufferSize = 400;
// A list entry is a drive "[-x-]" or one folder's name (at most 255
// characters) in brackets: a path's size holds it with its terminator.
constexpr int kEntryBufferSize = MAX_PATH;
// The ANSI form of a chooser folder: up to two bytes a character.
constexpr int kAnsiFolderSize = 2 * kChooserFolderSize;

// One run of the chooser, handed to its dialog procedure at creation.
struct ChooserRun {
  HINSTANCE instance;
  int promptId;
  // The longest folder text the caller takes, in bytes without the zero.
  int outputSize;
  // The folder shown: the process's current directory at the start, then
  // every folder listed successfully. Wide, so that any folder name can be
  // entered: the listing makes it the process's current directory, which
  // the caller then reaches without an ANSI name.
  wchar_t currentFolder[kChooserFolderSize];
  // What "OK" hands back: the folder's ANSI form with one backslash at its
  // end, or empty when the folder has no ANSI form.
  char chosen[kAnsiFolderSize];
};

// The ANSI form of `text` into `out` (`outSize` bytes). False when a
// character has none (no look-alike stands in for it) or it does not fit;
// `out` then holds the text with "?" for each such character, as far as it fits.
bool AnsiForm(const wchar_t* text, char* out, int outSize) {
  BOOL lossy = FALSE;
  const int written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, out, outSize, "?", &lossy);
  if (written == 0) out[outSize - 1] = '\0';
  return written > 0 && !lossy;
}

// The folder line shows the process's current directory in ANSI. A name
// without an ANSI form shows "?" where its characters have none: never a
// look-alike of another folder's name ("?" cannot be part of a name).
void ShowFolderLine(HWND dialog) {
  wchar_t folder[kChooserFolderSize] = {};
  const DWORD length = GetCurrentDirectoryW(kChooserFolderSize, folder);
  if (length == 0 || length >= static_cast<DWORD>(kChooserFolderSize)) folder[0] = L'\0';
  char line[kAnsiFolderSize];
  AnsiForm(folder, line, sizeof line);
  SetDlgItemTextA(dialog, IDC_FOLDER_LINE, line);
}

// Lists `folder` into the list and the folder line. The listing call may
// rewrite the text it is given, so it gets a copy. On success the folder
// becomes the current folder (and the process's current directory).
bool ListFolder(HWND dialog, ChooserRun& run, const wchar_t* folder) {
  wchar_t spec[kChooserFolderSize];
  if (!CopyWhole(spec, kChooserFolderSize, folder)) return false;
  if (!DlgDirListW(dialog, spec, IDC_FOLDER_LIST, 0, kListFlags)) return false;
  ShowFolderLine(dialog);
  return CopyWhole(run.currentFolder, kChooserFolderSize, folder);
}

// Moves to the entry that was double-clicked, if it can be listed.
void MoveToSelectedEntry(HWND dialog, ChooserRun& run) {
  const LRESULT index = SendDlgItemMessageW(dialog, IDC_FOLDER_LIST, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return;
  const LRESULT entryLength = SendDlgItemMessageW(dialog, IDC_FOLDER_LIST, LB_GETTEXTLEN, index, 0);
  if (entryLength == LB_ERR || entryLength >= kEntryBufferSize) return;
  wchar_t entry[kEntryBufferSize] = {};
  if (SendDlgItemMessageW(dialog, IDC_FOLDER_LIST, LB_GETTEXT, index,
                          reinterpret_cast<LPARAM>(entry)) == LB_ERR) {
    return;
  }
  // Converted here rather than by DlgDirSelectExW, which takes any entry
  // beginning with "[-" for a drive, so that a folder named "-x" is
  // entered rather than drive X:.
  wchar_t converted[kEntryBufferSize];
  if (!ChooserEntryPath(entry, converted, kEntryBufferSize)) return;
  wchar_t next[kChooserFolderSize];
  if (!NextChooserFolder(run.currentFolder, converted, next, kChooserFolderSize)) return;
  ListFolder(dialog, run, next);  // a folder that cannot be listed leaves the current one
}

// Makes what "OK" hands back from the current folder. False when its ANSI
// form (backslash included) is longer than the caller takes: it is never
// handed back cut.
bool TakeCurrentFolder(ChooserRun& run) {
  wchar_t folder[kChooserFolderSize];
  if (!CopyWhole(folder, kChooserFolderSize, run.currentFolder) || folder[0] == L'\0') return false;
  const size_t length = std::wcslen(folder);
  if (folder[length - 1] != L'\\' && !CopyWhole(folder + length, kChooserFolderSize - int(length), L"\\"))
    return false;
  if (!AnsiForm(folder, run.chosen, sizeof run.chosen)) {
    // No ANSI name: the caller finds the folder as its current directory.
    run.chosen[0] = '\0';
    return true;
  }
  return std::strlen(run.chosen) <= static_cast<size_t>(run.outputSize);
}

void SetPrompt(HWND dialog, const ChooserRun& run, int stringId) {
  char prompt[kPromptBufferSize] = {};
  LoadText(run.instance, stringId, prompt, kPromptBufferSize);
  SetDlgItemTextA(dialog, IDC_FOLDER_PROMPT, prompt);
}

INT_PTR CALLBACK ChooserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* run = reinterpret_cast<ChooserRun*>(lParam);
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    if (!ListFolder(dialog, *run, run->currentFolder)) ShowFolderLine(dialog);
    SetPrompt(dialog, *run, run->promptId);
    return TRUE;
  }
  auto* run = reinterpret_cast<ChooserRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (message != WM_COMMAND || run == nullptr) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
    case IDC_FOLDER_OK:
      // A folder the caller cannot take whole: say so, and stay open.
      if (TakeCurrentFolder(*run)) {
        EndDialog(dialog, 1);
      } else {
        SetPrompt(dialog, *run, IDS_FOLDER_TOO_LONG);
      }
      break;
    case IDCANCEL:
    case IDC_FOLDER_CANCEL:
      EndDialog(dialog, 0);
      break;
    case IDC_FOLDER_LIST:
      if (HIWORD(wParam) == LBN_DBLCLK) MoveToSelectedEntry(dialog, *run);
      break;
    default:
      break;
  }
  return TRUE;
}

}  // namespace

bool ChooseFolder(HINSTANCE instance, HWND owner, char* output, int outputSize, int promptId) {
  if (output == nullptr || outputSize < 0) return false;
  ChooserRun run = {instance, promptId, outputSize, {}, {}};
  // A current directory longer than the chooser can hold starts it empty.
  const DWORD length = GetCurrentDirectoryW(kChooserStartMaxChars + 1, run.currentFolder);
  if (length == 0 || length > kChooserStartMaxChars) run.currentFolder[0] = L'\0';

  if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CHOOSE_FOLDER), owner, ChooserProc,
                      reinterpret_cast<LPARAM>(&run)) <= 0) {
    return false;
  }
  // The dialog ends with 1 only once TakeCurrentFolder found that it fits.
  std::memcpy(output, run.chosen, std::strlen(run.chosen) + 1);
  return true;
}
