#include "zolta/sim/device_catalogue.h"

#include <array>

namespace zsim {

namespace {

constexpr char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool sameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return false;
  return true;
}

struct BasePackages {
  int base;
  std::array<std::string_view, 2> packages;  // empty entries unused
};

// Packages of each base device, in device-package order.
constexpr std::array<BasePackages, 6> kPackages = {{
    {0, {"F35", ""}},
    {1, {"F40", ""}},
    {2, {"F35", "H29"}},
    {3, {"F40", ""}},
    {4, {"F35", "H29"}},
    {5, {"F40", ""}},
}};

std::vector<SimDeviceKind> buildKinds() {
  std::vector<SimDeviceKind> kinds;
  const auto& bases = simBaseDevices();
  for (const BasePackages& bp : kPackages) {
    const SimBaseDevice& base = bases[static_cast<size_t>(bp.base)];
    for (bool optionN : {false, true})
      for (std::string_view package : bp.packages) {
        if (package.empty()) continue;
        for (char temperature : {'C', 'I'})
          for (char speed : {'3', '4'}) {
            SimDeviceKind k;
            k.kind = static_cast<int>(kinds.size());
            k.name = std::string(base.baseName) + std::string(package) + temperature + speed + (optionN ? "N" : "");
            k.base = &base;
            k.package = package;
            kinds.push_back(std::move(k));
          }
      }
  }
  return kinds;
}

}  // namespace

std::string SimDeviceKind::partPrefix() const { return std::string(base->baseName) + std::string(package); }

const std::vector<SimBaseDevice>& simBaseDevices() {
  static const std::vector<SimBaseDevice> bases = {
      {"EP2AGZ225F", 0x024810DDu, 758, 186}, {"EP2AGZ225H", 0x024810DDu, 758, 186},
      {"EP2AGZ300F", 0x0240A0DDu, 894, 190}, {"EP2AGZ300H", 0x0240A0DDu, 894, 190},
      {"EP2AGZ350F", 0x024820DDu, 894, 190}, {"EP2AGZ350H", 0x024820DDu, 894, 190},
  };
  return bases;
}

const std::vector<SimDeviceKind>& simDeviceKinds() {
  static const std::vector<SimDeviceKind> kinds = buildKinds();
  return kinds;
}

const SimDeviceKind* findSimDeviceKind(std::string_view name) {
  for (const SimDeviceKind& k : simDeviceKinds())
    if (sameAscii(k.name, name)) return &k;
  return nullptr;
}

}  // namespace zsim
