#include "app/install/recovery.h"

#include "app/install/component_list.h"
#include "app/install/install_driver.h"
#include "app/install/registration.h"
#include "app/install/registry_key.h"
#include "app/message_text.h"
#include "decode/pending_file.h"

namespace {

// Room for one module's path: the folder, a backslash, a name and ".dll".
constexpr size_t kModulePathSize = kFolderBufferSize + ComponentList::kBufferSize + 5;

}  // namespace

void RecoverCutOffRuns(HINSTANCE instance) {
  // Only reads: a start must not create the product key.
  RegistryKey productKey(HKEY_LOCAL_MACHINE, kProductKeyPath, RegistryKey::Opening::ExistingOnly);
  char folder[kFolderBufferSize] = {};
  if (!ReadProductFolder(productKey, folder)) return;
  ComponentList list(instance);
  char name[ComponentList::kBufferSize];
  while (list.Next(name)) {
    char module[kModulePathSize] = {};
    if (!AppendWhole(module, sizeof module, folder) || !AppendWhole(module, sizeof module, "\\") ||
        !AppendWhole(module, sizeof module, name) || !AppendWhole(module, sizeof module, ".dll")) {
      continue;
    }
    ALPendingFile::RemoveLeftovers(module);
  }
}
