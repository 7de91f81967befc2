// The Arria II GZ parts that the simulator models: the 64 device kinds (the names the device catalogue
// of the driver uses) and, per die, the JTAG facts the model needs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zsim {

// One base device (a die in a package family). Sorted table in device-kind order.
struct SimBaseDevice {
  std::string_view baseName;  // "EP2AGZ225F"
  uint32_t idcode;            // IDCODE register value; the F and H variants of a die share it
  int groups;                 // boundary register length in groups of three cells (3 * groups cells)
  int confDoneGroup;          // group of the configuration-done status cell, same counting
};

// One device kind: a base device in one package, temperature grade, speed grade, with or without the
// N option designator.
struct SimDeviceKind {
  int kind;                    // 0..63, the device-kind order of the catalogue
  std::string name;            // "EP2AGZ300FH29I4N"
  const SimBaseDevice* base;   // never null
  std::string_view package;    // "F35", "F40", "H29"
  // The part number up to and including the package ("EP2AGZ300FH29"). Grades and the option
  // designator do not change the configuration data, so a bit file made for one kind fits every
  // kind with the same prefix.
  std::string partPrefix() const;
  int boundaryLength() const { return 3 * base->groups; }
};

// The six base devices, in catalogue order.
const std::vector<SimBaseDevice>& simBaseDevices();

// All 64 kinds in catalogue order (base device; without N before with N; package; C before I;
// 3 before 4).
const std::vector<SimDeviceKind>& simDeviceKinds();

// The kind with this name, compared without regard to ASCII case; null when there is none.
const SimDeviceKind* findSimDeviceKind(std::string_view name);

}  // namespace zsim
