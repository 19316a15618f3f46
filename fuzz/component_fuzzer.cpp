// Feeds arbitrary bytes as a module file through the PE resource reader and
// the component reader, as `ppk inspect` reads a module, and checks what they
// hand out: every resource found lies within the file, the module is
// refused exactly when a finding says why (the last one), and one that
// registers has what registration writes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "component/component_reader.h"
#include "component/pe_resources.h"
#include "tools/inspect.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "component_fuzzer: %s\n", what);
  std::abort();
}

// The PE reader, with every resource it finds checked against the file.
class CheckedSource : public ResourceSource {
 public:
  CheckedSource(const std::uint8_t* data, std::size_t size) : resources(data, size), data(data), size(size) {}
  Lookup Find(std::uint16_t type, std::uint16_t id, const unsigned char** bytes, std::uint32_t* length) override {
    const Lookup lookup = resources.Find(type, id, bytes, length);
    if (lookup == Lookup::Found && *length != 0) {
      Check(*bytes >= data && *length <= size && *bytes - data <= static_cast<std::ptrdiff_t>(size - *length),
            "a resource found outside the file");
    }
    return lookup;
  }

 private:
  PeResources resources;
  const std::uint8_t* data;
  std::size_t size;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckedSource source(data, size);
  ComponentRecords component;
  std::vector<Finding> findings;
  const bool registered = ReadComponent(source, &component, &findings);
  for (std::size_t i = 0; i + 1 < findings.size(); ++i) Check(!findings[i].refuses, "a refusal before the last finding");
  Check(registered == (findings.empty() || !findings.back().refuses), "refused without a reason, or registered with one");
  if (registered) {
    Check(component.kind != nullptr && component.displayNameLength > 0, "registered without a kind or a name");
    Check(component.entries.size() <= 0x7FFF, "more entries than a count can have");
    Check(component.kind->recordsSubKey != nullptr || component.entries.empty(), "records for a plant");
  }
  // What ppk prints of it, from the same bytes.
  const std::vector<unsigned char> module(data, data + size);
  std::string report;
  const bool inspected = ppk::InspectModule("fuzz.dll", module, &report);
  Check(inspected == registered, "ppk inspect and the component reader disagree");
  Check(report.rfind(registered ? "kind: " : "refused: ", 0) == 0, "report");
  return 0;
}
