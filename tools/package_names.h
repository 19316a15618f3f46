// Names the package tool derives when the user gives only one file.
#pragma once

#include <string>

namespace ppk {

// The module's path with its extension replaced by ".ppk" (appended when the
// file part has none); the directory part is kept, so the package lands
// beside the module. Both '/' and '\' count as separators.
[[nodiscard]] std::string DefaultPackageName(const std::string& modulePath);

// The package's path with its extension replaced by ".dll", as the installer
// names the module it writes from a package.
[[nodiscard]] std::string DefaultModuleName(const std::string& packagePath);

}  // namespace ppk
