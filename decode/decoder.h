#pragma once

#include <cstdint>
#include <memory>

#include "decode/method.h"

class ALStorage;

// Status code of the decoders: the compressed data is damaged, or it ends
// (or the length limit ends it) before its last block. The message names the
// input storage: "Damaged or incomplete compressed data in %s."
constexpr std::int32_t StatusDataError = -1997;

// Decoder type codes the factories know.
constexpr std::int32_t kDecoderDefault = -1;  // same kind as the object asked
constexpr std::int32_t kDecoderCopy = 0;
constexpr std::int32_t kDecoderCopyAlias = 100;
constexpr std::int32_t kDecoderInflate = 108;
constexpr std::int32_t kDecoderInflateLast = 111;  // 109..111: inflate, option 1..3

// A decoder turns the content of an input storage into the content of an
// output storage. It owns neither storage; one run at a time.
class ALDecoder : public ALMethod {
 public:
  ALDecoder(std::int32_t methodType, const char* methodName);
  ~ALDecoder() override;

  // A new decoder of the kind `decoderType` names, owned by the caller;
  // nullptr for a code this class does not understand or without memory.
  // The object asked is not consulted, only its class.
  [[nodiscard]] virtual std::unique_ptr<ALDecoder> NewDecoder(std::int32_t decoderType) const = 0;

  // Decodes from the input's current read position into the output. Either
  // storage may be open or closed on entry; one that was closed is opened
  // (input) or created (output) for the run and closed at its end, one that
  // was open stays open. `length` limits the input bytes taken, -1 meaning
  // no limit. Returns the decoder's status code: 0 on success, otherwise the
  // negative code copied (with its message) from the storage that failed,
  // the input's before the output's, or the decoder's own code.
  virtual int Decompress(ALStorage& input, ALStorage& output, std::int32_t length) = 0;

 protected:
  // Copies the status of the first failed storage, input before output, into
  // the decoder's and returns it; returns 0 when both are sound.
  int TakeStorageError(const ALStorage& input, const ALStorage& output);
};
