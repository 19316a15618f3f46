#include "app/install/install_driver.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/dialogs/folder_chooser.h"
#include "app/dialogs/in_use_dialog.h"
#include "app/dialogs/info_dialog.h"
#include "app/install/change_record.h"
#include "app/install/component_list.h"
#include "app/install/module_view.h"
#include "app/install/payload_table.h"
#include "app/install/pinned_folder.h"
#include "app/install/registration.h"
#include "app/install/resource_blob.h"
#include "app/message_text.h"
#include "decode/pending_file.h"
#include "platform/file_system.h"
#include "platform/message_pump.h"
#include "resources/resource.h"

namespace {

// A component's name: at most the whole list (string 2).
constexpr int kNameBufferSize = ComponentList::kBufferSize;
// A folder the chooser hands over: up to kFolderBufferSize - 1 characters
// and the backslash it always ends in (folder_chooser.h).
constexpr int kChosenFolderMaxChars = kFolderBufferSize;
// Status texts, the failure message's patterns and one reason.
constexpr int kStatusBufferSize = 200;
// The lines of the failed components: at most this many are listed, and
// together they take at most kFailedLinesSize bytes; the rest are counted.
constexpr int kMaxListedFailures = 12;
constexpr size_t kFailedLinesSize = 1600;
constexpr size_t kMessageBufferSize = 2 * kStatusBufferSize + kFailedLinesSize;
// A line "<base name>: <reason>" that is not listed because it is too long.
constexpr size_t kLineBufferSize = kNameBufferSize + kStatusBufferSize + 4;

// A module held for a moment (a virus scanner or an indexer looks at a file
// just written or replaced) is tried again this long, this often, before
// the user is asked.
constexpr DWORD kBriefHoldMs = 2000;
constexpr DWORD kRetryIntervalMs = 100;

// What one installation run works with: made by InstallComponents and
// handed to every step, so that nothing below it reaches for a global.
struct InstallRun {
  HINSTANCE instance;       // the installer: strings, dialogs, payload table
  HWND mainDialog;          // owns every dialog of the run; holds the status line
  RegistryKey& productKey;  // HKLM\SOFTWARE\Lumora\Verdanelle
};

// What became of a component, or of one attempt at it; `reason` (a string
// id) says why it failed.
struct Outcome {
  enum class Kind { Installed, Failed, NotFound, Cancelled } kind;
  int reason;
};
constexpr Outcome kInstalled{Outcome::Kind::Installed, 0};
constexpr Outcome kNotFound{Outcome::Kind::NotFound, 0};
constexpr Outcome kCancelled{Outcome::Kind::Cancelled, 0};
constexpr Outcome Failed(int reason) { return Outcome{Outcome::Kind::Failed, reason}; }

// One path of an attempt: a directory part that holds for the run (or until
// the next folder choice) and a file name appended per attempt.
struct AttemptPath {
  char text[kComponentPathSize] = {};
  size_t directoryLength = 0;

  void TakeDirectory() { directoryLength = std::strlen(text); }
  void CutBack() { text[directoryLength] = '\0'; }
  // The directory part followed by `name` and `extension`, whole or not at
  // all; the next call starts again from the directory part.
  [[nodiscard]] bool Name(const char* name, const char* extension) {
    CutBack();
    return AppendWhole(text, sizeof text, name) && AppendWhole(text, sizeof text, extension);
  }
};

// The system's wait cursor for as long as the object lives.
class WaitCursor {
 public:
  WaitCursor() : previous(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous;
};

// Shows string `id` in the main dialog's status line; -1 (or a missing
// string) empties it.
void SetStatusLine(const InstallRun& run, int id) {
  char text[kStatusBufferSize] = {};
  if (id >= 0) LoadText(run.instance, id, text, kStatusBufferSize);
  SetDlgItemTextA(run.mainDialog, IDC_STATUS, text);
}

// Waits `ms` while the dialogs stay alive: messages are dispatched as they
// come.
void WaitDispatching(DWORD ms) {
  const DWORD start = GetTickCount();
  for (DWORD waited = 0; waited < ms; waited = GetTickCount() - start) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - waited, QS_ALLINPUT);
    platform::PumpMessages();
  }
}

