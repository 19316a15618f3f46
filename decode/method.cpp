#include "decode/method.h"

#include "storage/storage.h"

ALMethod::ALMethod(std::int32_t methodType, const char* methodName)
    : typeCode(methodType), name(methodName) {}

ALMethod::~ALMethod() = default;

int ALMethod::WriteSettings(ALStorage& target) {
  target.WriteBigEndian16(0);
  return target.status.code;
}

int ALMethod::ReadSettings(ALStorage& source) {
  std::uint16_t ignored = 0;
  source.ReadBigEndian16(ignored);
  return source.status.code;
}
