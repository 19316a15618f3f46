#pragma once

#include <cstdint>
#include <vector>

#include "storage/memory_storage.h"

// A memory storage that fails where a test says, with the messages of the
// file storage, and counts what a decoder does to it.
class FaultyStorage : public ALMemoryStorage {
 public:
  static constexpr int kNever = -1;
  using ALMemoryStorage::ALMemoryStorage;

  int Open() override {
    if (failOpen && status.code >= 0) {
      return status.SetError(StatusOpenFailed, "File open failure.  Open of %s returned errno = %d",
                             name.GetName(), 2);
    }
    return ALMemoryStorage::Open();
  }
  int Close() override {
    ++closeCalls;
    return ALMemoryStorage::Close();
  }
  // The call numbered failLoadAt (0-based, every call counted) fails.
  int LoadBuffer(std::int32_t position) override {
    const int call = loadCalls++;
    if (call == failLoadAt && status.code >= 0)
      return status.SetError(StatusReadFailed, "Read failure on %s.  errno = %d", name.GetName(), 5);
    const int loaded = ALMemoryStorage::LoadBuffer(position);
    if (loaded > 0) ++successfulLoads;
    return loaded;
  }
  // The flush numbered failFlushAt (0-based, only flushes with bytes
  // pending) fails as a full disk; each one's size is kept, a failed one as 0.
  int FlushBuffer() override {
    if (writeCount != 0 && status.code >= 0) {
      const bool fails = static_cast<int>(flushSizes.size()) == failFlushAt;
      flushSizes.push_back(fails ? 0 : writeCount);
      if (fails) {
        return status.SetError(StatusWriteFailed, "Write failure on %s.  result = %d, errno = %d",
                               name.GetName(), -1, 28);
      }
    }
    return ALMemoryStorage::FlushBuffer();
  }

  bool failOpen = false;
  int failLoadAt = kNever;
  int failFlushAt = kNever;
  int loadCalls = 0;
  int successfulLoads = 0;
  int closeCalls = 0;
  std::vector<std::int32_t> flushSizes;
};
