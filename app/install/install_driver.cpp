#include "app/install/install_driver.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/dialogs/folder_chooser.h"
#include "app/dialogs/in_use_dialog.h"
#include "app/dialogs/info_dialog.h"
#include "app/install/change_record.h"
#include "app/install/component_list.h"
#include "app/install/module_view.h"
#include "app/install/payload_table.h"
#include "app/install/pinned_folder.h"
#include "app/install/registration.h"
#include "app/install/registry_key.h"
#include "app/install/resource_blob.h"
#include "app/message_text.h"
#include "decode/pending_file.h"
#include "platform/file_system.h"
#include "platform/message_pump.h"
#include "resources/resource.h"

namespace {

// The component list (string 2).
constexpr int kListBufferSize = ComponentList::kBufferSize;
// The two paths of one attempt: folder, backslash, base name, extension.
constexpr size_t kPathBufferSize = 520;
// Status texts, the failure message's patterns and one reason.
constexpr int kStatusBufferSize = 200;
// The lines of the failed components: at most this many are listed, and
// together they take at most kFailedLinesSize bytes; the rest are counted.
constexpr int kMaxListedFailures = 12;
constexpr size_t kFailedLinesSize = 1600;
constexpr size_t kMessageBufferSize = 2 * kStatusBufferSize + kFailedLinesSize;
// A line "<base name>: <reason>" that is not listed because it is too long.
constexpr size_t kLineBufferSize = kListBufferSize + kStatusBufferSize + 4;

// What became of one attempt at a component; `reason` (a string id) says
// why it failed.
enum class Outcome { NotFound, Installed, Failed };
struct Result {
  Outcome outcome;
  int reason;
};
constexpr Result kInstalled{Outcome::Installed, 0};
constexpr Result kNotFound{Outcome::NotFound, 0};
constexpr Result Failed(int reason) { return Result{Outcome::Failed, reason}; }

// A module that the payload table does not name is decoded up to this size
// and no further: large enough for a component with pictures and sounds of
// its own, small enough that a package cannot fill the disk with one.
constexpr int32_t kMaxUncheckedModuleSize = 256 << 20;

// A module held for a moment (a virus scanner or an indexer looks at a file
// just written or replaced) is tried again this long, this often, before
// the user is asked.
constexpr DWORD kBriefHoldMs = 2000;
constexpr DWORD kRetryIntervalMs = 100;

// One path of an attempt: a directory part that holds for the run (or until
// the next folder choice) and a file name appended per attempt.
struct AttemptPath {
  char text[kPathBufferSize] = {};
  size_t directoryLength = 0;

