#include "app/folder_chooser.h"

#include <cstring>

#include "resources/resource.h"

namespace {

// Only sub-folders and drives, no files: DDL_DIRECTORY | DDL_DRIVES | DDL_EXCLUSIVE.
constexpr UINT kListFlags = 0xC010;

constexpr int kPromptBufferSize = 400;
constexpr int kEntryBufferSize = 260;
constexpr int kEntryMaxChars = 259;

// The folder shown; outlives one run and is refilled at the next start.
char currentFolder[kChooserFolderSize];
// The instance and prompt of the running chooser, for the dialog procedure.
HINSTANCE chooserInstance;
int chooserPromptId;

// Copies `source` into `target` (`targetSize` bytes) only if it fits whole.
bool CopyWhole(char* target, int targetSize, const char* source) {
  const size_t length = std::strlen(source);
  if (length >= static_cast<size_t>(targetSize)) return false;
  std::memmove(target, source, length + 1);  // the listing may pass the current folder itself
  return true;
}

bool EndsWithBackslash(const char* text) {
  const size_t length = std::strlen(text);
  return length > 0 && text[length - 1] == '\\';
}

// [..] comes back as "..\"; a folder whose name merely begins with a full
// stop (".cache\") is a sub-folder like any other.
bool IsParentEntry(const char* converted) {
  return std::strcmp(converted, "..\\") == 0 || std::strcmp(converted, "..") == 0;
}

bool IsDriveRoot(const char* folder) {
  return std::strlen(folder) == 3 && folder[1] == ':' && folder[2] == '\\';
}

// Lists `folder` into the list and the folder line. The listing call may
// rewrite the text it is given, so it gets a copy. On success the folder
// becomes the current folder (and the process's current directory).
bool ListFolder(HWND dialog, const char* folder) {
  char spec[kChooserFolderSize];
  if (!CopyWhole(spec, sizeof spec, folder)) return false;
  if (!DlgDirListA(dialog, spec, IDC_FOLDER_LIST, IDC_FOLDER_LINE, kListFlags)) return false;
  return CopyWhole(currentFolder, sizeof currentFolder, folder);
}

// Moves to the entry that was double-clicked, if it can be listed.
void MoveToSelectedEntry(HWND dialog) {
  const LRESULT index = SendDlgItemMessageA(dialog, IDC_FOLDER_LIST, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return;
  const LRESULT entryLength = SendDlgItemMessageA(dialog, IDC_FOLDER_LIST, LB_GETTEXTLEN, index, 0);
  if (entryLength == LB_ERR || entryLength >= kEntryBufferSize) return;
  char entry[kEntryBufferSize] = {};
  if (SendDlgItemMessageA(dialog, IDC_FOLDER_LIST, LB_GETTEXT, index,
                          reinterpret_cast<LPARAM>(entry)) == LB_ERR) {
    return;
  }
  const bool driveEntry = entry[0] != '\0' && entry[1] == '-';

  char converted[kEntryBufferSize] = {};
  DlgDirSelectExA(dialog, converted, kEntryMaxChars, IDC_FOLDER_LIST);
  converted[kEntryMaxChars] = '\0';

  char next[kChooserFolderSize];
  if (!NextChooserFolder(currentFolder, converted, driveEntry, next, sizeof next)) return;
  ListFolder(dialog, next);  // a folder that cannot be listed leaves the current one
}

INT_PTR CALLBACK ChooserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      ListFolder(dialog, currentFolder);
      char prompt[kPromptBufferSize] = {};
      if (LoadStringA(chooserInstance, chooserPromptId, prompt, kPromptBufferSize) <= 0) {
        prompt[0] = '\0';
      }
      SetDlgItemTextA(dialog, IDC_FOLDER_PROMPT, prompt);
      return TRUE;
    }
    case WM_COMMAND:
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
          if (HIWORD(wParam) == LBN_DBLCLK) MoveToSelectedEntry(dialog);
          break;
        default:
          break;
      }
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int NextChooserFolder(const char* current, const char* converted, bool driveEntry, char* out,
                      int outSize) {
  if (out == nullptr || outSize <= 0) return 0;
  out[0] = '\0';
  if (current == nullptr || converted == nullptr) return 0;

  char next[kChooserFolderSize] = {};
  if (driveEntry) {
    if (!CopyWhole(next, sizeof next - 1, converted)) return 0;
    std::strcat(next, "\\");
  } else if (IsParentEntry(converted)) {
    if (!CopyWhole(next, sizeof next, current)) return 0;
    size_t length = std::strlen(next);
    if (length > 0 && next[length - 1] == '\\' && !IsDriveRoot(next)) next[--length] = '\0';
    char* last = std::strrchr(next, '\\');
    if (last != nullptr) {
      if (std::strchr(next, '\\') != last) {
        *last = '\0';  // C:\Daten\Pakete -> C:\Daten
      } else {
        last[1] = '\0';  // C:\Daten -> C:\ (a root keeps its backslash)
      }
    }
  } else {
    const size_t currentLength = std::strlen(current);
    const bool needsBackslash = currentLength > 0 && current[currentLength - 1] != '\\';
    const size_t total = currentLength + (needsBackslash ? 1 : 0) + std::strlen(converted);
    if (total >= sizeof next) return 0;
    std::strcpy(next, current);
    if (needsBackslash) std::strcat(next, "\\");
    std::strcat(next, converted);
  }
  return CopyWhole(out, outSize, next) ? 1 : 0;
}

int ChooseFolder(HINSTANCE instance, HWND owner, char* output, int outputSize, int promptId) {
  // A current directory longer than the chooser can hold starts it empty.
  const DWORD length = GetCurrentDirectoryA(kChooserStartMaxChars + 1, currentFolder);
  if (length == 0 || length > kChooserStartMaxChars) currentFolder[0] = '\0';

  chooserInstance = instance;
  chooserPromptId = promptId;
  if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CHOOSE_FOLDER), owner, ChooserProc, 0) <= 0) {
    return 0;
  }
  if (currentFolder[0] == '\0' || output == nullptr || outputSize < 0) return 0;

  if (!EndsWithBackslash(currentFolder)) {
    const size_t folderLength = std::strlen(currentFolder);
    if (folderLength + 1 >= sizeof currentFolder) return 0;
    currentFolder[folderLength] = '\\';
    currentFolder[folderLength + 1] = '\0';
  }
  std::strncpy(output, currentFolder, static_cast<size_t>(outputSize));
  output[outputSize] = '\0';
  return 1;
}
