#include "tests/support/test_files.h"

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include <utime.h>

namespace fs = std::filesystem;

TempFolder::TempFolder(bool enter) {
  // Numbers taken by other runs are skipped; a folder that cannot be made
  // at all throws.
  static std::atomic<unsigned> counter{std::random_device{}()};
  fs::path candidate;
  do {
    candidate = fs::temp_directory_path() / ("addon-test-" + std::to_string(counter++ % 1000000));
  } while (!fs::create_directory(candidate));
  path_ = candidate.string();
  if (!enter) return;
  previous_ = fs::current_path().string();
  fs::current_path(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!previous_.empty()) fs::current_path(previous_, ignored);
  RemoveTree(path_);
}

void RemoveTree(const std::string& path) {
  std::error_code ignored;
  // Read-only files must become writable before Windows lets them go.
  for (auto it = fs::recursive_directory_iterator(path, ignored); it != fs::recursive_directory_iterator();
       it.increment(ignored)) {
    fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
  }
  fs::remove_all(path, ignored);
}

std::string TempFolder::File(const std::string& name) const { return (fs::path(path_) / name).string(); }

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// A dangling link counts: what a test put under a name as a link must go too.
bool FileExists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(path, ignored));
}

void MakeReadOnly(const std::string& path) {
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

// The C runtime's stat and utime: on Windows they read the read-only
// attribute as a missing write permission and count in UTC, like POSIX.
bool IsReadOnly(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;
}

long long ModificationTimeUtc(const std::string& path) {
#ifdef _WIN32
  struct _stat64 info;  // the plain stat's time is 32-bit there
  return _stat64(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_mtime) : -1;
#else
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_mtime) : -1;
#endif
}

void SetModificationTimeUtc(const std::string& path, long long utcSeconds) {
  struct utimbuf times = {static_cast<time_t>(utcSeconds), static_cast<time_t>(utcSeconds)};
  if (utime(path.c_str(), &times) != 0) throw std::runtime_error("cannot set the time of " + path);
}
