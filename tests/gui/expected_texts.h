#pragma once

// The installer's texts as the ANSI (Windows-1252) calls must return them
// (captions: tools/demo/installer_texts.h).
// Escapes keep this file ASCII; a literal is split after each \x escape so
// that a following letter cannot extend it.

#include <windows.h>

#include <string>

#include "tools/demo/installer_texts.h"

namespace expected {

// A build's description, given as UTF-8 like the CMake cache variable it
// comes from, in Windows-1252 as the program must show it. Empty when the
// text cannot be converted.
inline std::string Windows1252(const char* utf8) {
  wchar_t wide[1024] = {};
  char ansi[1024] = {};
  BOOL lossy = FALSE;
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, 1024) == 0 ||
      WideCharToMultiByte(1252, 0, wide, -1, ansi, sizeof ansi, nullptr, &lossy) == 0 || lossy)
    return "";
  return ansi;
}

#ifdef ADDON_DESCRIPTION_UTF8
inline const std::string kConfiguredDescription = Windows1252(ADDON_DESCRIPTION_UTF8);
#endif

inline const char kBanner[] = "Verdanelle Zusatzkomponenten - Version 1.0 - www.verdanelle.example";
inline const char kSuccessText[] =
    "Die Installation war erfolgreich.\n\nViel Spa\xdf mit den Zus\xe4" "tzen f\xfc" "r den\n"
    "\"Verdanelle\" - Bildschirmschoner !";
inline const char kNotInstalledText1[] =
    "Der \"Verdanelle\" - Bildschirmschoner ist nicht\nauf Ihrem Rechner installiert.\n"
    "Um Zusatzkomponenten nutzen zu k\xf6" "nnen,\ninstallieren Sie bitte zun\xe4" "chst\nden Bildschirmschoner.";
inline const char kNotInstalledText2[] =
    "Der \"Verdanelle\" - Bildschirmschoner ist erh\xe4" "ltlich unter\n\nwww.verdanelle.example";
inline const char kHelpText[] =
    "Installation von Zusatzkomponenten\r\n\r\n"
    "Um die neuen Zusatzkomponenten f\xfc" "r Ihre \"Verdanelle\" zu installieren, klicken Sie bitte auf "
    "\"Installieren\".\r\n\r\n"
    "Weitere Zus\xe4" "tze erhalten Sie hier bestimmt nicht!";

}  // namespace expected
