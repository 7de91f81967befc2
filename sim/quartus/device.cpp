#include "zolta/quartus/device.h"

#include <array>

#include "zolta/quartus/text.h"

namespace zquartus {

namespace {

constexpr std::array<DieResources, 3> kDies = {{
    {"EP2AGZ225", 179200, 179200, 8960, 1235, 18, 800, 112, 80, 96},
    {"EP2AGZ300", 238400, 238400, 11920, 1248, 24, 920, 149, 80, 112},
    {"EP2AGZ350", 278800, 278800, 13940, 1248, 36, 1040, 170, 82, 128},
}};

// Row letters of a ball grid: the alphabet without I, O, Q, S, X and Z.
constexpr std::string_view kRowLetters = "ABCDEFGHJKLMNPRTUVWY";

struct PackageFacts {
  std::string_view package;
  int grid;
  uint32_t ioPins;
  int plls;
};
constexpr std::array<PackageFacts, 3> kPackages = {{
    {"F35", 34, 554, 6},
    {"F40", 39, 734, 8},
    {"H29", 28, 281, 4},
}};

const PackageFacts& packageFacts(std::string_view package) {
  for (const PackageFacts& p : kPackages)
    if (p.package == package) return p;
  return kPackages[0];
}

int rowIndex(std::string_view letters) {
  auto index = [](char c) -> int {
    const size_t at = kRowLetters.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
  };
  if (letters.size() == 1) return index(letters[0]);
  if (letters.size() == 2) {
    const int first = index(letters[0]), second = index(letters[1]);
    if (first < 0 || second < 0) return -1;
    return static_cast<int>(kRowLetters.size()) * (first + 1) + second;
  }
  return -1;
}

}  // namespace

std::string rowLetters(int row) {
  const int n = static_cast<int>(kRowLetters.size());
  if (row < 0) return {};
  if (row < n) return std::string(1, kRowLetters[static_cast<size_t>(row)]);
  const int first = row / n - 1, second = row % n;
  if (first >= n) return {};
  return std::string{kRowLetters[static_cast<size_t>(first)], kRowLetters[static_cast<size_t>(second)]};
}

std::string PinLocation::name() const { return "PIN_" + rowLetters(row) + std::to_string(column); }

Device::Device(const zsim::SimDeviceKind& kind, const DieResources& die) : kind_(&kind), die_(&die) {
  name_ = kind.name;
  if (!name_.empty() && name_.back() == 'N') name_.pop_back();
}

std::optional<Device> Device::find(std::string_view name) {
  const zsim::SimDeviceKind* kind = zsim::findSimDeviceKind(trim(name));
  if (!kind) return std::nullopt;
  for (const DieResources& d : kDies)
    if (kind->name.compare(0, d.die.size(), d.die) == 0) return Device(*kind, d);
  return std::nullopt;
}

Device Device::automatic() { return *find(zsim::simDeviceKinds().front().name); }

uint32_t Device::ioPins() const { return packageFacts(package()).ioPins; }
int Device::gridSize() const { return packageFacts(package()).grid; }
int Device::plls() const { return packageFacts(package()).plls; }

std::optional<PinLocation> Device::pinLocation(std::string_view text) const {
  std::string t = upper(trim(text));
  if (t.rfind("PIN_", 0) != 0) return std::nullopt;
  t.erase(0, 4);
  size_t digits = t.find_first_of("0123456789");
  if (digits == 0 || digits == std::string::npos) return std::nullopt;
  if (t.find_first_not_of("0123456789", digits) != std::string::npos) return std::nullopt;
  if (t.size() - digits > 3) return std::nullopt;
  PinLocation loc;
  loc.row = rowIndex(std::string_view(t).substr(0, digits));
  loc.column = std::stoi(t.substr(digits));
  const int grid = gridSize();
  if (loc.row < 0 || loc.row >= grid || loc.column < 1 || loc.column > grid) return std::nullopt;
  return loc;
}

PinLocation Device::autoLocation(int n) const {
  // Walk the rings of the grid from the outside in, each ring clockwise from its top-left ball.
  const int grid = gridSize();
  for (int ring = 0; 2 * ring < grid; ++ring) {
    const int lo = ring, hi = grid - 1 - ring;
    const int side = hi - lo;
    const int count = side == 0 ? 1 : 4 * side;
    if (n < count) {
      int r = lo, c = lo;
      if (n < side) c = lo + n;
      else if (n < 2 * side) { c = hi; r = lo + (n - side); }
      else if (n < 3 * side) { r = hi; c = hi - (n - 2 * side); }
      else { c = lo; r = hi - (n - 3 * side); }
      return PinLocation{r, c + 1};
    }
    n -= count;
  }
  return PinLocation{0, 1};
}

std::pair<int, int> Device::dieCoordinates(const PinLocation& pin) const {
  const int grid = gridSize();
  const int x = (pin.column - 1) * (die_->gridX - 1) / (grid - 1);
  const int y = pin.row * (die_->gridY - 1) / (grid - 1);
  return {x, y};
}

}  // namespace zquartus
