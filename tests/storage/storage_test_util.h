#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "storage/storage.h"
#include "tests/support/test_files.h"

// Expects `code` and exactly `message` (cut to the 128 characters a status
// record keeps) in the storage's status.
inline void ExpectStatus(const ALStorage& storage, int code, const std::string& message) {
  EXPECT_EQ(code, storage.status.code);
  ASSERT_NE(nullptr, storage.status.Text());
  EXPECT_EQ(message.substr(0, 128), storage.status.Text());
}

// Records every progress report.
class RecordingMonitor : public ALProgressHook {
 public:
  void Progress(std::int32_t position, ALStorage& storage) override { calls.emplace_back(position, &storage); }
  std::vector<std::pair<std::int32_t, ALStorage*>> calls;
};

// `size` bytes of a repeatable pattern that is not periodic in a buffer.
inline std::string Pattern(std::size_t size) {
  std::string data(size, '\0');
  unsigned value = 7;
  for (char& c : data) {
    value = value * 1103515245u + 12345u;
    c = static_cast<char>(value >> 16);
  }
  return data;
}
