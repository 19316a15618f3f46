#pragma once

#include <cstddef>

// Bounded text assembly for the installer's messages. Every function keeps
// `buffer` (of `size` bytes, size >= 1) zero-terminated and never writes
// past it; text that does not fit is cut.

// Appends as much of `text` as fits.
void AppendCut(char* buffer, std::size_t size, const char* text);

// Appends `pattern` with `text` in place of its first `marker` (the pattern
// alone when it has none). `text` is inserted as it is, never used as a
// format, so names from outside cannot turn into conversions.
void AppendFilled(char* buffer, std::size_t size, const char* pattern, const char* marker,
                  const char* text);
