#include "decode/decoder.h"

#include "storage/storage.h"

ALDecoder::ALDecoder(std::int32_t methodType, const char* methodName)
    : ALMethod(methodType, methodName) {}

ALDecoder::~ALDecoder() = default;

int ALDecoder::TakeStorageError(const ALStorage& input, const ALStorage& output) {
  if (input.status.code < 0) return status.CopyFrom(input.status).code;
  if (output.status.code < 0) return status.CopyFrom(output.status).code;
  return 0;
}