// Moves the pending file into place, trying again while another process
// holds the module for no longer than a brief hold; whether it went in.
bool ReplaceWaitingOutBriefHold(ALPendingFile& pending, ALStatusRecord& status) {
  const DWORD start = GetTickCount();
  while (pending.Replace(status) != StatusOk) {
    if (pending.LastFault() != ALPendingFile::Fault::TargetInUse || GetTickCount() - start >= kBriefHoldMs) {
      return false;
    }
    WaitDispatching(kRetryIntervalMs);
  }
  return true;
}

// The reason shown for a pending file that could not be made or moved.
int ReasonOf(ALPendingFile::Fault fault) {
  switch (fault) {
    case ALPendingFile::Fault::PackageUnreadable: return IDS_REASON_UNREADABLE;
    case ALPendingFile::Fault::DataDamaged: return IDS_REASON_DAMAGED;
    case ALPendingFile::Fault::DiskFull: return IDS_REASON_DISK_FULL;
    case ALPendingFile::Fault::TargetInUse: return IDS_REASON_IN_USE;
    case ALPendingFile::Fault::OverLimit: return IDS_REASON_OTHER_BYTES;
    default: return IDS_REASON_WRITE_FAILED;
  }
}

// Decodes `package` into the pending file of `pending` and checks it
// against the payload table's line for `baseName`. The package is only read
// (never copied, written or re-attributed: it lies in a folder the user
// controls).
Outcome DecodePackage(const InstallRun& run, ALPendingFile& pending, const char* package, const char* baseName) {
  uint32_t size = 0;
  uint32_t crc = 0;
  const bool expected = ExpectedPayload(run.instance, baseName, &size, &crc);
  // A package that decodes to more than the recorded module (or than any
  // module without a record may be) fails at the first byte too many.
  const int32_t limit = !expected ? kMaxUncheckedModuleSize
                        : size < static_cast<uint32_t>(ALPendingFile::kNoLimit) ? static_cast<int32_t>(size)
                                                                                 : ALPendingFile::kNoLimit;
  ALStatusRecord status;
  if (pending.Decode(package, limit, status) != StatusOk) {
    const bool tooLarge = !expected && pending.LastFault() == ALPendingFile::Fault::OverLimit;
    return Failed(tooLarge ? IDS_REASON_TOO_LARGE : ReasonOf(pending.LastFault()));
  }
  if (expected && (pending.Size() != size || pending.Crc32() != crc)) return Failed(IDS_REASON_OTHER_BYTES);
  return kInstalled;
}

// Works out the registration of the module that `pending` holds (read
// through its handle: the very bytes that were checked), changing nothing.
Outcome PlanFromPending(const InstallRun& run, const ALPendingFile& pending, const char* baseName,
                        RegistrationPlan* plan) {
  ModuleView decoded(pending.Held());
  const Registration planned = PlanRegistration(run.productKey, decoded.Resources(), baseName, plan);
  if (planned == Registration::Registered) return kInstalled;
  return Failed(planned == Registration::NotAComponent ? IDS_REASON_NOT_A_MODULE : IDS_REASON_REGISTRY);
}

// Keeps on disk what the registration replaces and what goes in, before
// the first value changes: a run cut off from then on is set right at the
// next start (recovery.h). The record's name in `*record`.
Outcome RecordChange(const ALPendingFile& pending, const char* module, const RegistrationPlan& plan,
                     std::string* record) {
  const int error =
      WriteChangeRecord(module, ChangeRecord{pending.Size(), pending.Crc32(), plan.Previous().Values()}, record);
  if (error == 0) return kInstalled;
  return Failed(error == platform::kErrNoSpace ? IDS_REASON_DISK_FULL : IDS_REASON_WRITE_FAILED);
}

// Makes the registration's changes and writes them to disk.
Outcome Register(const InstallRun& run, const RegistrationPlan& plan) {
  if (!ApplyRegistration(run.productKey, plan)) return Failed(IDS_REASON_REGISTRY);
  if (run.productKey.Flush()) return kInstalled;
  plan.Previous().Restore(run.productKey);
  return Failed(IDS_REASON_REGISTRY);
}

// Moves the pending file over `module`. While another process holds the
// module, the user is asked to let go of it and may try again as often as
// they like; Failed when they give up or the move fails otherwise.
Outcome MoveIntoPlace(const InstallRun& run, ALPendingFile& pending, const char* module) {
  ALStatusRecord status;
  while (!ReplaceWaitingOutBriefHold(pending, status)) {
    if (pending.LastFault() != ALPendingFile::Fault::TargetInUse ||
        !AskRetryHeldModule(run.instance, run.mainDialog, module)) {
      return Failed(ReasonOf(pending.LastFault()));
    }
  }
  return kInstalled;
}

