#pragma once

#include <windows.h>

// Sets right what an installation cut off on its way (killed, the machine
// restarted or the power gone) left in the product folder, and removes the
// old modules that an update moved aside while the screensaver had them
// loaded (see decode/pending_file.h). For each component of the list in
// string 2 of `instance`, in the folder that "dir" names: the plain files
// at the module's pending and aside names go; nothing else is touched, and
// nothing at all when the screensaver is not installed (no key is created
// either). Silent: nothing is shown, and whatever fails stays for the next
// start.
//
// Call it only while holding the single-instance lock: another installer
// running meanwhile may be using those files.
void RecoverCutOffRuns(HINSTANCE instance);
