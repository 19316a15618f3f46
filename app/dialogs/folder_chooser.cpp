#include "app/dialogs/folder_chooser.h"

#include <cstring>

#include "app/dialogs/chooser_walk.h"
#include "resources/resource.h"

namespace {

// Only sub-folders and drives, no files: DDL_DIRECTORY | DDL_DRIVES | DDL_EXCLUSIVE.
constexpr UINT kListFlags = 0xC010;

constexpr int kPromptBufferSize = 400;
constexpr int kEntryBufferSize = 260;

// One run of the chooser, handed to its dialog procedure at creation.
struct ChooserRun {
  HINSTANCE instance;
  int promptId;
  // The folder shown: the process's current directory at the start, then
  // every folder listed successfully.
  char currentFolder[kChooserFolderSize];
};

// Copies `source` into `target` (`targetSize` bytes) only if it fits whole.
bool CopyWhole(char* target, int targetSize, const char* source) {
  const size_t length = std::strlen(source);
  if (length >= static_cast<size_t>(targetSize)) return false;
  std::memmove(target, source, length + 1);  // the listing may pass the current folder itself
  return true;
}

// Lists `folder` into the list and the folder line. The listing call may
// rewrite the text it is given, so it gets a copy. On success the folder
// becomes the current folder (and the process's current directory).
bool ListFolder(HWND dialog, ChooserRun& run, const char* folder) {
  char spec[kChooserFolderSize];
  if (!CopyWhole(spec, sizeof spec, folder)) return false;
  if (!DlgDirListA(dialog, spec, IDC_FOLDER_LIST, IDC_FOLDER_LINE, kListFlags)) return false;
  return CopyWhole(run.currentFolder, sizeof run.currentFolder, folder);
}

// Moves to the entry that was double-clicked, if it can be listed.
void MoveToSelectedEntry(HWND dialog, ChooserRun& run) {
  const LRESULT index = SendDlgItemMessageA(dialog, IDC_FOLDER_LIST, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return;
  const LRESULT entryLength = SendDlgItemMessageA(dialog, IDC_FOLDER_LIST, LB_GETTEXTLEN, index, 0);
  if (entryLength == LB_ERR || entryLength >= kEntryBufferSize) return;
  char entry[kEntryBufferSize] = {};
  if (SendDlgItemMessageA(dialog, IDC_FOLDER_LIST, LB_GETTEXT, index,
                          reinterpret_cast<LPARAM>(entry)) == LB_ERR) {
    return;
  }
  // Converted here rather than by DlgDirSelectExA, which takes any entry
  // beginning with "[-" for a drive, so that a folder named "-x" is
  // entered rather than drive X:.
  char converted[kEntryBufferSize];
  if (!ChooserEntryPath(entry, converted, sizeof converted)) return;
  char next[kChooserFolderSize];
  if (!NextChooserFolder(run.currentFolder, converted, next, sizeof next)) return;
  ListFolder(dialog, run, next);  // a folder that cannot be listed leaves the current one
}

INT_PTR CALLBACK ChooserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* run = reinterpret_cast<ChooserRun*>(lParam);
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    ListFolder(dialog, *run, run->currentFolder);
    char prompt[kPromptBufferSize] = {};
    if (LoadStringA(run->instance, run->promptId, prompt, kPromptBufferSize) <= 0) prompt[0] = '\0';
    SetDlgItemTextA(dialog, IDC_FOLDER_PROMPT, prompt);
    return TRUE;
  }
  auto* run = reinterpret_cast<ChooserRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (message != WM_COMMAND || run == nullptr) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
    case IDC_FOLDER_OK:
      EndDialog(dialog, 1);
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

int ChooseFolder(HINSTANCE instance, HWND owner, char* output, int outputSize, int promptId) {
  ChooserRun run = {instance, promptId, {}};
  // A current directory longer than the chooser can hold starts it empty.
  const DWORD length = GetCurrentDirectoryA(kChooserStartMaxChars + 1, run.currentFolder);
  if (length == 0 || length > kChooserStartMaxChars) run.currentFolder[0] = '\0';

  if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CHOOSE_FOLDER), owner, ChooserProc,
                      reinterpret_cast<LPARAM>(&run)) <= 0) {
    return 0;
  }
  if (run.currentFolder[0] == '\0' || output == nullptr || outputSize < 0) return 0;

  size_t folderLength = std::strlen(run.currentFolder);
  if (run.currentFolder[folderLength - 1] != '\\') {
    if (folderLength + 1 >= sizeof run.currentFolder) return 0;
    run.currentFolder[folderLength++] = '\\';
    run.currentFolder[folderLength] = '\0';
  }
  std::strncpy(output, run.currentFolder, static_cast<size_t>(outputSize));
  output[outputSize] = '\0';
  return 1;
}
