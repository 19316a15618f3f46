#include "app/install/install_driver.h"

#include <cstdint>
#include <cstring>

#include "app/app_state.h"
#include "app/dialogs/folder_chooser.h"
#include "app/dialogs/info_dialog.h"
#include "app/install/registration.h"
#include "app/install/registry_key.h"
#include "decode/inflate_decoder.h"
#include "resources/resource.h"
#include "storage/file_storage.h"

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

constexpr std::int32_t kStorageBufferSize = 4096;
constexpr char kFailureCaption[] = "Installation von Zusatzkomponenten";
// Prefix of the writable copy of a read-only package in the temp folder.
constexpr char kCopyPrefix[] = "xzx";
// The module is decompressed beside itself under this extra extension and
// replaces the module only when the whole package decoded soundly.
constexpr char kPendingSuffix[] = ".tmp";

// Results of ExtractPackage.
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

// A file that is deleted when the object goes away, unless kept.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile() {
    if (name[0] != '\0') DeleteFileA(name);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // The file no longer needs deleting (it was moved away).
  void Keep() { name[0] = '\0'; }

  char name[kPathBufferSize] = {};
};

// A module loaded as a library for as long as the object lives.
class LoadedModule {
 public:
  explicit LoadedModule(const char* path) : module(LoadLibraryA(path)) {}
  ~LoadedModule() {
    if (module != nullptr) FreeLibrary(module);
  }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  HMODULE Get() const { return module; }

 private:
  HMODULE module;
};

// Shows string `id` in the main dialog's status line; -1 (or a missing
// string) empties it.
void SetStatusLine(int id) {
  char text[kStatusBufferSize] = {};
  if (id < 0 || LoadStringA(appState.instance, id, text, kStatusBufferSize) <= 0) text[0] = '\0';
  SetDlgItemTextA(appState.mainDialog, IDC_STATUS, text);
}

// Makes a writable copy of the read-only `package` in the temp folder and
// names it in `copy`. False when any step fails; a copy already made is
// deleted by `copy`.
bool MakeWritableCopy(const char* package, TemporaryFile& copy) {
  char tempFolder[kFolderBufferSize] = {};
  const DWORD length = GetTempPathA(kFolderBufferSize, tempFolder);
  if (length == 0 || length >= kFolderBufferSize) return false;
  // GetTempFileNameA writes at most MAX_PATH characters and creates the file.
  char made[MAX_PATH] = {};
  if (GetTempFileNameA(tempFolder, kCopyPrefix, 0, made) == 0) return false;
  if (!Append(copy.name, sizeof copy.name, made)) {
    DeleteFileA(made);
    return false;
  }
  if (!CopyFileA(package, copy.name, FALSE)) return false;
  const DWORD attributes = GetFileAttributesA(copy.name);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return SetFileAttributesA(copy.name, attributes & ~FILE_ATTRIBUTE_READONLY) != 0;
}

// Decompresses `package` into `module`: 0 extracted, -1 package not found,
// -2 extraction failed. The data go to `module` + ".tmp" first, which
// replaces `module` only after a sound run; on every failure the temporary
// file is deleted and an existing module is left as it was.
int ExtractPackage(const char* package, const char* module) {
  if (package == nullptr || module == nullptr) return kExtractionFailed;
  const DWORD attributes = GetFileAttributesA(package);
  if (attributes == INVALID_FILE_ATTRIBUTES) return kPackageNotFound;

  TemporaryFile copy;
  const char* input = package;
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    if (!MakeWritableCopy(package, copy)) return kExtractionFailed;
    input = copy.name;
  }

  TemporaryFile pending;
  if (!Append(pending.name, sizeof pending.name, module) ||
      !Append(pending.name, sizeof pending.name, kPendingSuffix)) {
    pending.Keep();  // nothing of that name was made
    return kExtractionFailed;
  }

  int result = kExtracted;
  {
    ALFileStorage inputStorage(input, kStorageBufferSize, CaseInsensitive);
    ALFileStorage outputStorage(pending.name, kStorageBufferSize, CaseInsensitive);
    ALInflateDecoder decoder;
    decoder.Decompress(inputStorage, outputStorage, -1);
    if (decoder.status.code != StatusOk) result = kExtractionFailed;
    if (outputStorage.Close() != StatusOk) result = kExtractionFailed;
  }
  if (result != kExtracted) return result;

  if (!MoveFileExA(pending.name, module, MOVEFILE_REPLACE_EXISTING)) return kExtractionFailed;
  pending.Keep();
  return kExtracted;
}

// Loads `module` and registers it as `baseName`. True when the display name
// was written.
bool LoadAndRegister(const char* module, const char* baseName) {
  SetStatusLine(IDS_REGISTERING);
  bool registered = false;
  {
    LoadedModule library(module);
    if (library.Get() != nullptr) registered = RegisterComponent(library.Get(), baseName) == 1;
  }
  SetStatusLine(-1);
  return registered;
}

// One attempt at component `baseName`: appends the file names to both
// paths (the caller cuts them back), extracts and registers.
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

  SetStatusLine(IDS_EXTRACTING);
  const int extracted = ExtractPackage(source.text, destination.text);
  SetStatusLine(-1);

  if (extracted == kPackageNotFound) return Outcome::NotFound;
  if (extracted != kExtracted) return Outcome::Failed;
  return LoadAndRegister(destination.text, baseName) ? Outcome::Installed : Outcome::Failed;
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
  if (!productKey.ReadString("general", "dir", destination.text, kFolderBufferSize)) {
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
