#include "app/install/install_driver.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/app_state.h"
#include "app/dialogs/folder_chooser.h"
#include "app/dialogs/info_dialog.h"
#include "app/install/registration.h"
#include "app/install/registry_key.h"
#include "app/install/resource_blob.h"
#include "decode/pending_file.h"
#include "resources/resource.h"

namespace {

// Registry value "dir" and folders picked in the chooser.
constexpr int kFolderBufferSize = 260;
// The component list (string 2).
constexpr int kListBufferSize = 400;
// The two paths of one attempt: folder, backslash, base name, extension.
constexpr size_t kPathBufferSize = 520;
// Status texts and the failure message's pattern.
constexpr int kStatusBufferSize = 200;
// The failed base names, joined by ", ".
constexpr size_t kFailedNamesSize = 400;
constexpr size_t kMessageBufferSize = kStatusBufferSize + kFailedNamesSize;

constexpr char kFailureCaption[] = "Installation von Zusatzkomponenten";

// Results of InstallPackage.
constexpr int kExtracted = 0;
constexpr int kPackageNotFound = -1;
constexpr int kExtractionFailed = -2;

// Results of InstallOneComponent.
enum class Outcome { NotFound, Installed, Failed };

bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

char* SkipSeparators(char* text) {
  while (*text != '\0' && !IsNameChar(*text)) ++text;
  return text;
}

// Appends `text` to the zero-terminated `buffer` of `size` bytes only if it
// fits whole; returns whether it did.
bool Append(char* buffer, size_t size, const char* text) {
  const size_t used = std::strlen(buffer);
  const size_t length = std::strlen(text);
  if (used + length >= size) return false;
  std::memcpy(buffer + used, text, length + 1);
  return true;
}

// Appends as much of `text` as fits; the buffer stays terminated.
void AppendCut(char* buffer, size_t size, const char* text) {
  size_t used = std::strlen(buffer);
  while (*text != '\0' && used + 1 < size) buffer[used++] = *text++;
  buffer[used] = '\0';
}

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

// A product folder the installer may write into: absolute, on a drive
// ("C:\...") or a share ("\\server\share..."). An empty or relative "dir"
// would put the modules below whatever the current folder happens to be.
bool IsAbsoluteFolder(const char* folder) {
  const bool letter = (folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z');
  const bool drive = letter && folder[1] == ':' && folder[2] == '\\';
  const bool share = folder[0] == '\\' && folder[1] == '\\' && folder[2] != '\0' && folder[2] != '\\';
  return drive || share;
}

// Shows string `id` in the main dialog's status line; -1 (or a missing
// string) empties it.
void SetStatusLine(int id) {
  char text[kStatusBufferSize] = {};
  if (id < 0 || LoadStringA(appState.instance, id, text, kStatusBufferSize) <= 0) text[0] = '\0';
  SetDlgItemTextA(appState.mainDialog, IDC_STATUS, text);
}

// The size and CRC-32 that the build recorded for `baseName`'s module, from
// the installer's payload table (lines "<base> <size> <crc in hex>"). False
// when the installer has no table or the table no line for the name: a
// package made elsewhere, which installs unchecked.
bool ExpectedPayload(const char* baseName, uint32_t* size, uint32_t* crc) {
  const ResourceBlob table(appState.instance, IDR_PAYLOAD_TABLE, RT_RCDATA);
  const unsigned char* bytes = nullptr;
  uint32_t length = 0;
  if (!table.GetData(&bytes, &length)) return false;
  const char* text = reinterpret_cast<const char*>(bytes);  // the blob adds the terminator
  const size_t nameLength = std::strlen(baseName);
  for (const char* line = text; *line != '\0';) {
    const char* next = std::strchr(line, '\n');
    if (std::strncmp(line, baseName, nameLength) == 0 && line[nameLength] == ' ') {
      unsigned long expectedSize = 0;
      unsigned long expectedCrc = 0;
      if (std::sscanf(line + nameLength, " %lu %lx", &expectedSize, &expectedCrc) != 2) return false;
      *size = static_cast<uint32_t>(expectedSize);
      *crc = static_cast<uint32_t>(expectedCrc);
      return true;
    }
    if (next == nullptr) break;
    line = next + 1;
  }
  return false;
}

// Decompresses `package` and installs it as `module`, registered as
// `baseName`: 0 installed, -1 package not found, -2 failed. The package is
// only read (never copied, written or re-attributed: it lies in a folder
// the user controls). The decoded module is checked against the payload
// table, then as a module (read as data: no code of it runs) and registered
// from its pending file, all before it replaces `module`; a failure at any
// step leaves the installed module and the registry as they were.
int InstallPackage(const char* package, const char* module, const char* baseName) {
  SetStatusLine(IDS_EXTRACTING);
  if (GetFileAttributesA(package) == INVALID_FILE_ATTRIBUTES) {
    SetStatusLine(-1);
    return kPackageNotFound;
  }
  uint32_t size = 0;
  uint32_t crc = 0;
  const bool expected = ExpectedPayload(baseName, &size, &crc);
  // A package that decodes to more than the recorded module fails at the
  // first byte too many, not at the storage's end.
  const int32_t limit = expected && size < static_cast<uint32_t>(ALPendingFile::kNoLimit)
                            ? static_cast<int32_t>(size)
                            : ALPendingFile::kNoLimit;
  ALPendingFile pending(module);
  ALStatusRecord status;
  const int decoded = pending.Decode(package, limit, status);
  SetStatusLine(-1);
  if (decoded != StatusOk) return kExtractionFailed;
  if (expected && (pending.Size() != size || pending.Crc32() != crc)) return kExtractionFailed;

  SetStatusLine(IDS_REGISTERING);
  RegistrySnapshot previous;
  int registered = 0;
  {
    const ComponentModule decodedModule(pending.PendingPath());
    registered = RegisterComponent(decodedModule.Get(), baseName, &previous);
  }  // unmapped before it is moved
  int result = registered ? kExtracted : kExtractionFailed;
  if (registered && pending.Replace(status) != StatusOk) {
    previous.Restore(*LentProductKey());
    result = kExtractionFailed;
  }
  SetStatusLine(-1);
  return result;
}

// One attempt at component `baseName`: appends the file names to both
// paths (the caller cuts them back) and installs the package.
Outcome InstallOneComponent(AttemptPath& destination, AttemptPath& source, const char* baseName) {
  // The name, four characters of extension and the terminator.
  const size_t needed = std::strlen(baseName) + 5;
  if (destination.Room() < needed || source.Room() < needed) return Outcome::Failed;
  if (!Append(destination.text, sizeof destination.text, baseName) ||
      !Append(destination.text, sizeof destination.text, ".dll") ||
      !Append(source.text, sizeof source.text, baseName) ||
      !Append(source.text, sizeof source.text, ".ppk")) {
    return Outcome::Failed;
  }

  const int installed = InstallPackage(source.text, destination.text, baseName);
  if (installed == kPackageNotFound) return Outcome::NotFound;
  return installed == kExtracted ? Outcome::Installed : Outcome::Failed;
}

// The base names of the components that failed, joined by ", ".
class FailedNames {
 public:
  void Add(const char* baseName) {
    if (text[0] != '\0') AppendCut(text, sizeof text, ", ");
    AppendCut(text, sizeof text, baseName);
    any = true;
  }
  bool Any() const { return any; }
  const char* Text() const { return text; }

 private:
  char text[kFailedNamesSize] = {};
  bool any = false;
};

// One error message, owned by the main dialog, naming the failed components
// in place of the "%s" of string 8. The names are inserted as text, never
// used as a format.
void ShowFailure(HWND mainDialog, const FailedNames& failed) {
  char pattern[kStatusBufferSize] = {};
  if (LoadStringA(appState.instance, IDS_NOT_INSTALLED, pattern, kStatusBufferSize) <= 0) {
    pattern[0] = '\0';
  }
  char message[kMessageBufferSize] = {};
  char* marker = std::strstr(pattern, "%s");
  if (marker == nullptr) {
    AppendCut(message, sizeof message, pattern);
  } else {
    *marker = '\0';
    AppendCut(message, sizeof message, pattern);
    AppendCut(message, sizeof message, failed.Text());
    AppendCut(message, sizeof message, marker + 2);
  }
  MessageBoxA(mainDialog, message, kFailureCaption, MB_OK | MB_ICONERROR);
}

}  // namespace

int InstallComponents(HWND mainDialog) {
  RegistryKey productKey(HKEY_LOCAL_MACHINE, kProductKeyPath);

  char list[kListBufferSize] = {};
  if (LoadStringA(appState.instance, IDS_COMPONENTS, list, kListBufferSize) <= 0) return 0;
  char* position = SkipSeparators(list);
  if (*position == '\0') return 0;

  AttemptPath destination;
  AttemptPath source;
  if (!productKey.ReadString("general", "dir", destination.text, kFolderBufferSize) ||
      !IsAbsoluteFolder(destination.text)) {
    DialogBoxParamA(appState.instance, MAKEINTRESOURCEA(IDD_NOT_INSTALLED), mainDialog,
                    InfoDialogProc, 0);
    return 0;
  }
  ProductKeyLoan loan(productKey);

  // Always one more backslash: "C:\Programme\" gives "C:\Programme\\p0046.dll",
  // which the file system takes as the same path.
  if (!Append(destination.text, sizeof destination.text, "\\")) return 0;
  destination.TakeDirectory();
  source.TakeDirectory();  // empty: the current folder

  FailedNames failed;
  int proceed = 1;
  while (proceed == 1) {
    char* end = position;
    while (IsNameChar(*end)) ++end;
    const char saved = *end;
    *end = '\0';

    // Attempts at this name until it is installed, fails, or the user gives up.
    for (;;) {
      Outcome outcome;
      {
        WaitCursor wait;
        outcome = InstallOneComponent(destination, source, position);
      }
      if (outcome == Outcome::Failed) failed.Add(position);
      if (outcome != Outcome::NotFound) break;

      destination.CutBack();
      source.CutBack();
      if (!ChooseFolder(appState.instance, mainDialog, source.text, kFolderBufferSize,
                        IDS_CHOOSE_FOLDER)) {
        proceed = 0;
        break;
      }
      source.TakeDirectory();
    }

    *end = saved;
    destination.CutBack();
    source.CutBack();
    position = SkipSeparators(end);
    if (*position == '\0') break;
  }

  if (failed.Any()) {
    ShowFailure(mainDialog, failed);
    return 0;
  }
  return proceed;
}
