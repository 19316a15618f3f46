#pragma once

// Keeping the user interface alive during long storage work: the storages
// call this after every buffer they load or flush.
namespace platform {

// Removes and dispatches every window message waiting for the calling
// thread, without waiting; nothing where there are no window messages.
void PumpMessages();

}  // namespace platform
