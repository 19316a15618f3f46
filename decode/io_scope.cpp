#include "decode/io_scope.h"

ALInputScope::ALInputScope(ALStorage& target) : wasOpen(target.buffer != nullptr), storage(target) {
  if (!wasOpen) storage.Open();
}

ALInputScope::~ALInputScope() { End(); }

int ALInputScope::End() {
  if (!ended && !wasOpen) storage.Close();
  ended = true;
  return storage.status.code;
}

ALOutputScope::ALOutputScope(ALStorage& target, bool create)
    : leftAlone(target.buffer != nullptr || !create), storage(target) {
  if (!leftAlone) storage.Create(-1);
}

ALOutputScope::~ALOutputScope() { End(); }

int ALOutputScope::End() {
  if (!ended && !leftAlone) storage.Close();
  ended = true;
  return storage.status.code;
}

ALIoScope::ALIoScope(ALStorage& inputStorage, ALStorage& outputStorage)
    : input(inputStorage), output(outputStorage, inputStorage.status.code >= 0) {}
