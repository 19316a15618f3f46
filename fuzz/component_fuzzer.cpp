// Feeds arbitrary bytes as a module file through the PE resource reader and
// the component reader, and through what `ppk inspect` prints of it, and
// checks what they hand out: the module is refused exactly when the last
// finding says why (and no other does), and one that registers has what
// registration writes. A read outside the file is the sanitizer's to see.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  PeResources source(data, size);
  ComponentRecords component;
  std::vector<Finding> findings;
  const bool registered = ReadComponent(source, &component, &findings);
  for (std::size_t i = 0; i + 1 < findings.size(); ++i) Check(!findings[i].refuses, "a refusal before the last finding");
  Check(registered == (findings.empty() || !findings.back().refuses), "refused without a reason, or registered with one");
  Check(!registered || (component.kind != nullptr && component.displayNameLength > 0 &&
                        (component.kind->recordsSubKey != nullptr || component.entries.empty())),
        "registered without a kind or a name, or a plant with records");
  std::string report;
  Check(ppk::InspectModule("fuzz.dll", std::vector<unsigned char>(data, data + size), &report) == registered &&
            report.rfind(registered ? "kind: " : "refused: ", 0) == 0,
        "ppk inspect and the component reader disagree");
  return 0;
}
