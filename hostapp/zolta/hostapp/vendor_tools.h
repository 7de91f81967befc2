// The FPGA-flow server module and its vendor-tool manager.
//
// The host knows one vendor installation, Quartus (vendor "Altera"), rooted at the folder given on the
// command line (--quartus DIR) or else at $QUARTUS_ROOTDIR:
//  - a tool is DIR/bin/<tool>, its file name found without regard to case; "Quartus_Cmd" means quartus_sh;
//  - the tools are installed when quartus_sh exists;
//  - the version is the word after "Version" (or "Release") on the first line of DIR/readme.txt;
//  - the version is supported when it is a line of the host's System/AlteraVersions.Txt (case ignored);
//  - the descriptor is "Altera Quartus II <version>".
// Every answer is worked out anew from the files, so an installation that appears later is seen.
// Other vendors have no installation here: empty texts and false.
#pragma once

#include <optional>
#include <string>

#include "zolta/hostapp/host_object.h"

namespace zolta::hostapp {

class VendorTools {
 public:
  // quartusRoot: the installation folder, or nullopt for none. systemFolder: where the version list is.
  VendorTools(std::optional<std::string> quartusRoot, std::string systemFolder)
      : quartusRoot_(std::move(quartusRoot)), systemFolder_(std::move(systemFolder)) {}

  const std::optional<std::string>& quartusRoot() const { return quartusRoot_; }

  std::string descriptor(const std::string& vendor) const;
  bool installed(const std::string& vendor) const;
  bool versionSupported(const std::string& vendor) const;
  std::string toolPath(const std::string& vendor, const std::string& tool) const;
  std::string version(const std::string& vendor) const;

 private:
  bool isAltera(const std::string& vendor) const;
  std::optional<std::string> quartusRoot_;
  std::string systemFolder_;
};

class TVendorToolManager : public THostObject {
 public:
  TVendorToolManager(const HostLink& link, const VendorTools& tools) : THostObject(link), tools_(tools) {}

  std::string Descriptor(std::string vendor) { return tools_.descriptor(vendor); }
  bool Installed(std::string vendor) { return tools_.installed(vendor); }
  bool VersionSupported(std::string vendor) { return tools_.versionSupported(vendor); }
  std::string ToolPath(std::string vendor, std::string tool) { return tools_.toolPath(vendor, tool); }
  std::string Version(std::string vendor) { return tools_.version(vendor); }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  const VendorTools& tools_;
};

// The server module named "FPGAFlow"; it is also its own flow-module interface.
class TSynthesizerManager;

class TFPGAFlowModule : public THostObject {
 public:
  TFPGAFlowModule(const HostLink& link, const VendorTools& tools);
  ~TFPGAFlowModule() override;

  DispPtr GetVendorToolManager() { return vendorToolManager_; }
  // The synthesizer manager (the synthesizer of a project, see project.h).
  DispPtr GetSynthesizerManager();

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  Ptr<TVendorToolManager> vendorToolManager_;
  Ptr<TSynthesizerManager> synthesizerManager_;
};

}  // namespace zolta::hostapp
