#include "storage/object_name.h"

#include <cstring>
#include <new>
#include <utility>

namespace {

char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

ALObjectName::ALObjectName(const char* text, ALCaseMode mode) : caseMode(mode) {
  name = Copy(text != nullptr ? text : "", 0);
}

ALObjectName::~ALObjectName() = default;

std::unique_ptr<char[]> ALObjectName::Copy(const char* text, std::size_t extra) const {
  const std::size_t length = std::strlen(text);
  std::unique_ptr<char[]> copy(new (std::nothrow) char[length + extra + 1]);
  if (!copy) return copy;
  std::memcpy(copy.get(), text, length + 1);
  ApplyCase(copy.get());
  return copy;
}

void ALObjectName::ApplyCase(char* text) const {
  if (caseMode == CaseUpper) {
    for (char* p = text; *p != '\0'; ++p) *p = ToUpperAscii(*p);
  } else if (caseMode == CaseLower) {
    for (char* p = text; *p != '\0'; ++p) *p = ToLowerAscii(*p);
  }
}

void ALObjectName::SetName(const char* text) {
  if (text == nullptr) text = "";
  if (name && text == name.get()) return;
  // Copy before anything is freed: `text` may be the old name itself.
  std::unique_ptr<char[]> fresh = Copy(text, 0);
  oldName = std::move(name);
  name = std::move(fresh);
}

void ALObjectName::ChangeExtension(const char* extension) {
  const char* current = GetName();
  const std::size_t extensionLength = std::strlen(extension);
  std::unique_ptr<char[]> fresh = Copy(current, extensionLength);
  oldName = std::move(name);
  name = std::move(fresh);
  if (!name) return;
  // Only a dot in the file part is an extension: "C:\old.dir\readme" must
  // become "C:\old.dir\readme.bak", not "C:\old.bak".
  char* fileStart = name.get();
  for (char* p = name.get(); *p != '\0'; ++p) {
    if (IsSeparator(*p)) fileStart = p + 1;
  }
  char* dot = std::strrchr(fileStart, '.');
  char* end = dot != nullptr ? dot : fileStart + std::strlen(fileStart);
  std::memcpy(end, extension, extensionLength + 1);
  ApplyCase(name.get());
}

void ALObjectName::SwapNames() { std::swap(name, oldName); }

bool ALObjectName::SameName(const char* a, const char* b) const {
  if (caseMode == CaseSensitive) return std::strcmp(a, b) == 0;
  for (;; ++a, ++b) {
    if (ToLowerAscii(*a) != ToLowerAscii(*b)) return false;
    if (*a == '\0') return true;
  }
}

const char* ALObjectName::GetName() const { return name ? name.get() : ""; }

const char* ALObjectName::GetOldName() const { return oldName ? oldName.get() : ""; }

bool ALObjectName::IsValid() const { return static_cast<bool>(name); }

ALCaseMode ALObjectName::CaseMode() const { return caseMode; }
