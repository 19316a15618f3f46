#pragma once

// The folder chooser's walk through the folders, apart from its dialog so
// that it runs (and is tested) anywhere. Folders are wide text: a folder's name
// need not have a form in the ANSI code page. Sizes count characters.

// Size of the chooser's folder texts (the current folder and the copy handed
// to the listing call) and the longest current directory taken at the start.
constexpr int kChooserFolderSize = 272;
constexpr int kChooserStartMaxChars = 267;

// The path form of a list entry as the listing shows it: a drive "[-x-]"
// gives "x:", a folder "[name]" gives "name\" (the parent "[..]" gives
// "..\"), whatever the name looks like: a folder "-x" shows as "[-x]" and
// stays a folder. Writes it into `out` (`outSize` bytes) and returns 1;
// returns 0 with `out` empty for any other text or when it does not fit.
[[nodiscard]] int ChooserEntryPath(const wchar_t* entry, wchar_t* out, int outSize);

// One step of the double-click walk: the folder reached from `current` by
// the list entry whose path form (as DlgDirSelectExW gives it) is
// `converted` (ChooserEntryPath). A drive entry ("x:", the only form
// without a trailing backslash) leads to that drive's root
// ("x:\"); the parent entry ("..\") to `current` without its last component
// ("C:\Daten" from "C:\Daten\Pakete", "C:\" from "C:\Daten"); any other
// entry, whatever its name looks like ("-x-\", ".cache\"), to `current`, a
// backslash if needed, and `converted`.
// Writes the folder into `out` (`outSize` bytes, zero-terminated) and returns
// 1; returns 0 and leaves `out` empty when it would not fit.
[[nodiscard]] int NextChooserFolder(const wchar_t* current, const wchar_t* converted, wchar_t* out,
                                    int outSize);
