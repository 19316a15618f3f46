#include "tools/package_names.h"

namespace ppk {
namespace {

std::string ReplaceExtension(const std::string& path, const char* extension) {
  const std::string::size_type fileStart = path.find_last_of("/\\");
  const std::string::size_type dot = path.find_last_of('.');
  const bool fileHasDot =
      dot != std::string::npos && (fileStart == std::string::npos || dot > fileStart);
  // A leading dot ("dir/.hidden") names the file, it is no extension.
  const bool dotStartsName =
      fileHasDot && (dot == 0 || (fileStart != std::string::npos && dot == fileStart + 1));
  if (!fileHasDot || dotStartsName) return path + extension;
  return path.substr(0, dot) + extension;
}

}  // namespace

std::string DefaultPackageName(const std::string& modulePath) {
  return ReplaceExtension(modulePath, ".ppk");
}

std::string DefaultModuleName(const std::string& packagePath) {
  return ReplaceExtension(packagePath, ".dll");
}

}  // namespace ppk
