// A recording fake of the host objects that the vendor-tool and Altera stages call: workspace with its
// output panel and messages manager, client with GUI manager, client API and the FPGA flow module
// (vendor-tool and synthesizer managers), projects with documents and options storage, the device and
// family managers, the runner, and a driver. Plus helpers for fake tool programs (shell scripts).
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "zolta/flow/process_flow.h"
#include "zolta/host/files.h"
#include "zolta/host/host_services.h"
#include "zolta/host/host_ui.h"
#include "zolta/host/vendor_tools.h"
#include "zolta/host_ids.h"
#include "zolta/service.h"
#include "zolta/testing/scripted_object.h"

namespace zolta::stagetest {

namespace h = zabi::host;
using Log = std::vector<std::string>;

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<none>";
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Writes an executable shell script.
inline std::string writeScript(const std::string& path, const std::string& body) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << "#!/bin/sh\n" << body;
  ::chmod(path.c_str(), 0755);
  return path;
}

// A class whose dispatch table is built from the handlers given at run time (ScriptedObject).
using Obj = testing::ScriptedObject;

inline DispPtr ref(Obj* o) { return DispPtr(o->dispatch()); }

class FakeRunner : public TAbstractSupportService {
 public:
  Log log;
  std::vector<std::vector<std::string>> reports;  // section, name, value, file
  virtual void StageStarting(DispPtr stage) {
    log.push_back("start " + (stage ? zabi::invoke(stage, flowid::StageName).toString() : std::string("?")));
  }
  virtual void AddReportItem(std::string s, std::string n, std::string v, std::string f) {
    reports.push_back({s, n, v, f});
  }
  virtual void RunBegin() { log.push_back("begin"); }
  virtual void RunEnd() { log.push_back("end"); }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{h::ProcessFlowRunner_StageStarting, &op<&FakeRunner::StageStarting>},
                                      {h::ProcessFlowRunner_AddReportItem, &op<&FakeRunner::AddReportItem>},
                                      {h::ProcessFlowRunner_RunBegin, &op<&FakeRunner::RunBegin>},
                                      {h::ProcessFlowRunner_RunEnd, &op<&FakeRunner::RunEnd>}};
    static const DispatchTable t = makeTable(&rootTable(), "ProcessFlowRunner", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }
};

// One posted message, split into its entries.
struct Posted {
  std::string Class, Text, CallBackProcess, CallBackParameters, All;
};

struct FakeHost {
  // ---- what the stages see ----
  std::vector<std::string> output;            // output panel lines
  std::vector<Posted> messages;               // posted messages in order
  std::vector<std::pair<int32_t, std::string>> statusBar;
  std::map<std::string, std::string> toolPaths;  // lower-case tool name -> path
  std::string synthesizer = "Synplify Pro";   // the host's synthesizer for every project
  std::map<std::string, std::string> storage;  // "section/key" -> value
  Log storageLog;
  std::string edifParent = "/opt/host/Design Files";
  std::map<std::string, std::map<std::string, std::string>> families;  // family -> parameters

  // The project.
  std::string projectPath = "/work/p/counter.PrjFpg";
  std::string projectUserID;
  std::vector<std::string> documents;

  // The driver.
  std::string deviceName = "EP2AGZ300HF40I4N";
  std::string familyName = "Arria2GZ";
  bool deviceBound = false;

  FakeRunner* runner = new FakeRunner;
  DispPtr runnerRef{runner->dispatch()};

  Obj* workspace = new Obj;
  Obj* messagesManager = new Obj;
  Obj* client = new Obj;
  Obj* clientAPI = new Obj;
  Obj* gui = new Obj;
  Obj* flowModule = new Obj;
  Obj* vendorTools = new Obj;
  Obj* synthesizers = new Obj;
  Obj* project = new Obj;
  Obj* optionsStorage = new Obj;
  Obj* deviceManager = new Obj;
  Obj* familyManager = new Obj;
  Obj* driver = new Obj;
  Obj* zoltaDevice = new Obj;
  Obj* plugins = new Obj;
  std::vector<DispPtr> keep;

