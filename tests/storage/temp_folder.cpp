#include "tests/storage/temp_folder.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#include <sys/utime.h>
#else
#include <utime.h>
#endif

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = fs::temp_directory_path() / ("storage-test-" + std::to_string(counter++ % 1000000));
    if (fs::create_directory(candidate)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempFolder::~TempFolder() {
  // Read-only files must become writable before Windows lets them go.
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
       it.increment(ignored)) {
    fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

std::string TempFolder::File(const std::string& name) const { return (fs::path(path_) / name).string(); }

CurrentFolder::CurrentFolder(const std::string& path) : previous_(fs::current_path().string()) {
  fs::current_path(path);
}

CurrentFolder::~CurrentFolder() {
  std::error_code ignored;
  fs::current_path(previous_, ignored);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteWholeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}

void MakeReadOnly(const std::string& path) {
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

bool IsReadOnly(const std::string& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
#else
  struct stat info;
  return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;
#endif
}

long long ModificationTimeUtc(const std::string& path) {
#ifdef _WIN32
  // FILETIME counts 100 ns steps since 1601.
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  const long long ticks = (static_cast<long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                          data.ftLastWriteTime.dwLowDateTime;
  return (ticks - 116444736000000000LL) / 10000000LL;
#else
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_mtime) : -1;
#endif
}

void SetModificationTimeUtc(const std::string& path, long long utcSeconds) {
#ifdef _WIN32
  struct __utimbuf64 times = {utcSeconds, utcSeconds};
  const int result = _utime64(path.c_str(), &times);
#else
  struct utimbuf times = {static_cast<time_t>(utcSeconds), static_cast<time_t>(utcSeconds)};
  const int result = utime(path.c_str(), &times);
#endif
  if (result != 0) throw std::runtime_error("cannot set the time of " + path);
}