// Registers the decoded module of `pending` as `baseName` and moves it over
// `module`. A failure at any step leaves the installed module and the
// registry as they were.
Outcome RegisterAndMove(const InstallRun& run, ALPendingFile& pending, const char* module, const char* baseName) {
  RegistrationPlan plan;
  Outcome outcome = PlanFromPending(run, pending, baseName, &plan);
  if (outcome.kind != Outcome::Kind::Installed) return outcome;
  std::string record;
  outcome = RecordChange(pending, module, plan, &record);
  if (outcome.kind != Outcome::Kind::Installed) return outcome;
  outcome = Register(run, plan);
  if (outcome.kind == Outcome::Kind::Installed) {
    outcome = MoveIntoPlace(run, pending, module);
    // The values stayed written while the user was asked; they go back
    // only now that the module cannot be moved into place.
    if (outcome.kind != Outcome::Kind::Installed) plan.Previous().Restore(run.productKey);
  }
  // A registry that did not reach the disk is left to the next start,
  // which finds the record.
  if (run.productKey.Flush()) static_cast<void>(RemoveChangeRecord(record));
  return outcome;
}

// Decompresses `package` and installs it as `module`, registered as
// `baseName`: decoded into a pending file and checked (DecodePackage), then
// registered and moved into place (RegisterAndMove).
Outcome InstallPackage(const InstallRun& run, const char* package, const char* module, const char* baseName) {
  SetStatusLine(run, IDS_EXTRACTING);
  // Only what is not there is looked for elsewhere; anything else at the
  // name that is no package is found unreadable.
  if (GetFileAttributesA(package) == INVALID_FILE_ATTRIBUTES &&
      (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)) {
    SetStatusLine(run, -1);
    return kNotFound;
  }
  // Only administrators may change it, before and after it is the module.
  ALPendingFile pending(module, ALPendingFile::Protection::AdministratorsOnly);
  const Outcome decoded = DecodePackage(run, pending, package, baseName);
  SetStatusLine(run, -1);
  if (decoded.kind != Outcome::Kind::Installed) return decoded;
  SetStatusLine(run, IDS_REGISTERING);
  const Outcome installed = RegisterAndMove(run, pending, module, baseName);
  SetStatusLine(run, -1);
  return installed;
}

// Component `baseName`: its package is looked for in the source folder,
// then in each folder the user picks, until it is installed, fails or the
// user cancels the chooser.
Outcome InstallComponent(const InstallRun& run, AttemptPath& destination, AttemptPath& source,
                         const char* baseName) {
  // A device name fails at once: no path made of it names a file.
  if (IsDeviceName(baseName)) return Failed(IDS_REASON_NAME);
  for (;;) {
    if (!destination.Name(baseName, ".dll") || !source.Name(baseName, ".ppk")) return Failed(IDS_REASON_NAME);
    Outcome outcome;
    {
      WaitCursor wait;
      outcome = InstallPackage(run, source.text, destination.text, baseName);
    }
    destination.CutBack();
    source.CutBack();
    if (outcome.kind != Outcome::Kind::NotFound) return outcome;
    if (!ChooseFolder(run.instance, run.mainDialog, source.text, kChosenFolderMaxChars, IDS_CHOOSE_FOLDER)) {
      return kCancelled;
    }
    source.TakeDirectory();
  }
}

// The components that failed, in the order of the list, each on a line
// "<base name>: <reason>"; those beyond what the message can show are
// only counted.
class FailedComponents {
 public:
  explicit FailedComponents(HINSTANCE instance) : instance(instance) {}

  void Add(const char* baseName, int reason) {
    char reasonText[kStatusBufferSize] = {};
    LoadText(instance, reason, reasonText, kStatusBufferSize);
    char line[kLineBufferSize] = {};
    AppendCut(line, sizeof line, baseName);
    AppendCut(line, sizeof line, ": ");
    AppendCut(line, sizeof line, reasonText);
    // Whole lines only, so that no name is shown cut.
    const size_t used = std::strlen(lines);
    const size_t needed = (used != 0 ? 1 : 0) + std::strlen(line);
    if (listed < kMaxListedFailures && used + needed < sizeof lines) {
      if (used != 0) AppendCut(lines, sizeof lines, "\n");
      AppendCut(lines, sizeof lines, line);
      ++listed;
    } else {
      ++unlisted;
    }
  }
  bool Any() const { return listed + unlisted != 0; }

