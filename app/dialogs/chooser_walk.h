#pragma once

// The folder chooser's walk through the folders, apart from its dialog so
// that it runs (and is tested) anywhere. Folders are wide text: a folder's name
// need not have a form in the ANSI code page. Sizes count characters.

// The longest current directory the chooser starts in; a longer one starts
// it with an empty folder text, which "OK" refuses.
constexpr int kChooserStartMaxChars = 267;
// The listing call may rewrite the copy of the folder it is handed: behind
// the longest start folder there is room for the search pattern it lists
// the folder by.
constexpr wchar_t kListingPattern[] = L"\\*.*";
// Size of the chooser's folder texts (the current folder, the copy handed to
// the listing call, every folder a step leads to), terminator included: the
// longest start folder and the listing pattern behind it. A step may lead to
// a folder that fills that room too; one that would not fit is not entered.
constexpr int kChooserFolderSize =
    kChooserStartMaxChars + static_cast<int>(sizeof kListingPattern / sizeof kListingPattern[0]);

// Copies `source` into `target` (`targetSize` characters, terminator
// included) only if it fits whole, and says whether it did; `target` is
// left alone otherwise. The two may be the same text (the listing may hand
// back the current folder itself).
[[nodiscard]] bool CopyWhole(wchar_t* target, int targetSize, const wchar_t* source);

// The path form of a list entry as the listing shows it: a drive "[-x-]"
// gives "x:", a folder "[name]" gives "name\" (the parent "[..]" gives
// "..\"), whatever the name looks like: a folder "-x" shows as "[-x]" and
// stays a folder. Writes it into `out` (`outSize` characters) and returns
// true; returns false with `out` empty for any other text or when it does
// not fit.
[[nodiscard]] bool ChooserEntryPath(const wchar_t* entry, wchar_t* out, int outSize);

// One step of the double-click walk: the folder reached from `current` by
// the list entry whose path form (as DlgDirSelectExW gives it) is
// `converted` (ChooserEntryPath). A drive entry ("x:", the only form
// without a trailing backslash) leads to that drive's root
// ("x:\"); the parent entry ("..\") to `current` without its last component
// ("C:\Daten" from "C:\Daten\Pakete", "C:\" from "C:\Daten"); any other
// entry, whatever its name looks like ("-x-\", ".cache\"), to `current`, a
// backslash if needed, and `converted`.
// Writes the folder into `out` (`outSize` characters, zero-terminated) and
// returns true; returns false and leaves `out` empty when it would not fit.
[[nodiscard]] bool NextChooserFolder(const wchar_t* current, const wchar_t* converted, wchar_t* out,
                                     int outSize);
