// The Fitter's result: every top-level port on a pin location of the package (from the project's location
// assignments, the rest placed automatically) and every ALUT and register in a LAB of the die, placed near
// the pins they talk to. It is kept in the database (db/<revision>.fit.zdb) for the timing analysers and
// the Assembler.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zolta/quartus/device.h"
#include "zolta/quartus/messages.h"
#include "zolta/quartus/project.h"
#include "zolta/quartus/synthesis.h"

namespace zquartus {

struct PinPlacement {
  PinLocation location;
  bool assigned = false;    // from a location assignment
  std::string ioStandard;   // IO_STANDARD instance assignment, else the default
};

struct Placement {
  std::string device;                       // the device fitted into
  uint32_t seed = 1;
  std::vector<PinPlacement> pins;           // per top-level port
  std::vector<std::pair<int, int>> luts;    // LAB (x, y) per LUT of the mapped design
  std::vector<std::pair<int, int>> registers;  // LAB per register (MappedDesign::registers() order)
  int labs = 0;                             // LABs in use

  std::string toDatabase() const;
  // Throws NetlistError naming `source` when the text is damaged or does not match `design`.
  static Placement fromDatabase(std::string_view text, const std::string& source, const MappedDesign& design);
};

inline constexpr std::string_view kDefaultIoStandard = "2.5 V";
inline constexpr int kLabAluts = 20;      // ten ALMs of two ALUTs
inline constexpr int kLabRegisters = 20;

// Places `design` into `device` under the project's assignments, reporting through `log` (critical
// warnings for pins without a location, errors for illegal or doubly used locations and a design that
// does not fit). Answers false after an error.
bool place(const MappedDesign& design, const Device& device, const Settings& settings, MessageLog& log, Placement& out);

// The assignment target matching a port name: exact, then without regard to case, with bus indices
// written either way ("LED(0)" for "LED[0]").
bool sameNodeName(const std::string& target, const std::string& port);

}  // namespace zquartus
