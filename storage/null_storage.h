#pragma once

#include <cstdint>
#include <memory>

#include "storage/storage.h"

// An output storage that keeps nothing: every flushed buffer runs through the
// CRC (when it is on) and is counted, then dropped. Lets a package be checked
// without writing its module anywhere. Reading finds no data.
class ALNullStorage : public ALStorage {
 public:
  static constexpr std::int32_t kTypeCode = 2;

  ALNullStorage(const char* nameText, std::int32_t bufferBytes);
  ~ALNullStorage() override;

  // Base Create, and the byte count starts again at 0.
  int Create(std::int32_t unused) override;
  // Flushes a created storage, then frees the buffer; returns the status code.
  int Close() override;
  // Always end of data (-1), or the sticky status code.
  int LoadBuffer(std::int32_t position) override;
  // Counts and drops the pending bytes (after the CRC); always 0 unless the
  // status is already negative.
  int FlushBuffer() override;

  // Bytes flushed since Create.
  std::uint64_t bytesWritten = 0;
};
