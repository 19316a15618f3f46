// installer_demo_driver SETUP_EXE START_FOLDER PICTURE_FOLDER [HELD_MODULE]
// installer_demo_driver --report
//
// Plays the user for scripts/run-installer.sh when there is no display to
// click on: starts the installer in START_FOLDER, looks at the help, clicks
// "&Installieren", saves a picture (BMP) of every dialog it meets in
// PICTURE_FOLDER and answers it (the folder chooser is cancelled: nobody is there to pick a
// folder; with HELD_MODULE, that module is held open for the whole run by a
// handle that lets nobody move it (a loaded one would be moved aside
// without a question), and the question about it is answered
// "Abbrechen"), closes the main dialog if it stays open, and then prints what
// the installer left behind: every component module in the product folder
// with its size and every registry value below the product key, read in
// the registry view of this program's (and the installer's) bitness.
// Exit code: the installer's, or 1 when it could not be driven.
// With --report it only prints what is installed (after a run that a user
// clicked through).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "resources/resource.h"
#include "tools/demo/gui_driver.h"
#include "tools/demo/installer_texts.h"

namespace {

const char kProductKey[] = "SOFTWARE\\Lumora\\Verdanelle";
const char* const kCategories[] = {"plants", "animations", "sounds", "specials"};

int Fail(const char* what) {
  std::fprintf(stderr, "installer_demo_driver: %s\n", what);
  return 1;
}

// Gives the program time to paint what it has just shown, then saves it.
void Picture(HWND window, const std::string& folder, const char* name) {
  Sleep(700);
  const std::string path = folder + "/" + name + ".bmp";
  if (gui::CaptureWindowToBmp(window, path)) {
    std::printf("picture: %s.bmp\n", name);
  } else {
    std::printf("picture: %s could not be taken\n", name);
  }
}

// One line per registry value, below `path` and its sub-keys.
void PrintValues(HKEY parent, const std::string& path, const std::string& shown) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  for (DWORD i = 0;; ++i) {
    char name[256] = {};
    DWORD nameLength = sizeof name;
    unsigned char data[1024] = {};
    DWORD dataSize = sizeof data;
    DWORD type = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) {
      break;
    }
    std::printf("registry: %s\\%s = ", shown.c_str(), name);
    if (type == REG_SZ) {
      std::printf("\"%.*s\" (REG_SZ)\n", static_cast<int>(dataSize > 0 ? dataSize - 1 : 0),
                  reinterpret_cast<const char*>(data));
    } else if (type == REG_DWORD && dataSize == 4) {
      DWORD value = 0;
      std::memcpy(&value, data, 4);
      std::printf("%lu (REG_DWORD)\n", static_cast<unsigned long>(value));
    } else {
      for (DWORD b = 0; b < dataSize; ++b) std::printf("%02X ", data[b]);
      std::printf("(type %lu, %lu bytes)\n", static_cast<unsigned long>(type),
                  static_cast<unsigned long>(dataSize));
    }
  }
  for (DWORD i = 0;; ++i) {
    char sub[256] = {};
    DWORD subLength = sizeof sub;
    if (RegEnumKeyExA(key, i, sub, &subLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    PrintValues(key, sub, shown + "\\" + sub);
  }
  RegCloseKey(key);
}

void PrintModules();

// What is installed: the module of every registered component with its
// size, then every value below the product key.
void PrintInstalled() {
  PrintModules();
  std::printf("registry view: %d-bit\n", static_cast<int>(sizeof(void*) * 8));
  PrintValues(HKEY_LOCAL_MACHINE, kProductKey, std::string("HKLM\\") + kProductKey);
}

// The module of every registered component, with its size.
void PrintModules() {
  char folder[MAX_PATH] = {};
  DWORD size = sizeof folder;
  const std::string general = std::string(kProductKey) + "\\general";
  if (RegGetValueA(HKEY_LOCAL_MACHINE, general.c_str(), "dir", RRF_RT_REG_SZ, nullptr, folder,
                   &size) != ERROR_SUCCESS) {
    std::printf("product folder: none registered\n");
    return;
  }
  std::printf("product folder: %s\n", folder);
  for (const char* category : kCategories) {
    HKEY key = nullptr;
    const std::string path = std::string(kProductKey) + "\\" + category;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      continue;
    }
    for (DWORD i = 0;; ++i) {
      char base[256] = {};
      DWORD baseLength = sizeof base;
      if (RegEnumValueA(key, i, base, &baseLength, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      std::string module = folder;
      if (module.empty() || module.back() != '\\') module += "\\";
      module += std::string(base) + ".dll";
      WIN32_FILE_ATTRIBUTE_DATA data = {};
      if (GetFileAttributesExA(module.c_str(), GetFileExInfoStandard, &data)) {
        std::printf("installed: %s (%lu bytes)\n", module.c_str(),
                    static_cast<unsigned long>(data.nFileSizeLow));
      } else {
        std::printf("installed: %s is registered but missing\n", module.c_str());
      }
    }
    RegCloseKey(key);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--report") == 0) {
    PrintInstalled();
    return 0;
  }
  if (argc != 4 && argc != 5) {
    return Fail("usage: installer_demo_driver SETUP_EXE START_FOLDER PICTURE_FOLDER [HELD_MODULE]");
  }
  const std::string pictures = argv[3];
  const HANDLE held = argc == 5 ? CreateFileA(argv[4], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                                : INVALID_HANDLE_VALUE;
  if (argc == 5 && held == INVALID_HANDLE_VALUE) return Fail("cannot hold the module");
  gui::Process setup;
  if (!setup.Start(argv[1], argv[2])) return Fail("cannot start the installer");
  const DWORD id = setup.Id();
  HWND main = gui::WaitForWindow(texts::kMainCaption, id, 30000);
  if (main == nullptr) return Fail("no main dialog");
  std::printf("shown: main dialog\n");
  Picture(main, pictures, "main-dialog");
  std::printf("click: &Hilfe\n");
  gui::PressButton(main, IDC_HELP_BUTTON);
  if (HWND help = gui::WaitForWindow(texts::kHelpCaption, id, 10000)) {
    std::printf("shown: help dialog\n");
    Picture(help, pictures, "help-dialog");
    gui::PressButton(help, IDOK);
    gui::WaitUntil([&] { return !IsWindow(help); }, 10000);
  }
  std::printf("click: &Installieren\n");
  gui::PressButton(main, IDC_INSTALL);

  // Answers every dialog until the program ends; a main dialog that is
  // idle again after a dialog was answered is closed.
  bool answered = false;
  DWORD code = 1;
  for (int round = 0; round < 6000 && !setup.WaitForExit(20, &code); ++round) {
    if (HWND chooser = gui::FindTopLevelWindow(texts::kFolderCaption, id)) {
      std::printf("shown: folder chooser in %s, cancelled\n",
                  gui::ControlText(chooser, IDC_FOLDER_LINE).c_str());
      Picture(chooser, pictures, "folder-chooser");
      gui::PressButton(chooser, IDC_FOLDER_CANCEL);
      gui::WaitUntil([&] { return !IsWindow(chooser); }, 10000);
      answered = true;
      continue;
    }
    if (HWND info = gui::FindTopLevelWindow(texts::kInfoCaption, id)) {
      if (texts::ContainsText(info, texts::kInUseQuestionStart)) {
        std::printf("shown: module in use, cancelled\n");
        Picture(info, pictures, "module-in-use");
        gui::PressButton(info, IDCANCEL);
        gui::WaitUntil([&] { return !IsWindow(info); }, 10000);
        continue;
      }
      const char* name = "message";
      if (texts::ContainsText(info, texts::kSuccessTextStart)) name = "success-dialog";
      if (texts::ContainsText(info, texts::kNotInstalledTextStart)) name = "not-installed-dialog";
      if (texts::ContainsText(info, texts::kFailureTextStart)) name = "error-message";
      std::printf("shown: %s\n", name);
      const std::string failure = texts::TextStartingWith(info, texts::kFailureTextStart);
      if (!failure.empty()) std::printf("  %s\n", failure.c_str());
      Picture(info, pictures, name);
      gui::PostCommand(info, IDOK);
      gui::WaitUntil([&] { return !IsWindow(info); }, 10000);
      answered = true;
      continue;
    }
    if (answered && IsWindow(main) && IsWindowEnabled(GetDlgItem(main, IDC_INSTALL))) {
      std::printf("click: close (the main dialog is idle again)\n");
      gui::PressButton(main, IDC_CLOSE);
      answered = false;
    }
  }
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  if (!setup.WaitForExit(1000, &code)) return Fail("the installer did not end");
  std::printf("exit code: %lu\n", static_cast<unsigned long>(code));

  PrintInstalled();
  return static_cast<int>(code);
}
