#pragma once

#include <windows.h>

#include <cstddef>

// Bounded text assembly for the installer's messages and paths. Every
// function keeps `buffer` (of `size` bytes, size >= 1) zero-terminated and
// never writes past it. Messages are cut where they do not fit; a path is
// whole or nothing, since a cut one would name some other file.

// Appends as much of `text` as fits.
void AppendCut(char* buffer, std::size_t size, const char* text);

// Appends `text` only if all of it fits; returns whether it did (the buffer
// is unchanged otherwise).
[[nodiscard]] bool AppendWhole(char* buffer, std::size_t size, const char* text);

// Appends `pattern` with `text` in place of its first `marker` (the pattern
// alone when it has none). `text` is inserted as it is, never used as a
// format, so names from outside cannot turn into conversions.
void AppendFilled(char* buffer, std::size_t size, const char* pattern, const char* marker,
                  const char* text);

// Room for a text the build puts into the string table (the description,
// the component list): the build refuses one longer than 399 characters
// (cmake/Installer.cmake), so it always fits whole with its terminator.
constexpr int kBuildTextBufferSize = 400;

// Loads string `id` of `instance` into `buffer` (`size` bytes, size >= 1),
// cut to fit; the empty text when there is no such string. Returns the
// length loaded.
int LoadText(HINSTANCE instance, int id, char* buffer, int size);
