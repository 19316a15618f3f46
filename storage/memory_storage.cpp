#include "storage/memory_storage.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

namespace {

// The error number a file would give for what its 32-bit position cannot reach.
constexpr int kErrnoFileTooLarge = 27;

}  // namespace

ALMemoryStorage::ALMemoryStorage(const char* nameText, std::int32_t bufferBytes,
                                 std::vector<unsigned char> initialContent)
    : ALStorage(nameText, bufferBytes, kTypeCode, CaseInsensitive),
      content(std::move(initialContent)) {}

ALMemoryStorage::~ALMemoryStorage() {
  if (IsOpen()) Close();
}

int ALMemoryStorage::Open() {
  if (ALStorage::Open() < 0) return status.code;
  size = content.size() > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(content.size());
  return 0;
}

int ALMemoryStorage::Create(std::int32_t unused) {
  if (ALStorage::Create(unused) < 0) return status.code;
  content.clear();
  return 0;
}

int ALMemoryStorage::Close() {
  if (!IsOpen()) return status.code;
  if (created) FlushBuffer();
  size = content.size() > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(content.size());
  created = 0;
  return ALStorage::Close();
}

int ALMemoryStorage::LoadBuffer(std::int32_t position) {
  if (status.code < 0) return status.code;
  if (position < 0 || static_cast<std::size_t>(position) >= content.size()) return -1;
  if (position == INT32_MAX) {
    return status.SetError(StatusReadFailed, "Read failure on %s.  errno = %d", name.GetName(),
                           kErrnoFileTooLarge);
  }
  filePosition = position;
  const std::size_t room = static_cast<std::size_t>(INT32_MAX - position);
  const std::size_t n = std::min({static_cast<std::size_t>(bufferSize), content.size() - position, room});
  std::memcpy(buffer.get(), content.data() + position, n);
  return LoadFinished(static_cast<std::int32_t>(n));
}

int ALMemoryStorage::FlushBuffer() {
  if (status.code < 0) return status.code;
  if (writeCount != 0) {
    const std::int32_t limit = sizeLimit < 0 ? 0 : sizeLimit;
    if (filePosition > limit || writeCount > limit - filePosition) {
      return status.SetError(StatusWriteFailed, "Write failure on %s.  result = %d, errno = %d",
                             name.GetName(), -1, kErrnoFileTooLarge);
    }
    BeforeFlush();
    const std::size_t end = static_cast<std::size_t>(filePosition) + writeCount;
    if (content.size() < end) content.resize(end);
    std::memcpy(content.data() + filePosition, buffer.get(), static_cast<std::size_t>(writeCount));
  }
  return FlushFinished();
}
