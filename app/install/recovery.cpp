#include "app/install/recovery.h"

#include <string>

#include "app/install/change_record.h"
#include "app/install/component_list.h"
#include "app/install/install_driver.h"
#include "app/install/module_view.h"
#include "app/install/pinned_folder.h"
#include "app/install/registration.h"
#include "app/install/registry_key.h"
#include "decode/pending_file.h"
#include "platform/file_system.h"

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Brings component `baseName`, whose module is `module`, back to one
// version from `record`. True when done: the record may go.
bool Heal(RegistryKey& productKey, const std::string& module, const char* baseName, const ChangeRecord& record) {
  for (const RecordedValue& value : record.previous) {
    if (!IsComponentValue(value, baseName)) return false;
  }
  // Cut off between moving the old module aside and the new one in: the
  // new one waits whole at a pending name.
  for (int number = 0; number < ALPendingFile::kNameCount && !Exists(module); ++number) {
    const std::string pending = ALPendingFile::PendingName(module, number);
    if (platform::IsPlainFile(pending.c_str()) && FileMatches(pending, record.moduleSize, record.moduleCrc32)) {
      static_cast<void>(platform::Rename(pending.c_str(), module.c_str()));
    }
  }
  if (FileMatches(module, record.moduleSize, record.moduleCrc32)) {
    ModuleView installed(module.c_str());
    if (RegisterComponent(productKey, installed.Resources(), baseName) != Registration::Registered) return false;
  } else if (!RegistrySnapshot(record.previous).Restore(productKey)) {
    return false;
  }
  return productKey.Flush();
}

// Every record of the module `module` of component `baseName`, in the
// order of their names.
void HealRecords(const std::string& module, const char* baseName) {
  for (int number = 0; number < kRecordNameCount; ++number) {
    const std::string path = ChangeRecordName(module, number);
    ChangeRecord record;
    const RecordFound found = ReadChangeRecord(path, &record);
    if (found == RecordFound::Torn) static_cast<void>(RemoveChangeRecord(path));
    if (found != RecordFound::Whole) continue;
    // Writes only once a record shows that an installation was under way.
    RegistryKey productKey(HKEY_LOCAL_MACHINE, kProductKeyPath);
    if (Heal(productKey, module, baseName, record)) static_cast<void>(RemoveChangeRecord(path));
  }
}

}  // namespace

void RecoverCutOffRuns(HINSTANCE instance) {
  // Only reads: a start must not create the product key.
  RegistryKey productKey(HKEY_LOCAL_MACHINE, kProductKeyPath, RegistryKey::Opening::ExistingOnly);
  char folder[kFolderBufferSize] = {};
  if (!ReadProductFolder(productKey, folder)) return;
  // Nothing is set right through a link: that waits for a start that finds
  // the folder itself.
  const PinnedFolder pinned(folder);
  if (pinned.Get() != PinnedFolder::State::Pinned) return;
  ComponentList list(instance);
  char name[ComponentList::kBufferSize];
  while (list.Next(name)) {
    // The module's path as the installation made it, a second backslash
    // after a folder that ends in one included.
    const std::string module = std::string(folder) + "\\" + name + ".dll";
    HealRecords(module, name);
    ALPendingFile::RemoveLeftovers(module.c_str());
  }
}
