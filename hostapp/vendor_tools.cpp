#include "zolta/hostapp/vendor_tools.h"

#include <fstream>

#include "zolta/host_ids.h"
#include "zolta/hostapp/paths.h"
#include "zolta/hostapp/project.h"
#include "zolta/hostapp/text.h"

namespace zolta::hostapp {

namespace h = zabi::host;

bool VendorTools::isAltera(const std::string& vendor) const {
  return quartusRoot_ && zabi::sameText(trimmed(vendor), "Altera");
}

std::string VendorTools::toolPath(const std::string& vendor, const std::string& tool) const {
  if (!isAltera(vendor)) return {};
  std::string name = trimmed(tool);
  if (zabi::sameText(name, "Quartus_Cmd")) name = "quartus_sh";
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") return {};
  std::string bin = findEntryNoCase(*quartusRoot_, "bin", true);
  return bin.empty() ? std::string() : findEntryNoCase(bin, name);
}

bool VendorTools::installed(const std::string& vendor) const { return !toolPath(vendor, "Quartus_Cmd").empty(); }

std::string VendorTools::version(const std::string& vendor) const {
  if (!isAltera(vendor)) return {};
  std::string readme = findEntryNoCase(*quartusRoot_, "readme.txt");
  if (readme.empty()) return {};
  std::optional<std::string> line = firstLineOf(readme);
  if (!line) return {};
  // Both marker words have seven letters; the version is the word behind them.
  size_t at = line->find("Version");
  if (at == std::string::npos) at = line->find("Release");
  if (at == std::string::npos) return {};
  std::string rest = trimmed(std::string_view(*line).substr(at + 7));
  size_t space = rest.find_first_of(" \t");
  return space == std::string::npos ? rest : rest.substr(0, space);
}

bool VendorTools::versionSupported(const std::string& vendor) const {
  std::string v = version(vendor);
  if (v.empty()) return false;
  std::string list = findEntryNoCase(systemFolder_, "AlteraVersions.Txt");
  if (list.empty()) return false;
  std::ifstream in(list);
  for (std::string line; std::getline(in, line);)
    if (zabi::sameText(trimmed(line), v)) return true;
  return false;
}

std::string VendorTools::descriptor(const std::string& vendor) const {
  if (!isAltera(vendor)) return {};
  std::string v = version(vendor);
  return v.empty() ? "Altera Quartus II" : "Altera Quartus II " + v;
}

namespace {
const DispatchEntry kVendorToolEntries[] = {
    {h::VendorTools_Descriptor, &op<&TVendorToolManager::Descriptor>},
    {h::VendorTools_Installed, &op<&TVendorToolManager::Installed>},
    {h::VendorTools_VersionSupported, &op<&TVendorToolManager::VersionSupported>},
    {h::VendorTools_ToolPath, &op<&TVendorToolManager::ToolPath>},
    {h::VendorTools_Version, &op<&TVendorToolManager::Version>},
};
const DispatchEntry kFlowModuleEntries[] = {
    {h::FPGAFlowModule_GetVendorToolManager, &op<&TFPGAFlowModule::GetVendorToolManager>},
    {h::FPGAFlowModule_GetSynthesizerManager, &op<&TFPGAFlowModule::GetSynthesizerManager>},
};
}  // namespace

const DispatchTable& TVendorToolManager::table() {
  static const DispatchTable t =
      makeTable(&TAbstractSupportService::rootTable(), "VendorToolManager", kVendorToolEntries);
  return t;
}

TFPGAFlowModule::TFPGAFlowModule(const HostLink& link, const VendorTools& tools)
    : THostObject(link), vendorToolManager_(new TVendorToolManager(link, tools)),
      synthesizerManager_(new TSynthesizerManager(link)) {}

TFPGAFlowModule::~TFPGAFlowModule() = default;

DispPtr TFPGAFlowModule::GetSynthesizerManager() { return synthesizerManager_; }

const DispatchTable& TFPGAFlowModule::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "FPGAFlowModule", kFlowModuleEntries);
  return t;
}

}  // namespace zolta::hostapp
