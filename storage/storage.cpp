#include "storage/storage.h"

#include <climits>
#include <new>

#include "platform/file_system.h"
#include "platform/message_pump.h"
#include "storage/crc32.h"

namespace {

constexpr std::uint32_t kCrcStart = 0xFFFFFFFFu;

}  // namespace

ALStorage::ALStorage(const char* nameText, std::int32_t bufferBytes, std::int32_t storageType,
                     ALCaseMode caseMode)
    : readCount(0),
      writeCount(0),
      readIndex(0),
      filePosition(0),
      size(-1),
      crc(kCrcStart),
      crcEnabled(0),
      created(0),
      readOnly(0),
      filter(nullptr),
      typeCode(storageType),
      bufferSize(bufferBytes),
      monitor(nullptr),
      timeDate{},
      attributes{},
      name(nameText, caseMode) {
  if (!name.IsValid()) {
    status.SetError(StatusOutOfMemory, "Allocation of buffer failed in ALStorage constructor");
  }
}

ALStorage::~ALStorage() = default;

int WriteSettingsBlock(ALStorage& target) {
  target.WriteBigEndian16(0);
  return target.status.code;
}

int ReadSettingsBlock(ALStorage& source) {
  std::uint16_t ignored = 0;
  source.ReadBigEndian16(ignored);
  return source.status.code;
}

int ALStorage::WriteSettings(ALStorage& target) { return WriteSettingsBlock(target); }

int ALStorage::ReadSettings(ALStorage& source) { return ReadSettingsBlock(source); }

int ALStorage::Open() {
  if (status.code < 0) return status.code;
  return StartBuffer();
}

int ALStorage::Create(std::int32_t /*unused*/) {
  if (status.code < 0) return status.code;
  const int result = StartBuffer();
  size = 0;
  created = 1;
  return result;
}

int ALStorage::StartBuffer() {
  // A size below 1 is refused like a failed allocation: a zero-byte buffer
  // would let WriteChar store past its end.
  if (bufferSize >= 1) {
    buffer.reset(new (std::nothrow) unsigned char[static_cast<std::size_t>(bufferSize)]);
  } else {
    buffer.reset();
  }
  crc = kCrcStart;
  readCount = 0;
  writeCount = 0;
  readIndex = 0;
  filePosition = 0;
  crcEnabled = 0;
  // Create reports its failure with the same text as Open.
  if (!buffer) return status.SetError(StatusOutOfMemory, "Allocation of buffer failed in Open()");
  return 0;
}

int ALStorage::Close() {
  buffer.reset();
  return status.code;
}

int ALStorage::Seek(std::int32_t position) {
  FlushBuffer();
  if (status.code < 0) return status.code;
  filePosition = position;
  return 0;
}

int ALStorage::Rename(const char* /*newName*/, int /*deleteTarget*/) { return 0; }
int ALStorage::RenameBack(int /*deleteTarget*/) { return 0; }
int ALStorage::RenameToBak(int /*deleteTarget*/) { return 0; }
int ALStorage::Delete() { return 0; }

std::unique_ptr<ALStorage> ALStorage::NewStorage(const char* /*newName*/, std::int32_t /*storageType*/) {
  return nullptr;
}

void ALStorage::Yield() {
  if (monitor != nullptr) monitor->Progress(Tell(), *this);
  platform::PumpMessages();
}

int ALStorage::ReadChar() {
  if (readCount - readIndex <= 0) {
    const int loaded = LoadBuffer(filePosition);
    if (loaded < 0) return loaded;
  }
  return buffer[readIndex++];
}

int ALStorage::WriteChar(int value) {
  if (bufferSize - writeCount <= 0) {
    if (FlushBuffer() < 0) return status.code;
  }
  const unsigned char byte = static_cast<unsigned char>(value & 0xFF);
  buffer[writeCount++] = byte;
  return byte;
}

int ALStorage::WriteBigEndian16(std::uint16_t value) {
  WriteChar(value >> 8);
  WriteChar(value & 0xFF);
  return status.code;
}

int ALStorage::ReadBigEndian16(std::uint16_t& value) {
  const int high = ReadChar();
  const int low = ReadChar();
  // At end of data both are -1, so the value comes out as 0xFFFF.
  value = static_cast<std::uint16_t>(((high & 0xFF) << 8) | (low & 0xFF));
  return status.code;
}

std::int32_t ALStorage::TakeInput(std::int32_t most, const unsigned char** bytes) {
  if (readIndex >= readCount && LoadBuffer(filePosition) <= 0) return 0;
  const std::int32_t left = readCount - readIndex;
  const std::int32_t count = left < most ? left : most;
  *bytes = buffer.get() + readIndex;
  readIndex += count;
  return count;
}

int ALStorage::FlushFilled(std::int32_t count) {
  writeCount = count;
  const int result = FlushBuffer();
  writeCount = 0;
  return result;
}

int ALStorage::LoadFinished(std::int32_t count) {
  ProcessBuffer(count, true);
  readIndex = 0;
  readCount = count;
  filePosition += count;
  Yield();
  return count;
}

void ALStorage::BeforeFlush() { ProcessBuffer(writeCount, false); }

int ALStorage::FlushFinished() {
  // A null storage may take more than its 32-bit position can count.
  filePosition = writeCount > INT32_MAX - filePosition ? INT32_MAX : filePosition + writeCount;
  writeCount = 0;
  readIndex = 0;
  readCount = 0;
  Yield();
  return 0;
}

void ALStorage::StartCrc32(std::uint32_t start) {
  crcEnabled = 1;
  crc = start;
}

std::int32_t ALStorage::Tell() const {
  // Wide arithmetic: pending bytes beyond the largest position are never
  // written (the flush refuses them), so the position saturates there.
  const std::int64_t position = writeCount != 0
                                    ? std::int64_t{filePosition} + writeCount
                                    : std::int64_t{filePosition} - readCount + readIndex;
  return position > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(position);
}

void ALStorage::ProcessBuffer(std::int32_t length, bool reading) {
  if (length <= 0) return;
  if (filter != nullptr) {
    if (reading) {
      filter->AfterRead(buffer.get(), length);
    } else {
      filter->BeforeWrite(buffer.get(), length);
    }
  }
  if (crcEnabled != 0) {
    crc = UpdateCrc32(crc, buffer.get(), static_cast<std::size_t>(length));
  }
}
