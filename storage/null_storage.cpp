#include "storage/null_storage.h"

#include <climits>

ALNullStorage::ALNullStorage(const char* nameText, std::int32_t bufferBytes)
    : ALStorage(nameText, bufferBytes, kTypeCode, CaseInsensitive) {}

ALNullStorage::~ALNullStorage() {
  if (buffer) Close();
}

int ALNullStorage::Create(std::int32_t unused) {
  bytesWritten = 0;
  return ALStorage::Create(unused);
}

int ALNullStorage::Close() {
  if (!buffer) return status.code;
  if (created) FlushBuffer();
  size = bytesWritten > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(bytesWritten);
  created = 0;
  return ALStorage::Close();
}

int ALNullStorage::LoadBuffer(std::int32_t /*position*/) {
  if (status.code < 0) return status.code;
  return -1;
}

int ALNullStorage::FlushBuffer() {
  if (status.code < 0) return status.code;
  // A package may decode to more than 2 GiB: the 32-bit position stops at
  // its largest value, the 64-bit count goes on.
  BeforeFlush();
  bytesWritten += static_cast<std::uint64_t>(writeCount);
  return FlushFinished();
}