  FakeHost() {
    for (Obj* o : {workspace, messagesManager, client, clientAPI, gui, flowModule, vendorTools, synthesizers, project,
                   optionsStorage, deviceManager, familyManager, driver, zoltaDevice, plugins})
      keep.push_back(ref(o));

    workspace->on(h::Workspace_WriteOutputLine, [this](DispatchCall& c) {
      output.push_back(c.get<std::string>(0));
      return Var();
    });
    workspace->on(h::Workspace_GetOutputPosition, [this](DispatchCall&) { return Var(int32_t(output.size())); });
    workspace->on(h::Workspace_GetFlowMessagesManager, [this](DispatchCall&) { return Var(ref(messagesManager)); });
    workspace->on(h::Workspace_GetProjectByPath, [this](DispatchCall& c) {
      return zabi::sameText(c.get<std::string>(0), projectPath) ? Var(ref(project)) : Var(static_cast<IDispatch*>(nullptr));
    });
    messagesManager->on(h::MessagesManager_AddMessageParams, [this](DispatchCall& c) {
      Posted p;
      p.All = c.get<std::string>(0);
      p.CallBackParameters = c.get<std::string>(1);
      std::stringstream s(p.All);
      std::string entry;
      while (std::getline(s, entry, '|')) {
        const size_t eq = entry.find('=');
        const std::string k = entry.substr(0, eq), v = eq == std::string::npos ? "" : entry.substr(eq + 1);
        if (k == "Class") p.Class = v;
        else if (k == "Text") p.Text = v;
        else if (k == "CallBackProcess") p.CallBackProcess = v;
      }
      messages.push_back(p);
      return Var();
    });

    client->on(h::Client_GetGUIManager, [this](DispatchCall&) { return Var(ref(gui)); });
    client->on(h::Client_GetDocumentByPath, [](DispatchCall&) { return Var(static_cast<IDispatch*>(nullptr)); });
    client->on(h::Client_GetPluginsRegistry, [this](DispatchCall&) { return Var(ref(plugins)); });
    plugins->on(h::PluginsRegistry_GetCount, [](DispatchCall&) { return Var(int32_t(0)); });
    client->on(h::Client_GetClientAPI, [this](DispatchCall&) { return Var(ref(clientAPI)); });
    client->on(h::Client_GetServerModuleByName, [this](DispatchCall& c) {
      return zabi::sameText(c.get<std::string>(0), "FPGAFlow") ? Var(ref(flowModule))
                                                                : Var(static_cast<IDispatch*>(nullptr));
    });
    clientAPI->on(h::ClientAPI_GetSpecialFolder, [this](DispatchCall&) { return Var(edifParent); });
    gui->on(h::GUIManager_StatusBarCommand, [this](DispatchCall& c) {
      statusBar.emplace_back(c.get<int32_t>(0), c.get<std::string>(1));
      return Var();
    });
    flowModule->on(h::FPGAFlowModule_GetVendorToolManager, [this](DispatchCall&) { return Var(ref(vendorTools)); });
    flowModule->on(h::FPGAFlowModule_GetSynthesizerManager, [this](DispatchCall&) { return Var(ref(synthesizers)); });
    vendorTools->on(h::VendorTools_ToolPath, [this](DispatchCall& c) {
      const auto it = toolPaths.find(zabi::lowerAscii(c.get<std::string>(1)));
      return Var(it == toolPaths.end() ? std::string() : it->second);
    });
    synthesizers->on(h::SynthesizerManager_GetSynthesizerName, [this](DispatchCall&) { return Var(synthesizer); });

    project->on(h::Project_GetFileName, [this](DispatchCall&) { return Var(projectPath); });
    project->on(h::Project_GetUserID, [this](DispatchCall&) { return Var(projectUserID); });
    project->on(h::Project_GetAssociatedProject, [](DispatchCall&) { return Var(static_cast<IDispatch*>(nullptr)); });
    project->on(h::Project_GetOptionsStorage, [this](DispatchCall&) { return Var(ref(optionsStorage)); });
    project->on(h::Project_GetDocumentCount, [this](DispatchCall&) { return Var(int32_t(documents.size())); });
    project->on(h::Project_GetDocument, [this](DispatchCall& c) {
      Obj* doc = new Obj;
      const std::string file = documents.at(size_t(c.get<int32_t>(0)));
      doc->on(h::Document_GetFileName, [file](DispatchCall&) { return Var(file); });
      return Var(ref(doc));
    });
    optionsStorage->on(h::OptionsStorage_ReadValue, [this](DispatchCall& c) {
      const auto it = storage.find(c.get<std::string>(0) + "/" + c.get<std::string>(1));
      return Var(it == storage.end() ? c.get<std::string>(2) : it->second);
    });
    optionsStorage->on(h::OptionsStorage_WriteValue, [this](DispatchCall& c) {
      storage[c.get<std::string>(0) + "/" + c.get<std::string>(1)] = c.get<std::string>(2);
      storageLog.push_back("write " + c.get<std::string>(0) + "/" + c.get<std::string>(1));
      return Var();
    });
    optionsStorage->on(h::OptionsStorage_RemoveKey, [this](DispatchCall& c) {
      storage.erase(c.get<std::string>(0) + "/" + c.get<std::string>(1));
      storageLog.push_back("remove " + c.get<std::string>(0) + "/" + c.get<std::string>(1));
      return Var();
    });

    deviceManager->on(h::DeviceManager_GetFamilyManager, [this](DispatchCall&) { return Var(ref(familyManager)); });
    deviceManager->on(h::DeviceManager_GetDeviceInformation,
                      [](DispatchCall&) { return Var(static_cast<IDispatch*>(nullptr)); });
    familyManager->on(h::FamilyManager_GetFamily, [this](DispatchCall& c) {
      const std::string name = c.get<std::string>(0);
      const auto it = families.find(name);
      if (it == families.end()) return Var(static_cast<IDispatch*>(nullptr));
      Obj* family = new Obj;
      std::map<std::string, std::string>* params = &it->second;
      family->on(h::Family_HasParameter, [params](DispatchCall& k) { return Var(params->count(k.get<std::string>(0)) > 0); });
      family->on(h::Family_GetParameterValue, [params](DispatchCall& k) {
        const auto p = params->find(k.get<std::string>(0));
        return Var(p == params->end() ? std::string() : p->second);
      });
      return Var(ref(family));
    });

    driver->on(503380, [this](DispatchCall&) { return Var(deviceName); });
    driver->on(503382, [this](DispatchCall&) { return Var(familyName); });
    driver->on(503407, [](DispatchCall&) { return Var("Altera"); });
    driver->on(503753, [this](DispatchCall&) {
      return deviceBound ? Var(ref(zoltaDevice)) : Var(static_cast<IDispatch*>(nullptr));
    });

    families["Arria2GZ"] = {{"NameUsedByVendor", "Arria II GZ"},
                            {"OptimizationFlag", "stratix_optimization_technique"},
                            {"ConfigurationSchemeFlag", "stratixiii_configuration_scheme"}};

    ResetHostCaches();
    SetHostClient(IClient(ref(client)));
    SetHostWorkspace(IWorkspace(ref(workspace)));
    SetHostDeviceManager(IDeviceManager(ref(deviceManager)));
  }
  ~FakeHost() {
    SetEventPump({});
    ResetHostCaches();
  }
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  IDispatch* driverPtr() { return driver->dispatch(); }

  // Texts of the posted messages of one class ("ProcessFlowError" ...), in order.
  std::vector<std::string> posted(const std::string& cls) const {
    std::vector<std::string> out;
    for (const Posted& p : messages)
      if (p.Class == cls) out.push_back(p.Text);
    return out;
  }
  bool outputHas(const std::string& line) const {
    for (const std::string& l : output)
      if (l == line) return true;
    return false;
  }
  bool postedHas(const std::string& cls, const std::string& text) const {
    for (const Posted& p : messages)
      if (p.Class == cls && p.Text == text) return true;
    return false;
  }
};

}  // namespace zolta::stagetest
