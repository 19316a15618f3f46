// addon-setup.exe: installs the add-on components this build carries. Takes
// no arguments and always ends with exit code 0.
#include <windows.h>

#include "app/install/install_driver.h"
#include "app/installer_program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return RunInstaller(instance, InstallComponents);
}
