#include "tools/inspect.h"

#include <algorithm>
#include <cstdio>

#include "component/component_reader.h"
#include "component/pe_resources.h"
#include "decode/copy_decoder.h"
#include "decode/inflate_decoder.h"
#include "storage/file_storage.h"
#include "storage/memory_storage.h"
#include "tools/unpack.h"

namespace ppk {
namespace {

// The installer's storages: its buffers, names compared ignoring case.
constexpr std::int32_t kBufferSize = ALFileStorage::kDefaultBufferSize;
constexpr std::int32_t kWholeInput = -1;
constexpr const char kPackageExtension[] = ".ppk";
constexpr const char kProductKey[] = "HKLM\\SOFTWARE\\Lumora\\Verdanelle\\";
// The installer's reasons for a module it cannot use and for a name it
// cannot take (its strings 33 and 37), here in UTF-8.
constexpr const char kNotAModule[] = "Das Paket enth\xC3\xA4" "lt keine verwendbare Komponente.";
constexpr const char kBadName[] = "Der Name der Komponente ist nicht zul\xC3\xA4" "ssig.";
// Record names: at most this many characters of the base name, "-", index.
constexpr std::size_t kRecordPrefixLength = 20;
// Where each block goes in an entry's record, in the order of Finding's
// FirstBlock, SecondBlock, LastBlock.
constexpr const char* kBlockNames[] = {"first", "second", "last"};
constexpr const char* kBlockBytes[] = {"2-11", "12-21", "22-25"};
// Windows-1252 at 0x80..0x9F; where it has no character of its own, the
// Windows code page passes the C1 control of that number through.
constexpr char16_t kCp1252High[] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsLetterOrDigit(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

bool EndsWithNoCase(const std::string& text, const char* end) {
  const std::string tail(end);
  if (text.size() < tail.size()) return false;
  return std::equal(tail.begin(), tail.end(), text.end() - static_cast<std::ptrdiff_t>(tail.size()),
                    [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

// The file name of `path` without folder and extension.
std::string BaseNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

std::string Number(long long value) { return std::to_string(value); }

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

void AppendUtf8(std::string* text, char16_t unit) {
  if (unit < 0x80) {
    *text += static_cast<char>(unit);
  } else if (unit < 0x800) {
    *text += static_cast<char>(0xC0 | unit >> 6);
    *text += static_cast<char>(0x80 | (unit & 0x3F));
  } else {
    *text += static_cast<char>(0xE0 | unit >> 12);
    *text += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
    *text += static_cast<char>(0x80 | (unit & 0x3F));
  }
}

bool InWindows1252(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return true;
  return std::find(std::begin(kCp1252High), std::end(kCp1252High), unit) != std::end(kCp1252High);
}

// The display name as the installer writes it in Windows-1252, where each
// UTF-16 unit is one byte: its first kDisplayNameBytes units, ending at a
// NUL; a unit the code page does not have as "?" (the installer writes a
// stand-in). Warns of each of these that happens.
std::string DisplayName(const ComponentRecords& component, std::vector<std::string>* warnings) {
  if (component.displayNameLength > kDisplayNameBytes) {
    warnings->push_back("the display name is " + Number(static_cast<long long>(component.displayNameLength)) +
                        " characters long: the installer writes its first " + Number(kDisplayNameBytes));
  }
  const std::size_t units = std::min(component.displayNameLength, kDisplayNameBytes);
  std::string text;
  std::vector<unsigned> named;
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t unit = component.displayName[i];
    if (unit == 0) {
      warnings->push_back("the display name holds a NUL after " + Number(static_cast<long long>(i)) +
                          " characters: the installer's value ends there");
      break;
    }
    if (InWindows1252(unit)) {
      AppendUtf8(&text, unit);
      continue;
    }
    unsigned point = unit;
    const char16_t next = i + 1 < units ? component.displayName[i + 1] : 0;
    if (unit >= 0xD800 && unit <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
      point = 0x10000 + ((unit - 0xD800u) << 10) + (next - 0xDC00u);
      text += '?';
      ++i;
    }
    text += '?';
    if (std::find(named.begin(), named.end(), point) != named.end()) continue;
    named.push_back(point);
    warnings->push_back("the display name's U+" + Hex(point, 4) +
                        " is not in Windows-1252: the installer writes a stand-in for it (shown as ?)");
  }
  return text;
}

// What `finding` is about, for people.
std::string Subject(const Finding& finding, const ComponentRecords& component) {
  const std::string id = Number(finding.id);
  switch (finding.record) {
    case Finding::Record::TypeCode: return "record 400 (type code)";
    case Finding::Record::DisplayNameId: return "record 401 (display name id)";
    case Finding::Record::StringBlock: return "string block " + id;
    case Finding::Record::DisplayName: return "string " + id + " (display name)";
    case Finding::Record::SeedCount: return "record 404 (seed count)";
    case Finding::Record::EntryCount: return "record 402 (entry count)";
    case Finding::Record::EntryIds: return "record 403 (entry ids)";
    default: break;
  }
  const auto block = static_cast<std::size_t>(finding.record) - static_cast<std::size_t>(Finding::Record::FirstBlock);
  std::string entry = "record " + id + " (" + kBlockNames[block] + " block of entry " + Number(finding.entry);
  if (finding.entry < component.entries.size()) {
    const auto& record = component.entries[finding.entry];
    entry += ", id " + Number(record[0] | record[1] << 8);
  }
  return entry + ")";
}

// What is wrong with it.
std::string Problem(const Finding& finding) {
  const std::string size = Number(finding.size);
  const std::string expected = Number(finding.expected);
  const std::string value = Number(finding.value);
  switch (finding.problem) {
    case Finding::Problem::Missing: return "is missing";
    case Finding::Problem::WrongSize: return "is " + size + " bytes, not " + expected;
    case Finding::Problem::Unreadable: return "lies outside the module";
    case Finding::Problem::OverLimit:
      return "claims " + size + " bytes, more than the " + expected + " a record may have";
    case Finding::Problem::NoKind: return "is " + value + ", not a type code 1 to 4";
    case Finding::Problem::NotPositive:
    case Finding::Problem::Negative: return "is " + value;
    case Finding::Problem::TooMany: return "is " + value + ", more than the " + expected + " entries a component may have";
    case Finding::Problem::FewerIds:
      return "holds " + size + " bytes, fewer than the " + expected + " that " + Number(finding.expected / 2) +
             " ids take";
    case Finding::Problem::StrayBytes:
      return "holds " + size + " bytes, " + Number(finding.size - finding.expected) + " more than the " + expected +
             " that " + Number(finding.expected / 2) + " ids take";
    case Finding::Problem::StringPastEnd: return "ends inside string " + value;
    case Finding::Problem::EndsEarly: return "ends before string " + value;
    case Finding::Problem::Empty: return "is empty or missing";
  }
  return "";
}

// What the installer makes of a finding that does not refuse the module.
std::string Mend(const Finding& finding, const std::string& recordsKey, const std::string& prefix) {
  switch (finding.record) {
    case Finding::Record::SeedCount: return "no seed count is written";
    case Finding::Record::EntryCount: return "no entry records are written";
    case Finding::Record::EntryIds:
      return finding.problem == Finding::Problem::StrayBytes ? "the rest is not read" : "no entry records are written";
    default: break;
  }
  const auto block = static_cast<std::size_t>(finding.record) - static_cast<std::size_t>(Finding::Record::FirstBlock);
  return std::string("bytes ") + kBlockBytes[block] + " of " + recordsKey + "\\" + prefix + Number(finding.entry) +
         " are zeros";
}

std::string Refusal(const char* reason, const std::string& why) {
  return std::string("refused: ") + reason + "\nwhy: " + why + "\n";
}

}  // namespace

bool LoadModule(const std::string& path, std::int32_t sizeLimit, std::vector<unsigned char>* module,
                std::string* message) {
  ALFileStorage input(path.c_str(), kBufferSize, CaseInsensitive);
  input.readOnly = 1;
  ALMemoryStorage output("(module)", kBufferSize);
  output.sizeLimit = sizeLimit;
  ALInflateDecoder inflate;
  ALCopyDecoder copy;
  ALDecoder& decoder = EndsWithNoCase(path, kPackageExtension) ? static_cast<ALDecoder&>(inflate) : copy;
  if (decoder.Decompress(input, output, kWholeInput) != StatusOk) {
    // The memory storage fails a write only past its limit.
    *message = output.status.code == StatusWriteFailed
                   ? path + " holds a module of more than " + Number(sizeLimit) + " bytes, more than ppk reads"
                   : StatusMessage(decoder.status);
    return false;
  }
  *module = std::move(output.content);
  return true;
}

bool InspectModule(const std::string& path, const std::vector<unsigned char>& module, std::string* report) {
  const std::string base = BaseNameOf(path);
  if (base.empty() || !std::all_of(base.begin(), base.end(), IsLetterOrDigit)) {
    *report = Refusal(kBadName, "the base name \"" + base + "\" is not letters and digits only");
    return false;
  }
  PeResources resources(module.data(), module.size());
  if (resources.Fault() != nullptr) {
    *report = Refusal(kNotAModule, std::string("not a module: ") + resources.Fault());
    return false;
  }
  ComponentRecords component;
  std::vector<Finding> findings;
  if (!ReadComponent(resources, &component, &findings)) {
    *report = Refusal(kNotAModule, findings.empty() ? "" : Subject(findings.back(), component) + " " +
                                                             Problem(findings.back()));
    return false;
  }
  const ComponentKind& kind = *component.kind;
  const std::string prefix = base.substr(0, kRecordPrefixLength) + "-";
  std::vector<std::string> warnings;
  *report = std::string("kind: ") + kind.name + " (type code " + Number(kind.typeCode) + ")\n";
  *report += kProductKey + std::string(kind.category) + "\\" + base + " = \"" + DisplayName(component, &warnings) +
             "\" (REG_SZ)\n";
  if (component.seedCount > 0) {
    *report += kProductKey + std::string("seeds\\") + base + " = " + Number(component.seedCount) + " (REG_DWORD)\n";
  }
  for (std::size_t i = 0; i < component.entries.size(); ++i) {
    *report += kProductKey + std::string(kind.recordsSubKey) + "\\" + prefix + Number(static_cast<long long>(i)) + " =";
    for (const unsigned char byte : component.entries[i]) *report += " " + Hex(byte, 2);
    *report += " (REG_BINARY)\n";
  }
  const std::string recordsKey = kind.recordsSubKey != nullptr ? kind.recordsSubKey : "";
  for (const Finding& finding : findings) {
    warnings.push_back(Subject(finding, component) + " " + Problem(finding) + ": " + Mend(finding, recordsKey, prefix));
  }
  for (const std::string& warning : warnings) *report += "warning: " + warning + "\n";
  return true;
}

}  // namespace ppk