  size_t Room() const { return kPathBufferSize - directoryLength; }
  void TakeDirectory() { directoryLength = std::strlen(text); }
  void CutBack() { text[directoryLength] = '\0'; }
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
void SetStatusLine(int id) {
  char text[kStatusBufferSize] = {};
  if (id < 0 || LoadStringA(appState.instance, id, text, kStatusBufferSize) <= 0) text[0] = '\0';
  SetDlgItemTextA(appState.mainDialog, IDC_STATUS, text);
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
Result DecodePackage(ALPendingFile& pending, const char* package, const char* baseName) {
  uint32_t size = 0;
  uint32_t crc = 0;
  const bool expected = ExpectedPayload(baseName, &size, &crc);
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

// Moves the pending file over `module`. While another process holds the
// module, the user is asked to let go of it and may try again as often as
// they like; false when they give up or the move fails otherwise.
bool MoveIntoPlace(ALPendingFile& pending, const char* module) {
  ALStatusRecord status;
  while (!ReplaceWaitingOutBriefHold(pending, status)) {
    if (pending.LastFault() != ALPendingFile::Fault::TargetInUse ||
        !AskRetryHeldModule(appState.instance, appState.mainDialog, module)) {
      return false;
    }
  }
  return true;
}

// Registers the decoded module of `pending` as `baseName` and moves it over
// `module`: read as data (no code of it runs), checked and registered before
// it replaces `module`. What the registration replaces is kept on disk
// before the first value changes (a change record), so that a run cut off
// from then on is set right at the next start (recovery.h); the registry
// reaches the disk before the module moves. A failure at any step leaves
// the installed module and the registry as they were.
Result RegisterAndMove(RegistryKey& productKey, ALPendingFile& pending, const char* module, const char* baseName) {
  RegistrationPlan plan;
  Registration planned;
  {
    // The very file that was written and checked, read through the handle
    // that holds it.
    ModuleView decodedModule(pending.Held());
    planned = PlanRegistration(productKey, decodedModule.Resources(), baseName, &plan);
  }  // unmapped before it is moved
  if (planned != Registration::Registered) {
    return Failed(planned == Registration::NotAComponent ? IDS_REASON_NOT_A_MODULE : IDS_REASON_REGISTRY);
  }
  std::string record;
  const int recorded =
      WriteChangeRecord(module, ChangeRecord{pending.Size(), pending.Crc32(), plan.Previous().Values()}, &record);
  if (recorded != 0) return Failed(recorded == platform::kErrNoSpace ? IDS_REASON_DISK_FULL : IDS_REASON_WRITE_FAILED);

  Result result = kInstalled;
  if (!ApplyRegistration(productKey, plan)) {
    result = Failed(IDS_REASON_REGISTRY);
  } else if (!productKey.Flush()) {
    plan.Previous().Restore(productKey);
    result = Failed(IDS_REASON_REGISTRY);
  } else if (!MoveIntoPlace(pending, module)) {
    // The values stayed written while the user was asked; they go back
    // only now that the module cannot be moved into place.
    plan.Previous().Restore(productKey);
    result = Failed(ReasonOf(pending.LastFault()));
  }
  // A registry that did not reach the disk is left to the next start,
  // which finds the record.
  if (productKey.Flush()) static_cast<void>(RemoveChangeRecord(record));
  return result;
}

// Decompresses `package` and installs it as `module`, registered as
// `baseName` (see DecodePackage and RegisterAndMove).
Result InstallPackage(RegistryKey& productKey, const char* package, const char* module,
                      const char* baseName) {
  SetStatusLine(IDS_EXTRACTING);
  // Only what is not there is looked for elsewhere; anything else at the
  // name that is no package is found unreadable.
  if (GetFileAttributesA(package) == INVALID_FILE_ATTRIBUTES &&
      (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)) {
    SetStatusLine(-1);
    return kNotFound;
  }
  // Only administrators may change it, before and after it is the module.
  ALPendingFile pending(module, ALPendingFile::Protection::AdministratorsOnly);
  const Result decoded = DecodePackage(pending, package, baseName);
  SetStatusLine(-1);
  if (decoded.outcome != Outcome::Installed) return decoded;
  SetStatusLine(IDS_REGISTERING);
  const Result installed = RegisterAndMove(productKey, pending, module, baseName);
  SetStatusLine(-1);
  return installed;
}

// One attempt at component `baseName`: appends the file names to both
// paths (the caller cuts them back) and installs the package.
Result InstallOneComponent(RegistryKey& productKey, AttemptPath& destination, AttemptPath& source,
                           const char* baseName) {
  // The name, four characters of extension and the terminator.
  const size_t needed = std::strlen(baseName) + 5;
  if (destination.Room() < needed || source.Room() < needed) return Failed(IDS_REASON_NAME);
  if (!AppendWhole(destination.text, sizeof destination.text, baseName) ||
      !AppendWhole(destination.text, sizeof destination.text, ".dll") ||
      !AppendWhole(source.text, sizeof source.text, baseName) ||
      !AppendWhole(source.text, sizeof source.text, ".ppk")) {
    return Failed(IDS_REASON_NAME);
  }
  return InstallPackage(productKey, source.text, destination.text, baseName);
}

// The components that failed, in the order of the list, each on a line
// "<base name>: <reason>"; those beyond what the message can show are
// only counted.
class FailedComponents {
 public:
  void Add(const char* baseName, int reason) {
    char reasonText[kStatusBufferSize] = {};
    if (LoadStringA(appState.instance, reason, reasonText, kStatusBufferSize) <= 0) reasonText[0] = '\0';
    char line[kLineBufferSize] = {};
    AppendCut(line, sizeof line, baseName);
    AppendCut(line, sizeof line, ": ");
    AppendCut(line, sizeof line, reasonText);
    // Whole lines only, so that no name is shown cut.
    const size_t used = std::strlen(lines);
    const size_t length = std::strlen(line) + (used != 0 ? 1 : 0);
    if (listed < kMaxListedFailures && used + length < sizeof lines) {
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
    if (LoadStringA(appState.instance, IDS_NOT_INSTALLED, pattern, kStatusBufferSize) <= 0) pattern[0] = '\0';
    char message[kMessageBufferSize] = {};
    AppendFilled(message, sizeof message, pattern, "%s", lines);
    if (unlisted != 0) {
      char more[kStatusBufferSize] = {};
      char count[16] = {};
      std::snprintf(count, sizeof count, "%d", unlisted);
      if (LoadStringA(appState.instance, IDS_MORE_FAILED, more, kStatusBufferSize) <= 0) more[0] = '\0';
      AppendCut(message, sizeof message, "\n");
      AppendFilled(message, sizeof message, more, "%u", count);
    }
    char caption[kStatusBufferSize] = {};
    if (LoadStringA(appState.instance, IDS_FAILURE_CAPTION, caption, kStatusBufferSize) <= 0) caption[0] = '\0';
    MessageBoxA(mainDialog, message, caption, MB_OK | MB_ICONERROR);
  }

 private:
  char lines[kFailedLinesSize] = {};
  int listed = 0;
  int unlisted = 0;
};

}  // namespace

bool IsDeviceName(const char* name) {
  const size_t length = std::strlen(name);
  if (length < 3 || length > 4) return false;
  char upper[5] = {};
  for (size_t i = 0; i < length; ++i) {
    upper[i] = (name[i] >= 'a' && name[i] <= 'z') ? static_cast<char>(name[i] - 'a' + 'A') : name[i];
  }
  if (length == 4) {
    return (std::strncmp(upper, "COM", 3) == 0 || std::strncmp(upper, "LPT", 3) == 0) &&
           upper[3] >= '1' && upper[3] <= '9';
  }
  for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
    if (std::strcmp(upper, device) == 0) return true;
  }
  return false;
}

bool IsAbsoluteFolder(const char* folder) {
  const bool letter = (folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z');
  const bool drive = letter && folder[1] == ':' && folder[2] == '\\';
  const bool share = folder[0] == '\\' && folder[1] == '\\' && folder[2] != '\0' && folder[2] != '\\';
  return drive || share;
}

bool ExpectedPayload(const char* baseName, uint32_t* size, uint32_t* crc) {
  const ResourceBlob table(appState.instance, IDR_PAYLOAD_TABLE, RT_RCDATA);
  const unsigned char* bytes = nullptr;
  uint32_t length = 0;
  if (!table.GetData(&bytes, &length)) return false;
  return FindPayload(reinterpret_cast<const char*>(bytes), length, baseName, size, crc);
}

bool ReadProductFolder(RegistryKey& productKey, char (&folder)[kFolderBufferSize]) {
  return productKey.ReadString("general", "dir", folder, kFolderBufferSize) && IsAbsoluteFolder(folder);
}

namespace {

// Installs every component of `list` into `folder`, adding those that
// fail to `failed`. False when the user cancelled the folder chooser, which
// ends the walk.
bool InstallList(RegistryKey& productKey, ComponentList& list, const char* folder, HWND mainDialog,
                 FailedComponents& failed) {
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

  char name[kListBufferSize];
  while (list.Next(name)) {
    // Attempts at this name until it is installed, fails, or the user gives up.
    for (;;) {
      // A device name fails at once: no path made of it names a file.
      if (IsDeviceName(name)) {
        failed.Add(name, IDS_REASON_NAME);
        break;
      }
      Result result;
      {
        WaitCursor wait;
        result = InstallOneComponent(productKey, destination, source, name);
      }
      destination.CutBack();
      source.CutBack();
      if (result.outcome == Outcome::Failed) failed.Add(name, result.reason);
      if (result.outcome != Outcome::NotFound) break;
      if (!ChooseFolder(appState.instance, mainDialog, source.text, kFolderBufferSize, IDS_CHOOSE_FOLDER)) {
        return false;
      }
      source.TakeDirectory();
    }
  }
  return true;
}

}  // namespace

bool InstallComponents(HINSTANCE instance, HWND mainDialog) {
  appState.instance = instance;
  RegistryKey productKey(HKEY_LOCAL_MACHINE, kProductKeyPath);

  ComponentList list(appState.instance);
  if (list.Empty()) return false;

  char folder[kFolderBufferSize] = {};
  if (!ReadProductFolder(productKey, folder)) {
    ShowInfoDialog(appState.instance, mainDialog, IDD_NOT_INSTALLED);
    return false;
  }
  // Held until the run is over: every file it makes, replaces or removes
  // lies in this very folder.
  const PinnedFolder pinned(folder);
  // A folder that is not there is no installation (the screensaver was
  // removed and its key left): nothing may be made in its place.
  if (pinned.Get() == PinnedFolder::State::Missing) {
    ShowInfoDialog(appState.instance, mainDialog, IDD_NOT_INSTALLED);
    return false;
  }

  FailedComponents failed;
  bool walked = true;
  if (pinned.Get() == PinnedFolder::State::Pinned) {
    walked = InstallList(productKey, list, folder, mainDialog, failed);
  } else {
    // Nothing goes where a link leads.
    const int reason =
        pinned.Get() == PinnedFolder::State::Redirected ? IDS_REASON_REDIRECTED : IDS_REASON_WRITE_FAILED;
    char name[kListBufferSize];
    while (list.Next(name)) failed.Add(name, reason);
  }
  if (failed.Any()) {
    failed.Show(mainDialog);
    return false;
  }
  return walked;
}
