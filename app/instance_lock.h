#pragma once

#include <windows.h>

// The lock that keeps two installers from running at once, held for as long
// as the object lives. The installer runs elevated, and a name that any
// process of the session could take first would let one keep it from
// running or make it run unlocked. So the lock is a mutex in a private
// namespace bound to the Administrators group, which only an elevated
// process can create. Where the system has no private namespaces (or one
// cannot be had), it is a mutex of the session owned by the Administrators
// group: an object of that name owned by anyone else, or of another type,
// is no installer's, and the lock is then unavailable.
class InstanceLock {
 public:
  enum class State {
    Held,              // this installer holds the lock
    HeldByAnother,     // another installer holds it
    Unavailable,       // the lock cannot be made: something else has its name
  };

  InstanceLock();
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  State Get() const { return state; }

 private:
  // The mutex in the private namespace: false when the namespace cannot be
  // had (the state is then not set), true otherwise.
  bool InNamespace(SECURITY_ATTRIBUTES* administratorsOnly);
  // The mutex of the session, owned by the Administrators group.
  void InSession(SECURITY_ATTRIBUTES* administratorsOnly);

  HANDLE mutex = nullptr;
  HANDLE boundary = nullptr;
  HANDLE space = nullptr;
  State state = State::Unavailable;
};
