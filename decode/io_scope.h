#pragma once

#include "storage/storage.h"

// Keeps a storage open for reading for the duration of one decoder run. A
// storage that had no buffer on entry (not open) is opened here and closed
// at the end of the scope, whether or not the Open succeeded; one that was
// open on entry is left open and where it stands. Failures of Open show in
// the storage's status. Lives on the stack of one Decompress.
class ALInputScope {
 public:
  explicit ALInputScope(ALStorage& storage);
  ~ALInputScope();
  ALInputScope(const ALInputScope&) = delete;
  ALInputScope& operator=(const ALInputScope&) = delete;

  // Ends the scope now: closes the storage if the scope opened it. Returns
  // the storage's status code afterwards. Later calls and the destructor do
  // nothing more.
  int End();

 private:
  bool wasOpen;
  bool ended = false;
  ALStorage& storage;
};

// The same for the output: a storage without a buffer is created (Create with
// -1) and closed again at the end of the scope; closing writes the bytes
// still pending in its buffer. With `create` false (the run cannot read its
// input) a closed output is left alone: creating it would empty a file that
// nothing is going to be decoded into.
class ALOutputScope {
 public:
  ALOutputScope(ALStorage& storage, bool create);
  ~ALOutputScope();
  ALOutputScope(const ALOutputScope&) = delete;
  ALOutputScope& operator=(const ALOutputScope&) = delete;

  // Ends the scope now: closes the storage if the scope created it, which
  // writes its pending bytes. Returns the storage's status code afterwards,
  // so a failure of that last write can be reported. Later calls and the
  // destructor do nothing more.
  int End();

 private:
  bool leftAlone;  // open on entry, or not to be created: not closed here
  bool ended = false;
  ALStorage& storage;
};

// Both scopes of a run: the input's begins first, the output's ends first;
// the output is created only when the input could be opened.
class ALIoScope {
 public:
  ALIoScope(ALStorage& input, ALStorage& output);
  ~ALIoScope() = default;
  ALIoScope(const ALIoScope&) = delete;
  ALIoScope& operator=(const ALIoScope&) = delete;

  // Members in this order so that destruction ends the output scope first.
  ALInputScope input;
  ALOutputScope output;
};
