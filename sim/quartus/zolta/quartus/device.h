// The Arria II GZ devices the stand-in tools know: resources of each die, I/O count and ball grid of each
// package, pin location names ("PIN_AB12") and their place on the die.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "zolta/sim/device_catalogue.h"

namespace zquartus {

inline constexpr std::string_view kFamilyName = "Arria II GZ";

// Resources of a die.
struct DieResources {
  std::string_view die;  // "EP2AGZ300"
  uint32_t aluts;        // combinational ALUTs (two per ALM)
  uint32_t registers;    // dedicated logic registers
  uint32_t labs;         // logic array blocks of ten ALMs
  uint32_t m9ks;
  uint32_t m144ks;
  uint32_t dsp18;        // DSP block 18-bit elements
  int gridX, gridY;      // LAB columns and rows (gridX * gridY == labs)
  int configFrames;      // configuration frames of kFrameBytes in a bit stream
  uint64_t memoryBits() const { return uint64_t{m9ks} * 9216 + uint64_t{m144ks} * 147456; }
};

// A pin location on the package's ball grid.
struct PinLocation {
  int row = 0;     // 0-based index into the row letters A, B, ..., Y, AA, ... (I, O, Q, S, X, Z unused)
  int column = 0;  // 1-based
  std::string name() const;  // "PIN_AB12"
  bool operator==(const PinLocation&) const = default;
};

class Device {
 public:
  // The device named `name` (with or without the N designator, any case); nothing when unknown.
  static std::optional<Device> find(std::string_view name);
  // The device the tools choose for "AUTO" or no device: the smallest die in its first package.
  static Device automatic();

  const std::string& name() const { return name_; }   // as the tools print it: "EP2AGZ300FH29I4"
  const zsim::SimDeviceKind& kind() const { return *kind_; }
  const DieResources& die() const { return *die_; }
  std::string_view package() const { return kind_->package; }  // "H29"
  int speedGrade() const { return kind_->name.size() > 14 ? kind_->name[14] - '0' : 4; }
  char temperatureGrade() const { return kind_->name.size() > 13 ? kind_->name[13] : 'C'; }
  uint32_t ioPins() const;        // user I/O pins of the package
  int gridSize() const;           // balls per side of the package grid
  int plls() const;
  int globalClocks() const { return 16; }

  // Reads "PIN_AB12" (the prefix and letters in any case); nothing when the text is not a pin name or
  // names a ball outside this package's grid.
  std::optional<PinLocation> pinLocation(std::string_view text) const;
  // The n-th location in the order the fitter fills unassigned pins (outer ring first).
  PinLocation autoLocation(int n) const;
  // Where the pin's I/O cell sits on the LAB grid.
  std::pair<int, int> dieCoordinates(const PinLocation& pin) const;

 private:
  Device(const zsim::SimDeviceKind& kind, const DieResources& die);
  const zsim::SimDeviceKind* kind_;
  const DieResources* die_;
  std::string name_;
};

// "A".."Y", "AA".."AY" for row indices 0..39; empty beyond.
std::string rowLetters(int row);

}  // namespace zquartus
