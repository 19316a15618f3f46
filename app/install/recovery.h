#pragma once

#include <windows.h>

// Sets right what an installation cut off on its way (killed, the machine
// restarted or the power gone) left, and removes the old modules that an
// update moved aside while the screensaver had them loaded (see
// decode/pending_file.h). For each component of the list in string 2 of
// `instance`, in the folder that "dir" names:
//  - each change record of its module (change_record.h) brings the
//    component back to one version: when the module in place is the new one
//    (its size and CRC-32 as recorded), it is registered again from the
//    module; otherwise the values the record kept are put back exactly.
//    A module missing because the run was cut off between moving the old
//    one aside and the new one in is first taken from the pending file that
//    holds the new one whole. The record goes once that is done; one that
//    cannot be read, or names values that are none of the component's, is
//    left where it is; one cut short while it was written (before anything
//    changed) goes;
//  - the plain files at the module's pending and aside names go.
// Nothing else is touched, and nothing at all when the screensaver is not
// installed (no key is created either). Silent: nothing is shown, and what
// fails stays for the next start.
//
// Call it only while holding the single-instance lock: another installer
// running meanwhile may be in the middle of changing those files.
void RecoverCutOffRuns(HINSTANCE instance);
