#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage/storage.h"
#include "tests/support/deflate_streams.h"
#include "tests/support/test_files.h"

// The storage's status text, "" when there is none.
inline std::string TextOf(const ALStorage& storage) { return storage.status.Text() ? storage.status.Text() : ""; }

// Expects `code` and exactly `message` (cut to the 128 characters a status
// record keeps) in the storage's status.
inline void ExpectStatus(const ALStorage& storage, int code, const std::string& message) {
  EXPECT_EQ(code, storage.status.code);
  EXPECT_EQ(message.substr(0, 128), TextOf(storage));
}

// Records the position of every progress report.
struct RecordingMonitor : ALProgressHook {
  void Progress(std::int32_t position, ALStorage&) override { positions.push_back(position); }
  std::vector<std::int32_t> positions;
};

// `size` bytes of a repeatable pattern that is not periodic in a buffer.
inline std::string Pattern(std::size_t size) {
  const deflate_streams::Bytes bytes = deflate_streams::ModuleLike(size, 7);
  return std::string(bytes.begin(), bytes.end());
}
