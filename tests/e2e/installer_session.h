#pragma once

#include <windows.h>

#include <string>

#include "tests/gui/gui_driver.h"

// The installer's texts that the GUI tests do not use, and dialogs told
// apart by their content (dialogs 205, 206 and the error message share one
// caption). All text is ANSI (Windows-1252), as in the installer.
namespace e2e {

inline const char kExtractingText[] = "Komponente wird entpackt. Bitte warten ...";
inline const char kRegisteringText[] = "Komponente wird registriert.";
inline const char kChooserPrompt[] =
    "Bitte w\xe4" "hlen Sie das Verzeichnis aus,\nin dem sich die Zusatzkompontenten befinden";
inline const char kSuccessTextStart[] = "Die Installation war erfolgreich.";
inline const char kNotInstalledTextStart[] = "Der \"Verdanelle\" - Bildschirmschoner ist nicht";
// Followed by "\n" and the names.
inline const char kFailureTextStart[] = "Folgende Komponenten konnten nicht installiert werden:";

// The first child text of `dialog` that starts with `start` (not empty), or "".
inline std::string TextStartingWith(HWND dialog, const std::string& start) {
  for (HWND child : gui::Children(dialog)) {
    const std::string text = gui::WindowText(child);
    if (!text.empty() && text.compare(0, start.size(), start) == 0) return text;
  }
  return "";
}

inline bool ContainsText(HWND dialog, const std::string& start) {
  return !TextStartingWith(dialog, start).empty();
}

}  // namespace e2e
