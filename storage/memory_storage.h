#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "storage/storage.h"

// A storage on a byte vector: no files, no window messages. It keeps the
// contract of a concrete storage (LoadBuffer, FlushBuffer, CRC, sticky
// errors, the messages of the file storage) and counts what a decoder does
// to it, so decoders can be run and checked without a disk. Failures can be
// injected through the fail* fields, each documented below.
class ALMemoryStorage : public ALStorage {
 public:
  // Storage type code of memory storages.
  static constexpr std::int32_t kTypeCode = 100;
  // Marks an injection point that never fires.
  static constexpr int kNever = -1;

  // `content` is what Open reads; Create empties it.
  ALMemoryStorage(const char* nameText, std::int32_t bufferBytes,
                  std::vector<unsigned char> initialContent = {});
  ~ALMemoryStorage() override;

  // Base Open, then `size` := content size. With failOpen set records
  // StatusOpenFailed ("File open failure.  Open of %s returned errno = 2").
  int Open() override;
  // Base Create, then empties the content. With failCreate set records
  // StatusOpenFailed ("File creation failure.  ...").
  int Create(std::int32_t unused) override;
  // Flushes a created storage, sets `size`, frees the buffer; returns the
  // status code. Not open: returns the status code only.
  int Close() override;
  // See ALStorage. The call numbered failLoadAt (0-based, counting every
  // call) records StatusReadFailed.
  int LoadBuffer(std::int32_t position) override;
  // See ALStorage. The flush numbered failFlushAt (0-based, counting only
  // flushes with bytes pending) records StatusWriteFailed.
  int FlushBuffer() override;
  int Seek(std::int32_t position) override;
  // Pumps nothing and reports to no monitor.
  void Yield() override {}
  // The decoders neither rename nor delete nor make storages: these succeed
  // and do nothing, NewStorage makes none.
  int Rename(const char*, int) override { return 0; }
  int RenameBack(int) override { return 0; }
  int RenameToBak(int) override { return 0; }
  int Delete() override { return 0; }
  [[nodiscard]] std::unique_ptr<ALStorage> NewStorage(const char*, std::int32_t) override { return nullptr; }

  [[nodiscard]] bool IsOpen() const { return buffer != nullptr; }

  std::vector<unsigned char> content;

  bool failOpen = false;
  bool failCreate = false;
  int failLoadAt = kNever;
  int failFlushAt = kNever;

  int loadCalls = 0;
  int successfulLoads = 0;
  int closeCalls = 0;
  // Bytes written by each flush that had bytes pending, in order.
  std::vector<std::int32_t> flushSizes;
};
