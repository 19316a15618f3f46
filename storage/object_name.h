#pragma once

#include <cstdint>
#include <memory>

// How a name is stored and compared. Conversions and case-blind comparisons
// touch the ASCII letters only, whatever the locale.
enum ALCaseMode : std::int32_t {
  CaseUpper = 0,        // stored upper-cased, compared ignoring case
  CaseLower = 1,        // stored lower-cased, compared ignoring case
  CaseSensitive = 2,    // stored as given, compared byte by byte
  CaseInsensitive = 3,  // stored as given, compared ignoring case
};

// The name of a storage: the current name, the name before the last change
// (renames work from it) and the case mode. Owns copies of both strings; at
// most two names are ever held. Not copyable.
class ALObjectName {
 public:
  // Copies `text` (must not be null) and applies the case mode; no old name.
  // If the copy cannot be allocated the object has no name (IsValid() false).
  ALObjectName(const char* text, ALCaseMode mode);
  ~ALObjectName();
  ALObjectName(const ALObjectName&) = delete;
  ALObjectName& operator=(const ALObjectName&) = delete;

  // Replaces the name; nullptr means the empty string. The current name
  // becomes the old name and the previous old name is freed. Passing the very
  // buffer GetName() returned changes nothing; passing GetOldName() works.
  // If the new copy cannot be allocated, the name is left empty (none).
  void SetName(const char* text);

  // Replaces the extension of the file part of the name with `extension`
  // (given with its dot, ".bak"), or appends it if the file part has none; a
  // dot in a folder name does not count. The current name becomes the old
  // name. If the new buffer cannot be allocated the name is left empty.
  void ChangeExtension(const char* extension);

  // Makes the old name current and the current name old (a rename undone).
  void SwapNames();

  // True when `a` and `b` name the same object under this case mode: exact
  // for CaseSensitive, ignoring ASCII case otherwise.
  [[nodiscard]] bool SameName(const char* a, const char* b) const;

  // The current name; "" when there is none. Valid until the next change.
  [[nodiscard]] const char* GetName() const;
  // The previous name; "" when there is none. Valid until the next change.
  [[nodiscard]] const char* GetOldName() const;
  // False when the construction could not store the name.
  [[nodiscard]] bool IsValid() const;
  [[nodiscard]] ALCaseMode CaseMode() const;

 private:
  // Copies `text`, with room for `extra` more characters, converted by the
  // case mode; nullptr when memory runs out.
  [[nodiscard]] std::unique_ptr<char[]> Copy(const char* text, std::size_t extra) const;
  void ApplyCase(char* text) const;

  std::unique_ptr<char[]> name;
  std::unique_ptr<char[]> oldName;
  ALCaseMode caseMode;
};
