#pragma once

#include <windows.h>

#include <string>

#include "tools/demo/gui_driver.h"

// The installer's captions and the texts that tell its dialogs apart
// (dialogs 205, 206 and the error message share one caption), as the ANSI
// calls return them (Windows-1252; escapes keep this file ASCII, and a
// literal is split after each \x escape so that a following letter cannot
// extend it).
namespace texts {

inline const char kMainCaption[] = "Installation von Zusatzkomponenten f\xfc" "r \"Verdanelle\"";
inline const char kInfoCaption[] = "Installation von Zusatzkomponenten";
inline const char kHelpCaption[] = "Hilfe zur Installation von \"Verdanelle\" - Zusatzkomponenten";
inline const char kFolderCaption[] = "W\xe4" "hlen Sie ein Verzeichnis aus";

inline const char kExtractingText[] = "Komponente wird entpackt. Bitte warten ...";
inline const char kRegisteringText[] = "Komponente wird registriert.";
inline const char kChooserPrompt[] =
    "Bitte w\xe4" "hlen Sie das Verzeichnis aus,\nin dem sich die Zusatzkompontenten befinden";
inline const char kSuccessTextStart[] = "Die Installation war erfolgreich.";
inline const char kNotInstalledTextStart[] = "Der \"Verdanelle\" - Bildschirmschoner ist nicht";
// Followed by "\n" and a line "<name>: <reason>" per failed component.
inline const char kFailureTextStart[] = "Folgende Komponenten konnten nicht installiert werden:";
// Said when the single-instance lock cannot be made.
inline const char kLockUnavailableTextStart[] = "Das Installationsprogramm kann nicht gestartet werden";
// The question about a held module (dialog 208); the module's path follows.
inline const char kInUseQuestionStart[] = "Die Komponente\n";

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

}  // namespace texts
