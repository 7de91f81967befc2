// zolta bsdl FILE [--json]: reads a BSDL file with the host's reader and prints a summary of its entity:
// IDCODE, instruction and boundary lengths, the counts of its objects, the TAP pins, every instruction
// with its opcode and code, the register associations and the standard instruction codes. A file the
// reader refuses gives its message ("FILE:LINE: what was expected") and exit status 1.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "cli.h"
#include "zolta/bscan/bsdl_reader.h"
#include "zolta/hostapp/jtag_chain.h"
#include "zolta/hostapp/text.h"

namespace zolta::cli {

namespace {

// The code of an opcode pattern's first alternative ("0000000101" -> 5; an "X" counts as 0), or
// nothing when it holds other characters or is longer than 32 bits.
std::optional<uint32_t> codeOf(std::string_view pattern) {
  const size_t comma = pattern.find(',');
  if (comma != std::string_view::npos) pattern = pattern.substr(0, comma);
  if (pattern.empty() || pattern.size() > 32) return std::nullopt;
  uint32_t code = 0;
  for (char c : pattern) {
    if (c != '0' && c != '1' && c != 'x' && c != 'X') return std::nullopt;
    code = (code << 1) | (c == '1' ? 1u : 0u);
  }
  return code;
}

std::string pinText(const TScanPin* pin) {
  if (!pin) return "none";
  return pin->PinNumber.empty() ? pin->PinName : pin->PinName + " (" + pin->PinNumber + ")";
}

std::string jsonPin(const TScanPin* pin) {
  if (!pin) return "null";
  return "{\"name\": " + hostapp::jsonString(pin->PinName) + ", \"number\": " + hostapp::jsonString(pin->PinNumber) + "}";
}

std::string codeText(uint32_t code, int length) {
  if (code == kInstructionUndefined) return "undefined";
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", code);
  const std::string digits = buf;
  const size_t width = size_t(std::clamp((length + 3) / 4, 1, 8));
  return "0x" + std::string(digits.size() < width ? width - digits.size() : 0, '0') + digits;
}

std::string jsonCode(uint32_t code) { return code == kInstructionUndefined ? "null" : std::to_string(code); }

}  // namespace

int runBsdl(Context& context, const std::vector<std::string>& args) {
  std::string file;
  for (const std::string& a : args) {
    if (a.size() > 1 && a[0] == '-') return context.usageError("bsdl: unexpected option '" + a + "'");
    if (!file.empty()) return context.usageError("bsdl: unexpected argument '" + a + "'");
    file = a;
  }
  if (file.empty()) return context.usageError("bsdl: missing FILE (a BSDL file)");

  std::unique_ptr<TBSDLEntity> entity;
  try {
    entity = ReadBSDLFile(file);
  } catch (const BSDLReadError& e) {
    return context.failure(std::string("bsdl: ") + e.what());
  }
  const TBSDLEntity& e = *entity;
  const int ir = e.InstructionLength;
  const std::pair<const char*, uint32_t> standard[] = {
      {"BYPASS", e.Instruction_BYPASS}, {"EXTEST", e.Instruction_EXTEST}, {"SAMPLE", e.Instruction_SAMPLE},
      {"IDCODE", e.Instruction_IDCODE}, {"USERCODE", e.Instruction_USERCODE}, {"CLAMP", e.Instruction_CLAMP},
      {"HIGHZ", e.Instruction_HIGHZ},
  };
  const std::pair<const char*, const TScanPin*> tap[] = {
      {"TDI", e.TAP_TDI}, {"TDO", e.TAP_TDO}, {"TMS", e.TAP_TMS}, {"TCK", e.TAP_TCK}, {"TRST", e.TAP_TRST},
  };

  std::ostream& out = context.out();
  if (context.options().json) {
    out << "{\n  \"file\": " << hostapp::jsonString(file) << ",\n  \"entity\": " << hostapp::jsonString(e.Name)
        << ",\n  \"idcode\": " << (e.IdCode ? hostapp::jsonString(hostapp::hexCode(e.IdCode)) : "null")
        << ",\n  \"instructionLength\": " << ir << ",\n  \"boundaryLength\": " << e.BoundaryLength
        << ",\n  \"counts\": {\"pins\": " << e.Pins().size() << ", \"pinMappings\": " << e.PinMappings().size()
        << ", \"boundaryCells\": " << e.BoundaryCells().size() << ", \"instructions\": " << e.InstructionOpCodes().size()
        << ", \"registerAssociations\": " << e.RegisterAssociations().size() << "},\n  \"tapPins\": {";
    for (size_t i = 0; i < std::size(tap); ++i) out << (i ? ", " : "") << "\"" << tap[i].first << "\": " << jsonPin(tap[i].second);
    out << "},\n  \"instructions\": [";
    const auto& ops = e.InstructionOpCodes();
    for (size_t i = 0; i < ops.size(); ++i) {
      const std::optional<uint32_t> code = codeOf(ops[i]->OpCodePattern);
      out << (i ? ",\n    " : "\n    ") << "{\"name\": " << hostapp::jsonString(ops[i]->InstructionName)
          << ", \"opcode\": " << hostapp::jsonString(ops[i]->OpCodePattern)
          << ", \"code\": " << (code ? std::to_string(*code) : "null") << "}";
    }
    out << (ops.empty() ? "]" : "\n  ]") << ",\n  \"registers\": [";
    const auto& regs = e.RegisterAssociations();
    for (size_t i = 0; i < regs.size(); ++i) {
      out << (i ? ",\n    " : "\n    ") << "{\"name\": " << hostapp::jsonString(regs[i]->RegisterName)
          << ", \"length\": " << regs[i]->RegisterLength << ", \"instructions\": [";
      const auto& entries = regs[i]->InstructionOpCodes;
      for (size_t k = 0; k < entries.size(); ++k) out << (k ? ", " : "") << hostapp::jsonString(entries[k].Name);
      out << "]}";
    }
    out << (regs.empty() ? "]" : "\n  ]") << ",\n  \"standardInstructions\": {";
    for (size_t i = 0; i < std::size(standard); ++i)
      out << (i ? ", " : "") << "\"" << standard[i].first << "\": " << jsonCode(standard[i].second);
    char hz[32];
    std::snprintf(hz, sizeof hz, "%.15g", e.ScanClockMaxSpeed);
    out << "},\n  \"scanClock\": {\"maxHz\": " << hz
        << ", \"halt\": " << hostapp::jsonString(std::string(ScanClockHaltModeName(e.ScanClockHaltMode))) << "}"
        << ",\n  \"conformance\": " << hostapp::jsonString(e.ConformanceStatement) << "\n}\n";
    return kExitOk;
  }

  out << "Entity " << e.Name << " (" << file << ")\n";
  auto row = [&](const char* name, const std::string& value) {
    out << "  " << name << std::string(24 - std::string_view(name).size(), ' ') << value << '\n';
  };
  row("IDCODE", e.IdCode ? hostapp::hexCode(e.IdCode) : "none");
  row("Instruction length", std::to_string(ir));
  row("Boundary length", std::to_string(e.BoundaryLength));
  row("Pins", std::to_string(e.Pins().size()));
  row("Pin mappings", std::to_string(e.PinMappings().size()));
  row("Boundary cells", std::to_string(e.BoundaryCells().size()));
  row("Instructions", std::to_string(e.InstructionOpCodes().size()));
  row("Register associations", std::to_string(e.RegisterAssociations().size()));
  std::string tapText;
  for (const auto& [name, pin] : tap) tapText += (tapText.empty() ? "" : ", ") + std::string(name) + " " + pinText(pin);
  row("TAP pins", tapText);
  char clock[64];
  std::snprintf(clock, sizeof clock, "%g MHz, halt %s", e.ScanClockMaxSpeed / 1e6,
                std::string(ScanClockHaltModeName(e.ScanClockHaltMode)).c_str());
  row("Scan clock", e.ScanClockMaxSpeed > 0 ? clock : "not given");
  row("Conformance", e.ConformanceStatement.empty() ? "not given" : e.ConformanceStatement);

  out << "Instructions:\n";
  size_t width = 0;
  for (const auto& op : e.InstructionOpCodes()) width = std::max(width, op->InstructionName.size());
  for (const auto& op : e.InstructionOpCodes()) {
    const std::optional<uint32_t> code = codeOf(op->OpCodePattern);
    out << "  " << op->InstructionName << std::string(width - op->InstructionName.size() + 2, ' ') << op->OpCodePattern
        << "  " << (code ? codeText(*code, ir) : "?") << '\n';
  }
  out << "Registers:\n";
  for (const auto& r : e.RegisterAssociations()) {
    std::string names;
    for (const auto& entry : r->InstructionOpCodes) names += (names.empty() ? "" : ", ") + entry.Name;
    out << "  " << r->RegisterName << "[" << r->RegisterLength << "]: " << names << '\n';
  }
  std::string codes;
  for (const auto& [name, code] : standard) codes += (codes.empty() ? "" : ", ") + std::string(name) + " " + codeText(code, ir);
  out << "Standard instructions: " << codes << '\n';
  return kExitOk;
}

}  // namespace zolta::cli
