// Reading IEEE 1149.1 BSDL descriptions into a TBSDLEntity.
//
// Understood: the entity with its PHYSICAL_PIN_MAP generic, the port list (bit and bit_vector ports
// of every mode), use clauses, PIN_MAP_STRING constants and the attributes COMPONENT_CONFORMANCE,
// PIN_MAP, TAP_SCAN_IN/OUT/MODE/CLOCK/RESET, INSTRUCTION_LENGTH, INSTRUCTION_OPCODE,
// INSTRUCTION_CAPTURE, INSTRUCTION_PRIVATE, IDCODE_REGISTER, USERCODE_REGISTER, REGISTER_ACCESS,
// BOUNDARY_LENGTH, BOUNDARY_REGISTER, COMPLIANCE_PATTERNS and DESIGN_WARNING; string literals joined
// with "&" and "--" comments anywhere. Other attributes (and attribute declarations) are kept as
// text in the entity's attribute list and otherwise passed over.
//
// What the entity gets:
//  - one scan pin per port bit, in port-list order ("NAME(i)" for a bit_vector element, indexes in
//    declared order), each with its pin mapping (listed in the entity's PinMappings) and the cells
//    that name it; direction from the port mode (linkage ports are passive, or power when their name
//    starts with VCC/VDD/GND/VSS, which also makes them Power or Ground pins); TAP pins by their
//    attributes;
//  - one boundary cell per BOUNDARY_REGISTER entry in text order, linked to its pin, its control cell
//    and, on a control cell, the first cell it controls;
//  - one opcode per INSTRUCTION_OPCODE entry (alternative patterns joined with ","), the standard
//    instruction codes (BYPASS, EXTEST, SAMPLE, IDCODE, USERCODE, CLAMP, HIGHZ; an "X" bit counts as 0);
//  - the REGISTER_ACCESS associations, then the registers that the standard fixes for standard
//    instructions not listed there (BOUNDARY, BYPASS, DEVICE_ID), with their lengths.
//
// Failure: any text that breaks the grammar or the standard's consistency rules (unterminated string,
// missing required attribute, unknown port, cell or instruction, a port without pins, a pin used
// twice, lengths that disagree) raises BSDLReadError naming the file, the line and what was expected.
// Nothing half-built escapes: the entity exists only when the whole text was understood.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "zolta/bscan/bsdl_model.h"

namespace zolta {

class BSDLReadError : public std::runtime_error {
 public:
  // what() is "file:line: message" ("file: message" when the line is 0).
  BSDLReadError(std::string file, int line, std::string message);
  const std::string& file() const { return file_; }
  int line() const { return line_; }
  const std::string& message() const { return message_; }

 private:
  std::string file_;
  int line_;
  std::string message_;
};

// Reads a BSDL file; the entity's Filename is `path`. Throws BSDLReadError (also for a file that
// cannot be read).
std::unique_ptr<TBSDLEntity> ReadBSDLFile(const std::string& path);

// Reads BSDL text; `sourceName` names the text in messages and becomes the entity's Filename.
std::unique_ptr<TBSDLEntity> ReadBSDLText(std::string_view text, const std::string& sourceName);

}  // namespace zolta
