#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "storage/storage.h"

// A storage on a byte vector: no files, no window messages, so that decoders
// can be run and checked without a disk. It keeps the contract of a concrete
// storage (LoadBuffer, FlushBuffer, CRC, sticky errors).
class ALMemoryStorage : public ALStorage {
 public:
  // Storage type code of memory storages.
  static constexpr std::int32_t kTypeCode = 100;

  // `initialContent` is what Open reads; Create empties it.
  ALMemoryStorage(const char* nameText, std::int32_t bufferBytes,
                  std::vector<unsigned char> initialContent = {});
  ~ALMemoryStorage() override;

  // Base Open, then `size` := content size.
  int Open() override;
  // Base Create, then empties the content.
  int Create(std::int32_t unused) override;
  // Flushes a created storage, sets `size`, frees the buffer; returns the
  // status code. Not open: returns the status code only.
  int Close() override;
  // See ALStorage. Content beyond 2^31 - 1 bytes cannot be addressed: a load
  // there fails as a read. A flush that would carry the content past
  // sizeLimit (at most 2^31 - 1) fails as StatusWriteFailed, errno 27.
  int LoadBuffer(std::int32_t position) override;
  int FlushBuffer() override;
  // Pumps nothing and reports to no monitor.
  void Yield() override {}

  [[nodiscard]] bool IsOpen() const { return buffer != nullptr; }

  std::vector<unsigned char> content;
  // Writes that would carry the content past this many bytes fail, writing
  // nothing of that buffer: a bound on the memory a decoded package takes.
  std::int32_t sizeLimit = INT32_MAX;
};
