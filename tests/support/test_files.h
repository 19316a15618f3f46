#pragma once

#include <string>
#include <vector>

// Files for the tests, handled without the storage layer under test.

// A fresh folder under the system's temporary folder, removed with
// everything in it (read-only files included) when the object goes. An
// entered folder is the current folder for the object's lifetime.
class TempFolder {
 public:
  explicit TempFolder(bool enter = false);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  // `name` inside the folder, joined with the platform's separator.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
  std::string previous_;  // the current folder before an entered one
};

// Removes `path` with everything below it, read-only files included; a
// missing one is fine.
void RemoveTree(const std::string& path);

// Whole file content; empty when the file cannot be read.
std::string ReadWholeFile(const std::string& path);
// Replaces the file's content; throws when it cannot.
void WriteWholeFile(const std::string& path, const std::string& content);
inline void WriteWholeFile(const std::string& path, const std::vector<unsigned char>& content) {
  WriteWholeFile(path, std::string(content.begin(), content.end()));
}
bool FileExists(const std::string& path);
void MakeReadOnly(const std::string& path);
// On Windows by the file's read-only attribute, elsewhere by the owner's
// write permission.
bool IsReadOnly(const std::string& path);
// Last-write time in seconds since 1970-01-01 UTC (-1 when unknown); setting it.
long long ModificationTimeUtc(const std::string& path);
void SetModificationTimeUtc(const std::string& path, long long utcSeconds);
