#pragma once

#include <windows.h>

#include <cstddef>

#include "app/message_text.h"

// The base names of the components a build installs, from its string 2:
// runs of ASCII letters and digits; every other byte separates names
// (leading and trailing ones included). The list is read once and never
// written; each name is copied out whole.
class ComponentList {
 public:
  // Room for the list (string 2), and so for any one name, with terminator.
  static constexpr int kBufferSize = kBuildTextBufferSize;

  // Loads string 2 of `instance`; a missing string is an empty list.
  explicit ComponentList(HINSTANCE instance);
  ComponentList(const ComponentList&) = delete;
  ComponentList& operator=(const ComponentList&) = delete;

  // Copies the next name into `name` and returns true; false, with `name`
  // empty, past the last one.
  [[nodiscard]] bool Next(char (&name)[kBufferSize]);

  // Whether the list holds no name at all.
  [[nodiscard]] bool Empty() const;

 private:
  char text[kBufferSize] = {};
  std::size_t position = 0;
};
