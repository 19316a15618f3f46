#include "app/install/component_list.h"

#include <cstring>

#include "app/message_text.h"
#include "resources/resource.h"

namespace {

bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

ComponentList::ComponentList(HINSTANCE instance) {
  LoadText(instance, IDS_COMPONENTS, text, kBufferSize);
}

bool ComponentList::Next(char (&name)[kBufferSize]) {
  while (text[position] != '\0' && !IsNameChar(text[position])) ++position;
  std::size_t length = 0;
  // The list's own terminator bounds every name.
  while (IsNameChar(text[position])) name[length++] = text[position++];
  name[length] = '\0';
  return length != 0;
}

bool ComponentList::Empty() const {
  for (const char* c = text; *c != '\0'; ++c) {
    if (IsNameChar(*c)) return false;
  }
  return true;
}
