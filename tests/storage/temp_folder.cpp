#include "tests/storage/temp_folder.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#include <process.h>
#else
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
// FILETIME counts 100 ns steps since 1601-01-01.
constexpr long long kFileTimeEpochOffset = 116444736000000000LL;
int ProcessId() { return _getpid(); }
#else
int ProcessId() { return static_cast<int>(getpid()); }
#endif

void MakeWritableTree(const fs::path& root) {
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(root, ignored); it != fs::recursive_directory_iterator();
       it.increment(ignored)) {
#ifdef _WIN32
    SetFileAttributesA(it->path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
#else
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
#endif
  }
}

}  // namespace

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0;; ++attempt) {
    std::ostringstream name;
    name << "storage-test-" << ProcessId() << "-" << tick << "-" << counter++;
    const fs::path candidate = fs::temp_directory_path() / name.str();
    if (fs::create_directory(candidate)) {
      path_ = candidate.string();
      return;
    }
    if (attempt > 100) throw std::runtime_error("cannot make a temporary folder");
  }
}

TempFolder::~TempFolder() {
  MakeWritableTree(path_);
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempFolder::File(const std::string& name) const {
#ifdef _WIN32
  return path_ + "\\" + name;
#else
  return path_ + "/" + name;
#endif
}

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
#ifdef _WIN32
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
#else
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
#endif
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
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  const long long ticks = (static_cast<long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                          data.ftLastWriteTime.dwLowDateTime;
  return (ticks - kFileTimeEpochOffset) / 10000000LL;
#else
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return -1;
  return static_cast<long long>(info.st_mtime);
#endif
}

void SetModificationTimeUtc(const std::string& path, long long utcSeconds) {
#ifdef _WIN32
  const long long ticks = utcSeconds * 10000000LL + kFileTimeEpochOffset;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  const HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
#else
  struct timeval times[2];
  times[0].tv_sec = static_cast<time_t>(utcSeconds);
  times[0].tv_usec = 0;
  times[1] = times[0];
  if (utimes(path.c_str(), times) != 0) throw std::runtime_error("cannot set the time of " + path);
#endif
}
