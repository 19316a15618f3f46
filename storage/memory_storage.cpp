#include "storage/memory_storage.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {
constexpr int kErrnoNoEntry = 2;
constexpr int kErrnoIo = 5;
constexpr int kErrnoNoSpace = 28;
}  // namespace

ALMemoryStorage::ALMemoryStorage(const char* nameText, std::int32_t bufferBytes,
                                 std::vector<unsigned char> initialContent)
    : ALStorage(nameText, bufferBytes, kTypeCode, CaseInsensitive),
      content(std::move(initialContent)) {}

ALMemoryStorage::~ALMemoryStorage() {
  if (IsOpen()) Close();
}

int ALMemoryStorage::Open() {
  if (status.code < 0) return status.code;
  if (failOpen) {
    return status.SetError(StatusOpenFailed, "File open failure.  Open of %s returned errno = %d",
                           name.GetName(), kErrnoNoEntry);
  }
  ALStorage::Open();
  size = static_cast<std::int32_t>(content.size());
  return status.code;
}

int ALMemoryStorage::Create(std::int32_t unused) {
  if (ALStorage::Create(unused) < 0) return status.code;
  if (failCreate) {
    return status.SetError(StatusOpenFailed,
                           "File creation failure.  Open of %s returned errno = %d",
                           name.GetName(), kErrnoNoEntry);
  }
  content.clear();
  return 0;
}

int ALMemoryStorage::Close() {
  ++closeCalls;
  if (!IsOpen()) return status.code;
  if (created) FlushBuffer();
  size = static_cast<std::int32_t>(content.size());
  created = 0;
  return ALStorage::Close();
}

int ALMemoryStorage::LoadBuffer(std::int32_t position) {
  const int call = loadCalls++;
  if (status.code < 0) return status.code;
  if (call == failLoadAt) {
    return status.SetError(StatusReadFailed, "Read failure on %s.  errno = %d", name.GetName(),
                           kErrnoIo);
  }
  filePosition = position;
  if (position < 0 || static_cast<std::size_t>(position) >= content.size()) return -1;
  const std::size_t n =
      std::min(static_cast<std::size_t>(bufferSize), content.size() - static_cast<std::size_t>(position));
  std::memcpy(buffer.get(), content.data() + position, n);
  if (crcEnabled || filter) ProcessBuffer(static_cast<std::int32_t>(n), true);
  readIndex = 0;
  readCount = static_cast<std::int32_t>(n);
  filePosition = position + static_cast<std::int32_t>(n);
  ++successfulLoads;
  Yield();
  return static_cast<int>(n);
}

int ALMemoryStorage::FlushBuffer() {
  if (status.code < 0) return status.code;
  if (writeCount != 0) {
    if (static_cast<int>(flushSizes.size()) == failFlushAt) {
      flushSizes.push_back(0);  // the failed attempt still counts
      return status.SetError(StatusWriteFailed, "Write failure on %s.  result = %d, errno = %d",
                             name.GetName(), -1, kErrnoNoSpace);
    }
    if (crcEnabled || filter) ProcessBuffer(writeCount, false);
    const std::size_t end = static_cast<std::size_t>(filePosition) + writeCount;
    if (content.size() < end) content.resize(end);
    std::memcpy(content.data() + filePosition, buffer.get(), static_cast<std::size_t>(writeCount));
    flushSizes.push_back(writeCount);
    filePosition += writeCount;
    writeCount = 0;
  }
  readIndex = 0;
  readCount = 0;
  Yield();
  return 0;
}

int ALMemoryStorage::Seek(std::int32_t position) {
  FlushBuffer();
  if (status.code < 0) return status.code;
  filePosition = position;
  return 0;
}
