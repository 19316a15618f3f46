#pragma once

#include <cstdint>
#include <memory>

#include <zlib.h>

#include "decode/decoder.h"

// "Inflate", decoder type code 108: decodes one raw deflate stream (no zlib
// or gzip framing, window up to 32 KiB) with zlib's inflater working directly
// on the storages' buffers: it reads out of the input's buffer and writes
// into the output's, so the decoder copies no byte. Each input buffer is
// handed over whole (one LoadBuffer per buffer) and every inflate call that
// delivers output is followed by one FlushBuffer of exactly that output.
class ALInflateDecoder : public ALDecoder {
 public:
  static constexpr const char* kName = "Inflate";

  // Type code 108, option 0. zlib gets `allocate` and `release` for its
  // state and window; null for both (the product's choice) is zlib's own
  // allocator. Tests pass failing ones.
  explicit ALInflateDecoder(alloc_func allocate = nullptr, free_func release = nullptr);
  ~ALInflateDecoder() override;

  // The general factory: -1 and 108 give an ALInflateDecoder with option 0,
  // 109, 110 and 111 one with option 1, 2 and 3 (type code still 108), 0 and
  // 100 an ALCopyDecoder; nullptr for any other code or without memory.
  [[nodiscard]] std::unique_ptr<ALDecoder> NewDecoder(std::int32_t decoderType) const override;

  // Decodes the deflate stream that starts at the input's read position into
  // the output. Bytes pending in an output that was open on entry are written
  // first; the output's CRC-32 is started at 0xFFFFFFFF before them, so after
  // the run it covers every byte the run wrote. `length` is the greatest
  // number of compressed bytes handed to the inflater, -1 (or any negative
  // value) meaning no limit; every byte handed over counts as read, so the
  // input's readIndex may stand past the end of the stream afterwards.
  //
  // Returns the decoder's status code. A run succeeds only when the inflater
  // reaches the end of the last block (bytes after it are ignored). Failures,
  // in order of precedence: the input's error, the output's error (both
  // copied with their message); StatusOutOfMemory when zlib finds no memory
  // for its state; StatusDataError when the data are damaged or end before
  // their last block, the length limit included. A failed write of the
  // output ends the run at once. Length 0 feeds nothing,
  // decodes nothing and returns the decoder's status unchanged. After a
  // failure the output holds what was decoded before it.
  int Decompress(ALStorage& input, ALStorage& output, std::int32_t length) override;

  // Set by the factory (0..3); decoding does not depend on it.
  std::int32_t option;

 private:
  // The rest of Decompress once both storages are usable and the output's
  // buffer is empty: runs the inflater and records its outcome.
  int Inflate(ALStorage& input, ALStorage& output, std::int32_t length);

  alloc_func allocate;
  free_func release;
};
