#include <gtest/gtest.h>

#include "decode/copy_decoder.h"
#include "decode/inflate_decoder.h"
#include "tests/support/memory_storage.h"

namespace {

enum class Made { None, Copy, Inflate };

Made KindOf(const ALDecoder* d) {
  if (!d) return Made::None;
  if (dynamic_cast<const ALCopyDecoder*>(d)) return Made::Copy;
  if (dynamic_cast<const ALInflateDecoder*>(d)) return Made::Inflate;
  return Made::None;
}

TEST(DecoderFactory, InflateFactoryFollowsTheGeneralTable) {
  for (std::int32_t code = -3; code <= 120; ++code) {
    SCOPED_TRACE(code);
    const auto made = ALInflateDecoder().NewDecoder(code);
    if (code == -1 || (code >= 108 && code <= 111)) {
      ASSERT_EQ(KindOf(made.get()), Made::Inflate);
      EXPECT_EQ(made->typeCode, 108);
      EXPECT_STREQ(made->name, "Inflate");
      EXPECT_EQ(static_cast<ALInflateDecoder*>(made.get())->option, code == -1 ? 0 : code - 108);
    } else if (code == 0 || code == 100) {
      ASSERT_EQ(KindOf(made.get()), Made::Copy);
      EXPECT_EQ(made->typeCode, 0);
      EXPECT_STREQ(made->name, "Binary copy");
    } else {
      EXPECT_EQ(KindOf(made.get()), Made::None);
    }
  }
  EXPECT_EQ(ALInflateDecoder().NewDecoder(INT32_MIN), nullptr);
  EXPECT_EQ(ALInflateDecoder().NewDecoder(INT32_MAX), nullptr);
}

TEST(DecoderFactory, CopyDecoderKnowsOnlyItself) {
  for (std::int32_t code = -3; code <= 120; ++code) {
    const auto made = ALCopyDecoder().NewDecoder(code);
    EXPECT_EQ(KindOf(made.get()), code == -1 || code == 0 ? Made::Copy : Made::None) << code;
  }
}

TEST(DecoderSettings, WriteTwoZeroBytesAndReadExactlyTwo) {
  ALMemoryStorage storage("settings.bin", 4096);
  ASSERT_EQ(storage.Create(-1), 0);
  storage.WriteChar('A');
  ALInflateDecoder inflate;
  ALCopyDecoder copy;
  EXPECT_EQ(inflate.WriteSettings(storage), 0);
  EXPECT_EQ(copy.WriteSettings(storage), 0);
  storage.WriteChar('B');
  ASSERT_EQ(storage.Close(), 0);
  EXPECT_EQ(storage.content, (std::vector<unsigned char>{'A', 0, 0, 0, 0, 'B'}));

  storage.content = {0x12, 0x34, 'C'};
  ASSERT_EQ(storage.Open(), 0);
  EXPECT_EQ(inflate.ReadSettings(storage), 0);
  EXPECT_EQ(storage.ReadChar(), 'C');
}

TEST(DecoderSettings, ReturnTheStoragesError) {
  ALMemoryStorage storage("settings.bin", 1);
  ASSERT_EQ(storage.Create(-1), 0);
  storage.failFlushAt = 0;
  EXPECT_EQ(ALCopyDecoder().WriteSettings(storage), StatusWriteFailed);
  ALMemoryStorage source("source.bin", 4, {1, 2});
  source.failLoadAt = 0;
  ASSERT_EQ(source.Open(), 0);
  EXPECT_EQ(ALInflateDecoder().ReadSettings(source), StatusReadFailed);
}

}  // namespace
