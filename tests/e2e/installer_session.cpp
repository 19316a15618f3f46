#include "tests/e2e/installer_session.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace e2e {

const char kExtractingText[] = "Komponente wird entpackt. Bitte warten ...";
const char kRegisteringText[] = "Komponente wird registriert.";
const char kChooserPrompt[] =
    "Bitte w\xe4" "hlen Sie das Verzeichnis aus,\nin dem sich die Zusatzkompontenten befinden";
const char kSuccessTextStart[] = "Die Installation war erfolgreich.";
const char kNotInstalledTextStart[] = "Der \"Verdanelle\" - Bildschirmschoner ist nicht";
const char kFailureTextStart[] = "Folgende Komponenten konnten nicht installiert werden:";

std::vector<unsigned char> ReadBytes(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot read " + path);
  std::vector<unsigned char> bytes(GetFileSize(file, nullptr));
  DWORD done = 0;
  const BOOL ok = bytes.empty() || ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                            &done, nullptr);
  CloseHandle(file);
  if (!ok || done != bytes.size()) throw std::runtime_error("short read of " + path);
  return bytes;
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + path);
  DWORD done = 0;
  const BOOL ok = bytes.empty() || WriteFile(file, bytes.data(),
                                             static_cast<DWORD>(bytes.size()), &done, nullptr);
  CloseHandle(file);
  if (!ok || done != bytes.size()) throw std::runtime_error("short write of " + path);
}

void RemoveTree(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    DeleteFileA(path.c_str());
    return;
  }
  for (const std::string& entry : FolderEntries(path)) RemoveTree(path + "\\" + entry);
  RemoveDirectoryA(path.c_str());
}

void MakeFolder(const std::string& path) {
  if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    throw std::runtime_error("cannot make " + path);
  }
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> TempCopies() {
  char folder[MAX_PATH + 1] = {};
  GetTempPathA(sizeof folder, folder);
  std::vector<std::string> copies;
  for (const std::string& name : FolderEntries(folder)) {
    if (_strnicmp(name.c_str(), "xzx", 3) == 0) copies.push_back(name);
  }
  return copies;
}

std::vector<unsigned char> Deflate(const std::vector<unsigned char>& data, int level) {
  z_stream stream = {};
  if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::vector<unsigned char> packed(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = packed.data();
  stream.avail_out = static_cast<uInt>(packed.size());
  const int result = deflate(&stream, Z_FINISH);
  packed.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate");
  return packed;
}

std::string TextStartingWith(HWND dialog, const std::string& start) {
  for (HWND child : gui::Children(dialog)) {
    const std::string text = gui::WindowText(child);
    if (text.compare(0, start.size(), start) == 0) return text;
  }
  return "";
}

bool ContainsText(HWND dialog, const std::string& start) {
  for (HWND child : gui::Children(dialog)) {
    if (gui::WindowText(child).compare(0, start.size(), start) == 0) return true;
  }
  return false;
}

HWND FindDialog(DWORD processId, const std::string& caption, const char* text) {
  HWND found = gui::FindTopLevelWindow(caption, processId);
  if (found == nullptr || text == nullptr || ContainsText(found, text)) return found;
  return nullptr;
}

HWND WaitDialog(DWORD processId, const std::string& caption, const char* text,
                DWORD timeoutMs) {
  HWND found = nullptr;
  gui::WaitUntil([&] { return (found = FindDialog(processId, caption, text)) != nullptr; },
                 timeoutMs);
  return found;
}

bool IsCentred(HWND window) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  return rect.left == screenWidth / 2 - width / 2 && rect.top == screenHeight / 2 - height / 2;
}

HWND FocusOfThread(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

std::vector<std::string> ListEntries(HWND list) {
  // Asked in UTF-16: Wine hands the ANSI form of LB_GETTEXT to another
  // process unconverted.
  std::vector<std::string> entries;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
    if (length < 0 || length > 1024) continue;
    std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&wide[0]));
    char text[4 * 1024 + 8] = {};
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text, sizeof text - 1, nullptr, nullptr);
    entries.push_back(text);
  }
  return entries;
}

bool DoubleClickEntry(HWND dialog, int listId, const std::string& entry) {
  HWND list = GetDlgItem(dialog, listId);
  const std::vector<std::string> entries = ListEntries(list);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (_stricmp(entries[i].c_str(), entry.c_str()) != 0) continue;
    SendMessageA(list, LB_SETCURSEL, i, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(listId, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list));
    return true;
  }
  return false;
}

}  // namespace e2e