  // The error message, owned by the main dialog: the lines in place of the
  // "%s" of string 8, then string 21 with the number of unlisted ones.
  void Show(HWND mainDialog) const {
    char pattern[kStatusBufferSize] = {};
    LoadText(instance, IDS_FAILED_COMPONENTS, pattern, kStatusBufferSize);
    char message[kMessageBufferSize] = {};
    AppendFilled(message, sizeof message, pattern, "%s", lines);
    if (unlisted != 0) {
      char more[kStatusBufferSize] = {};
      char count[16] = {};
      std::snprintf(count, sizeof count, "%d", unlisted);
      LoadText(instance, IDS_MORE_FAILED, more, kStatusBufferSize);
      AppendCut(message, sizeof message, "\n");
      AppendFilled(message, sizeof message, more, "%u", count);
    }
    char caption[kStatusBufferSize] = {};
    LoadText(instance, IDS_FAILURE_CAPTION, caption, kStatusBufferSize);
    MessageBoxA(mainDialog, message, caption, MB_OK | MB_ICONERROR);
  }

 private:
  HINSTANCE instance;
  char lines[kFailedLinesSize] = {};
  int listed = 0;
  int unlisted = 0;
};

// Installs every component of `list` into `folder`, adding those that fail
// to `failed`. False when the user cancelled the folder chooser, which ends
// the walk.
bool InstallList(const InstallRun& run, ComponentList& list, const char* folder, FailedComponents& failed) {
  AttemptPath destination;
  AttemptPath source;
  // Always one more backslash: "C:\Programme\" gives "C:\Programme\\p0046.dll",
  // which the file system takes as the same path.
  if (!AppendWhole(destination.text, sizeof destination.text, folder) ||
      !AppendWhole(destination.text, sizeof destination.text, "\\")) {
    return true;
  }
  destination.TakeDirectory();
  source.TakeDirectory();  // empty: the current folder

  char name[kNameBufferSize];
  while (list.Next(name)) {
    const Outcome outcome = InstallComponent(run, destination, source, name);
    if (outcome.kind == Outcome::Kind::Cancelled) return false;
    if (outcome.kind == Outcome::Kind::Failed) failed.Add(name, outcome.reason);
  }
  return true;
}

}  // namespace

bool ReadProductFolder(RegistryKey& productKey, char (&folder)[kFolderBufferSize]) {
  return productKey.ReadString("general", "dir", folder, kFolderBufferSize) && IsAbsoluteFolder(folder);
}

bool ExpectedPayload(HMODULE installer, const char* baseName, uint32_t* size, uint32_t* crc) {
  const ResourceBlob table(installer, IDR_PAYLOAD_TABLE, RT_RCDATA);
  const unsigned char* bytes = nullptr;
  uint32_t length = 0;
  if (!table.GetData(&bytes, &length)) return false;
  return FindPayload(reinterpret_cast<const char*>(bytes), length, baseName, size, crc);
}

bool InstallComponents(HINSTANCE instance, HWND mainDialog) {
  RegistryKey productKey(HKEY_LOCAL_MACHINE, kProductKeyPath);
  const InstallRun run{instance, mainDialog, productKey};

  ComponentList list(instance);
  if (list.Empty()) return false;

  char folder[kFolderBufferSize] = {};
  if (!ReadProductFolder(productKey, folder)) {
    ShowInfoDialog(instance, mainDialog, IDD_NOT_INSTALLED);
    return false;
  }
  // Held until the run is over: every file it makes, replaces or removes
  // lies in this very folder.
  const PinnedFolder pinned(folder);
  // A folder that is not there is no installation (the screensaver was
  // removed and its key left): nothing may be made in its place.
  if (pinned.Get() == PinnedFolder::State::Missing) {
    ShowInfoDialog(instance, mainDialog, IDD_NOT_INSTALLED);
    return false;
  }

  FailedComponents failed(instance);
  bool walked = true;
  if (pinned.Get() == PinnedFolder::State::Pinned) {
    walked = InstallList(run, list, folder, failed);
  } else {
    // Nothing goes where a link leads.
    const int reason =
        pinned.Get() == PinnedFolder::State::Redirected ? IDS_REASON_REDIRECTED : IDS_REASON_WRITE_FAILED;
    char name[kNameBufferSize];
    while (list.Next(name)) failed.Add(name, reason);
  }
  if (failed.Any()) {
    failed.Show(mainDialog);
    return false;
  }
  return walked;
}
