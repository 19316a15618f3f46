#include "app/message_text.h"

#include <cstring>

void AppendCut(char* buffer, std::size_t size, const char* text) {
  std::size_t used = std::strlen(buffer);
  while (*text != '\0' && used + 1 < size) buffer[used++] = *text++;
  buffer[used] = '\0';
}

bool AppendWhole(char* buffer, std::size_t size, const char* text) {
  const std::size_t used = std::strlen(buffer);
  const std::size_t length = std::strlen(text);
  if (used + length >= size) return false;
  std::memcpy(buffer + used, text, length + 1);
  return true;
}

void AppendFilled(char* buffer, std::size_t size, const char* pattern, const char* marker,
                  const char* text) {
  const char* at = std::strstr(pattern, marker);
  if (at == nullptr) {
    AppendCut(buffer, size, pattern);
    return;
  }
  // The part before the marker, bounded by both the pattern and the buffer.
  std::size_t used = std::strlen(buffer);
  for (const char* p = pattern; p != at && used + 1 < size; ++p) buffer[used++] = *p;
  buffer[used] = '\0';
  AppendCut(buffer, size, text);
  AppendCut(buffer, size, at + std::strlen(marker));
}

int LoadText(HINSTANCE instance, int id, char* buffer, int size) {
  const int length = LoadStringA(instance, static_cast<UINT>(id), buffer, size);
  if (length > 0) return length;
  buffer[0] = '\0';
  return 0;
}
