#pragma once

#include <windows.h>

// The product folder, held open while the installer works in it. It is
// often writable by every user (a folder made directly under C:\ inherits
// "Modify" for them), so that any user could rename it and put a link (a
// junction) in its place, leading the elevated installer's writes
// elsewhere. Held open without leave to delete it, the folder cannot be
// renamed, removed or replaced until the object goes; and it is used only
// when it is itself the folder its path names, not a link nor reached
// through one.
class PinnedFolder {
 public:
  enum class State {
    Pinned,      // held: every path below `folder` leads into it
    Missing,     // no folder has that name
    Redirected,  // a link, or reached through one: its final path is
                 // another folder
    Unusable,    // it cannot be held (another program has it open for
                 // deletion) or looked at
  };

  // Opens `folder` (an absolute path, in any form: short 8.3 names, any
  // case, a share, a trailing backslash) as a folder, never following a
  // link at its own name, and compares its final path with the long form
  // of `folder`, without case.
  explicit PinnedFolder(const char* folder);
  ~PinnedFolder();
  PinnedFolder(const PinnedFolder&) = delete;
  PinnedFolder& operator=(const PinnedFolder&) = delete;

  State Get() const { return state; }

 private:
  HANDLE handle = INVALID_HANDLE_VALUE;
  State state = State::Unusable;
};
