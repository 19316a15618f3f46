#include "app/instance_lock.h"

#include <aclapi.h>
#include <sddl.h>

namespace {

constexpr wchar_t kBoundaryName[] = L"Lumora.Verdanelle";
constexpr wchar_t kNamespaceAlias[] = L"Lumora.Verdanelle";
constexpr wchar_t kMutexInNamespace[] = L"Lumora.Verdanelle\\AddonSetup";
constexpr wchar_t kSessionMutex[] = L"Local\\Lumora.Verdanelle.AddonSetup";
// Owned by the Administrators group; only it and SYSTEM may open it.
constexpr wchar_t kAdministratorsOnly[] = L"O:BAD:P(A;;GA;;;BA)(A;;GA;;;SY)";

// The calls of private namespaces, looked up at run time: systems without
// them would otherwise not start the program at all.
struct NamespaceCalls {
  using CreateBoundaryFn = HANDLE(WINAPI*)(LPCWSTR, ULONG);
  using AddSidFn = BOOL(WINAPI*)(HANDLE*, PSID);
  using CreateNamespaceFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
  using OpenNamespaceFn = HANDLE(WINAPI*)(LPVOID, LPCWSTR);
  using CloseNamespaceFn = BOOLEAN(WINAPI*)(HANDLE, ULONG);
  using DeleteBoundaryFn = VOID(WINAPI*)(HANDLE);
  CreateBoundaryFn createBoundary = nullptr;
  AddSidFn addSid = nullptr;
  CreateNamespaceFn createNamespace = nullptr;
  OpenNamespaceFn openNamespace = nullptr;
  CloseNamespaceFn closeNamespace = nullptr;
  DeleteBoundaryFn deleteBoundary = nullptr;

  NamespaceCalls() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return;
    Find(kernel, "CreateBoundaryDescriptorW", createBoundary);
    Find(kernel, "AddSIDToBoundaryDescriptor", addSid);
    Find(kernel, "CreatePrivateNamespaceW", createNamespace);
    Find(kernel, "OpenPrivateNamespaceW", openNamespace);
    Find(kernel, "ClosePrivateNamespace", closeNamespace);
    Find(kernel, "DeleteBoundaryDescriptor", deleteBoundary);
  }
  bool All() const {
    return createBoundary != nullptr && addSid != nullptr && createNamespace != nullptr && openNamespace != nullptr &&
           closeNamespace != nullptr && deleteBoundary != nullptr;
  }

 private:
  template <typename Fn>
  static void Find(HMODULE module, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
};

const NamespaceCalls& Calls() {
  static const NamespaceCalls calls;
  return calls;
}

// A security descriptor made from SDDL, freed with the object.
class Descriptor {
 public:
  explicit Descriptor(const wchar_t* sddl) {
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &attributes.lpSecurityDescriptor,
                                                              nullptr)) {
      attributes.lpSecurityDescriptor = nullptr;
    }
  }
  ~Descriptor() { LocalFree(attributes.lpSecurityDescriptor); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  SECURITY_ATTRIBUTES* Get() { return attributes.lpSecurityDescriptor != nullptr ? &attributes : nullptr; }

 private:
  SECURITY_ATTRIBUTES attributes = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

// Whether the object `handle` is owned by the Administrators group or by
// SYSTEM, as an elevated installer's lock is and no other process's can be.
bool OwnedByAdministrators(HANDLE handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool administrators = owner != nullptr && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                                                   IsWellKnownSid(owner, WinLocalSystemSid));
  LocalFree(descriptor);
  return administrators;
}

}  // namespace

InstanceLock::InstanceLock() {
  Descriptor administratorsOnly(kAdministratorsOnly);
  if (administratorsOnly.Get() == nullptr) return;
  if (Calls().All() && InNamespace(administratorsOnly.Get())) return;
  InSession(administratorsOnly.Get());
}

bool InstanceLock::InNamespace(SECURITY_ATTRIBUTES* administratorsOnly) {
  const NamespaceCalls& calls = Calls();
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof sid;
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize)) return false;
  boundary = calls.createBoundary(kBoundaryName, 0);
  if (boundary == nullptr || !calls.addSid(&boundary, sid)) return false;
  space = calls.createNamespace(administratorsOnly, boundary, kNamespaceAlias);
  if (space == nullptr && GetLastError() == ERROR_ALREADY_EXISTS) space = calls.openNamespace(boundary, kNamespaceAlias);
  if (space == nullptr) return false;
  mutex = CreateMutexW(administratorsOnly, FALSE, kMutexInNamespace);
  if (mutex != nullptr) state = GetLastError() == ERROR_ALREADY_EXISTS ? State::HeldByAnother : State::Held;
  return true;
}

void InstanceLock::InSession(SECURITY_ATTRIBUTES* administratorsOnly) {
  mutex = CreateMutexW(administratorsOnly, FALSE, kSessionMutex);
  if (mutex == nullptr) return;
  if (GetLastError() != ERROR_ALREADY_EXISTS) {
    state = State::Held;
  } else if (OwnedByAdministrators(mutex)) {
    state = State::HeldByAnother;
  }
}

InstanceLock::~InstanceLock() {
  if (mutex != nullptr) CloseHandle(mutex);
  if (space != nullptr) Calls().closeNamespace(space, 0);
  if (boundary != nullptr) Calls().deleteBoundary(boundary);
}
