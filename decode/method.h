#pragma once

#include <cstdint>

#include "storage/status_record.h"

class ALStorage;

// Root of the decoder family: a decoder type code, a display name and a
// status record of its own. Not copyable (the status record owns its text).
class ALMethod {
 public:
  // `methodName` must be a static text; it is neither copied nor freed.
  ALMethod(std::int32_t methodType, const char* methodName);
  virtual ~ALMethod();
  ALMethod(const ALMethod&) = delete;
  ALMethod& operator=(const ALMethod&) = delete;

  // Writes this object's settings block, a big-endian 16-bit zero (two zero
  // bytes), to `target` and returns target's status code afterwards (0 or
  // its negative error). This object's fields are not consulted.
  virtual int WriteSettings(ALStorage& target);
  // Reads one big-endian 16-bit value from `source`, discards it and returns
  // source's status code afterwards. This object's fields are not consulted.
  virtual int ReadSettings(ALStorage& source);

  // Decoder type code: 0 copy, 108 inflate. Never changes.
  const std::int32_t typeCode;
  // "Binary copy" or "Inflate".
  const char* const name;
  // 0 while nothing failed, negative after; the result of every Decompress.
  // Never cleared by a run: an earlier error is returned again by later runs.
  ALStatusRecord status;
};
