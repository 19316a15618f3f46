#include "app/install_driver.h"

// Placeholder until the installation driver lands: installs nothing.
int InstallComponents(HWND) { return 0; }
