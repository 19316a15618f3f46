#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/gui/gui_driver.h"

// What the end-to-end tests need beyond the GUI driver: the installer's
// texts that the GUI tests do not use, dialogs recognised by their content
// (dialogs 205, 206 and the error message share one caption), the folder
// chooser's list, and the files and packages a run works on. All text is
// ANSI (Windows-1252), as in the installer.
namespace e2e {

inline const char kExtractingText[] = "Komponente wird entpackt. Bitte warten ...";
inline const char kRegisteringText[] = "Komponente wird registriert.";
inline const char kChooserPrompt[] =
    "Bitte w\xe4" "hlen Sie das Verzeichnis aus,\nin dem sich die Zusatzkompontenten befinden";
inline const char kSuccessTextStart[] = "Die Installation war erfolgreich.";
inline const char kNotInstalledTextStart[] = "Der \"Verdanelle\" - Bildschirmschoner ist nicht";
// Followed by "\n" and the names.
inline const char kFailureTextStart[] = "Folgende Komponenten konnten nicht installiert werden:";

using Bytes = std::vector<unsigned char>;

// Files and folders (Windows paths). Reading or writing throws on failure.
Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);
void RemoveTree(const std::string& path);  // clears read-only attributes first
void MakeFolder(const std::string& path);
// Names of the entries of `folder`, without "." and "..", sorted.
std::vector<std::string> FolderEntries(const std::string& folder);
// Names in the temp folder that start with "xzx".
std::vector<std::string> TempCopies();

// Raw deflate (no header, no trailer) of `data`.
Bytes Deflate(const Bytes& data, int level);

// The first child text of `dialog` that starts with `start` (not empty), or "".
std::string TextStartingWith(HWND dialog, const std::string& start);
inline bool ContainsText(HWND dialog, const std::string& start) {
  return !TextStartingWith(dialog, start).empty();
}

// A top-level window of `processId` with `caption` and, if given, a child
// text that starts with `text`: now, or waiting up to `timeoutMs`.
HWND FindDialog(DWORD processId, const std::string& caption, const char* text = nullptr);
HWND WaitDialog(DWORD processId, const std::string& caption, const char* text = nullptr,
                DWORD timeoutMs = 20000);

// Whether `window` sits where the installer centres its dialogs: left
// W/2 - w/2, top H/2 - h/2 of the screen.
bool IsCentred(HWND window);

// The window with the keyboard focus in the thread that owns `window`.
HWND FocusOfThread(HWND window);

// The entries of a list box of another process.
std::vector<std::string> ListEntries(HWND list);
// Selects the entry `entry` (compared without case) of list `listId` and
// sends its dialog the double-click notification, as a double click does.
// False when the list has no such entry.
bool DoubleClickEntry(HWND dialog, int listId, const std::string& entry);

}  // namespace e2e
