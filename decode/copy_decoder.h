#pragma once

#include <cstdint>
#include <memory>

#include "decode/decoder.h"

// "Binary copy", decoder type code 0: copies bytes unchanged, one at a time
// through the storages' buffered ReadChar and WriteChar.
class ALCopyDecoder : public ALDecoder {
 public:
  static constexpr const char* kName = "Binary copy";

  ALCopyDecoder();
  ~ALCopyDecoder() override;

  // The copy decoder knows only itself: a new ALCopyDecoder for -1 and 0,
  // nullptr for every other code (100 included) or without memory.
  [[nodiscard]] std::unique_ptr<ALDecoder> NewDecoder(std::int32_t decoderType) const override;

  // Copies up to `length` bytes (taken as an unsigned count, so -1 is
  // unlimited) from the input's read position to the output, with the
  // output's CRC-32 started at 0xFFFFFFFF. The end of the input before the
  // count is used up is success. After a write failure the input is still
  // read to its end (or the count), and the output's error is reported. When
  // the run created the output, a failure of the final write in its Close is
  // the result of an otherwise successful run. An output that was open on
  // entry keeps the last bytes in its buffer (the caller flushes or closes).
  int Decompress(ALStorage& input, ALStorage& output, std::int32_t length) override;
};
