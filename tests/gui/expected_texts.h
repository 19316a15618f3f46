#pragma once

// The installer's texts as the ANSI (Windows-1252) calls must return them.
// Escapes keep this file ASCII; a literal is split after each \x escape so
// that a following letter cannot extend it.

namespace expected {

inline const char kMainCaption[] = "Installation von Zusatzkomponenten f\xfc" "r \"Verdanelle\"";
inline const char kInstall[] = "&Installieren";
inline const char kClose[] = "&Schlie\xdf" "en";
inline const char kHelp[] = "&Hilfe";
inline const char kDescription[] =
    "Freuen Sie sich auf mediterrane Sch\xf6" "nheit. Rosa Hibiscus wird von nun an Ihren Garten bereichern.";
inline const char kBanner[] = "Verdanelle Zusatzkomponenten - Version 1.0 - www.verdanelle.example";
inline const char kInfoCaption[] = "Installation von Zusatzkomponenten";
inline const char kSuccessText[] =
    "Die Installation war erfolgreich.\n\nViel Spa\xdf mit den Zus\xe4" "tzen f\xfc" "r den\n"
    "\"Verdanelle\" - Bildschirmschoner !";
inline const char kNotInstalledText1[] =
    "Der \"Verdanelle\" - Bildschirmschoner ist nicht\nauf Ihrem Rechner installiert.\n"
    "Um Zusatzkomponenten nutzen zu k\xf6" "nnen,\ninstallieren Sie bitte zun\xe4" "chst\nden Bildschirmschoner.";
inline const char kNotInstalledText2[] =
    "Der \"Verdanelle\" - Bildschirmschoner ist erh\xe4" "ltlich unter\n\nwww.verdanelle.example";
inline const char kHelpCaption[] = "Hilfe zur Installation von \"Verdanelle\" - Zusatzkomponenten";
inline const char kHelpText[] =
    "Installation von Zusatzkomponenten\r\n\r\n"
    "Um die neuen Zusatzkomponenten f\xfc" "r Ihre \"Verdanelle\" zu installieren, klicken Sie bitte auf "
    "\"Installieren\".\r\n\r\n"
    "Weitere Zus\xe4" "tze erhalten Sie hier bestimmt nicht!";
inline const char kFolderCaption[] = "W\xe4" "hlen Sie ein Verzeichnis aus";

}  // namespace expected
