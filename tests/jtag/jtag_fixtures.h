// Fixtures of the JTAG tests:
//  - ScriptedObject: a host object whose dispatch identifiers map to handlers (driver, device manager,
//    family manager, family, client, GUI manager, plug-ins registry);
//  - FakeHost: the host's client (status-bar progress, plug-in folders) and device manager with its
//    device families, installed as the plug-in's host while it lives;
//  - SimChannel: a host JTAG channel (the dispatch operations and the pin-level interface) over a
//    simulated cable, with a call log and injected failures.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zolta/host/host_services.h"
#include "zolta/host_ids.h"
#include "zolta/jtag_pin_access.h"
#include "zolta/service.h"
#include "zolta/sim/arria2gz_device.h"
#include "zolta/sim/cable.h"
#include "zolta/sim/chain.h"
#include "zolta/sim/error.h"
#include "zolta/sim/scan_engine.h"
#include "zolta/testing/scripted_object.h"

namespace zolta::jtagtest {

namespace hid = zabi::host;

// ---- scripted host objects ---------------------------------------------------------------------------

using zolta::testing::ScriptedObject;

// A new scripted object and the reference that keeps it.
struct Scripted {
  ScriptedObject* obj = new ScriptedObject;
  DispPtr ref{obj->dispatch()};
};

// The calling driver: answers its family name.
inline Scripted makeDriver(const std::string& family) {
  Scripted d;
  d.obj->answer(503382, Var(family));
  return d;
}

// ---- fake host -------------------------------------------------------------------------------------

struct FakeHost {
  std::vector<std::string> log;                                  // host calls, "name id(args)"
  std::map<std::string, std::map<std::string, Var>> families;    // family -> parameter -> value
  std::vector<std::string> pluginFolders;
  bool withDeviceManager = true;
  bool withFamilyManager = true;

  Scripted client, gui, registry, deviceManager, familyManager;
  std::vector<Scripted> keep;

  FakeHost() {
    client.obj->on(hid::Client_GetGUIManager, [this](DispatchCall&) { return Var(gui.ref); });
    client.obj->on(hid::Client_GetPluginsRegistry, [this](DispatchCall&) { return Var(registry.ref); });
    gui.obj->name = "gui ";
    gui.obj->log = &log;
    gui.obj->answer(hid::GUIManager_StatusBarCommand, Var());
    registry.obj->name = "reg ";
    registry.obj->log = &log;
    registry.obj->on(hid::PluginsRegistry_GetCount, [this](DispatchCall&) { return Var(int32_t(pluginFolders.size())); });
    registry.obj->on(hid::PluginsRegistry_GetItem, [this](DispatchCall& c) {
      Scripted item;
      const std::string folder = pluginFolders.at(size_t(c.get<int32_t>(0)));
      item.obj->answer(hid::PluginItem_GetFolder, Var(folder));
      item.obj->answer(hid::PluginItem_GetFlag, Var(int32_t(0)));
      keep.push_back(item);
      return Var(item.ref);
    });
    deviceManager.obj->on(hid::DeviceManager_GetFamilyManager, [this](DispatchCall&) {
      return withFamilyManager ? Var(familyManager.ref) : Var();
    });
    familyManager.obj->name = "fm ";
    familyManager.obj->log = &log;
    familyManager.obj->on(hid::FamilyManager_GetFamily, [this](DispatchCall& c) {
      const std::string name = c.get<std::string>(0);
      for (auto& [family, params] : families) {
        if (!zabi::sameText(family, name)) continue;
        Scripted f;
        f.obj->name = "family ";
        f.obj->log = &log;
        auto* p = &params;
        f.obj->on(hid::Family_GetParameterBoolean, [p](DispatchCall& c) {
          auto it = p->find(c.get<std::string>(0));
          return it == p->end() ? Var(false) : it->second;
        });
        f.obj->on(hid::Family_HasParameter2, [p](DispatchCall& c) { return Var(p->count(c.get<std::string>(0)) > 0); });
        f.obj->on(hid::Family_GetParameterInteger, [p](DispatchCall& c) {
          auto it = p->find(c.get<std::string>(0));
          return it == p->end() ? Var(int32_t(0)) : it->second;
        });
        keep.push_back(f);
        return Var(f.ref);
      }
      return Var();
    });
    families["Arria2GZ"];
    ResetHostCaches();
    SetHostClient(IClient(client.ref));
    SetHostDeviceManager(IDeviceManager(deviceManager.ref));
  }
  ~FakeHost() { ResetHostCaches(); }
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  void dropDeviceManager() {
    ResetHostCaches();
    SetHostClient(IClient(client.ref));
  }
  // Status-bar commands sent with this code.
  size_t statusCommands(int32_t code) const {
    const std::string prefix = "gui " + std::to_string(hid::GUIManager_StatusBarCommand) + "(" + std::to_string(code) + ",";
    size_t n = 0;
    for (const auto& e : log) n += e.rfind(prefix, 0) == 0;
    return n;
  }
};

// ---- simulated channel ---------------------------------------------------------------------------------

// Tokens of the call log:
//   dispatch: Lock Unlock Length Prepare Scan(v,n,i) IR(code,i) Move(a,b) Goto(s) Tms(l)
//   pins:     TCK0 TCK1 TDI0 TDI1 TMS0 TMS1 W R TDO
class SimChannel : public TAbstractSupportService {
 public:
  // The cable must outlive the channel. irLengths: one per device, chain-index order.
  SimChannel(zsim::Cable& cable, std::vector<int> irLengths) : engine_(cable) {
    chainLength = int32_t(irLengths.size());
    engine_.setIrLengths(std::move(irLengths));
    pins_.owner = this;
  }

  std::vector<std::string> log;
  bool logging = true;
  bool offerPins = true;
  int32_t chainLength = 1;
  int lockDepth = 0;
  int locks = 0;
  // Every pin operation from this WritePins on answers failStatus (0 = never).
  uint64_t failPinsFromWrite = 0;
  zabi::HResult failStatus = static_cast<zabi::HResult>(0x80004005);
  // This dispatch operation raises an error.
  DispId failDispatch = 0;
  // Called once when WritePins number `hookAtWrite` is reached.
  uint64_t hookAtWrite = 0;
  std::function<void()> hook;
  uint64_t writes = 0;
  std::string cableError;  // the first cable failure seen
  // When set, GetTDO answers this level instead of the sampled one.
  std::optional<bool> tdoOverride;

  zsim::ScanEngine& engine() { return engine_; }

  static const DispatchTable& table() {
    static const DispatchEntry e[] = {
        {hid::JTagChannel_Lock, &op<&SimChannel::Lock>},
        {hid::JTagChannel_Unlock, &op<&SimChannel::Unlock>},
        {hid::JTagChannel_GetChainLength, &op<&SimChannel::GetChainLength>},
        {hid::JTagChannel_PrepareChain, &op<&SimChannel::PrepareChain>},
        {hid::JTagChannel_ScanData, &op<&SimChannel::ScanData>},
        {hid::JTagChannel_LoadInstruction, &op<&SimChannel::LoadInstruction>},
        {hid::JTagChannel_MoveTapState, &op<&SimChannel::MoveTapState>},
        {hid::JTagChannel_GotoTapState, &op<&SimChannel::GotoTapState>},
        {hid::JTagChannel_ClockTms, &op<&SimChannel::ClockTms>},
    };
    static const DispatchTable t = makeTable(&rootTable(), "JTagChannel", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }

  bool Lock() {
    note(hid::JTagChannel_Lock, "Lock");
    ++lockDepth;
    ++locks;
    return true;
  }
  void Unlock() {
    --lockDepth;  // released even when the operation then reports a failure
    note(hid::JTagChannel_Unlock, "Unlock");
  }
  int32_t GetChainLength() {
    note(hid::JTagChannel_GetChainLength, "Length");
    return chainLength;
  }
  void PrepareChain() { note(hid::JTagChannel_PrepareChain, "Prepare"); }
  int32_t ScanData(int32_t value, int32_t bits, int32_t index) {
    note(hid::JTagChannel_ScanData, "Scan(" + std::to_string(value) + "," + std::to_string(bits) + "," +
                                        std::to_string(index) + ")");
    return cable([&] { return int32_t(uint32_t(engine_.scanData(uint32_t(value), bits, size_t(index)))); });
  }
  void LoadInstruction(int32_t code, int32_t index) {
    note(hid::JTagChannel_LoadInstruction, "IR(" + std::to_string(code) + "," + std::to_string(index) + ")");
    cable([&] { engine_.loadInstruction(uint32_t(code), size_t(index)); return 0; });
  }
  void MoveTapState(int32_t from, int32_t to) {
    note(hid::JTagChannel_MoveTapState, "Move(" + std::to_string(from) + "," + std::to_string(to) + ")");
    cable([&] { engine_.moveState(zsim::TapState(from), zsim::TapState(to)); return 0; });
  }
  void GotoTapState(int32_t state) {
    note(hid::JTagChannel_GotoTapState, "Goto(" + std::to_string(state) + ")");
    cable([&] { engine_.gotoState(zsim::TapState(state)); return 0; });
  }
  void ClockTms(int32_t level) {
    note(hid::JTagChannel_ClockTms, "Tms(" + std::to_string(level) + ")");
    cable([&] { engine_.clockTms(level != 0); return 0; });
  }

 protected:
  void* interfaceFor(const zabi::Guid& iid) override {
    if (iid == zabi::IID_IJTagPinAccess) return offerPins ? static_cast<zabi::IJTagPinAccess*>(&pins_) : nullptr;
    return TAbstractSupportService::interfaceFor(iid);
  }

 private:
  void note(DispId id, const std::string& token) {
    if (logging) log.push_back(token);
    if (failDispatch == id) throw zabi::DispatchError("injected failure of channel operation " + token);
  }
  // Runs a cable operation; a cable failure becomes the operation's error.
  template <class F>
  int32_t cable(F&& f) {
    try {
      return f();
    } catch (const zsim::SimError& e) {
      if (cableError.empty()) cableError = e.what();
      throw zabi::DispatchError(std::string("JTAG cable: ") + e.what());
    }
  }

  struct Pins : zabi::IJTagPinAccess {
    SimChannel* owner = nullptr;
    zabi::HResult QueryInterface(const zabi::Guid& iid, void** object) override {
      return owner->QueryInterface(iid, object);
    }
    int32_t AddRef() override { return owner->AddRef(); }
    int32_t Release() override { return owner->Release(); }
    zabi::HResult SetTRST(int32_t) override { return zabi::kOk; }
    zabi::HResult SetSRST(int32_t) override { return zabi::kOk; }
    zabi::HResult SetTCK(int32_t l) override { return pin(l ? "TCK1" : "TCK0", [&] { owner->engine_.setTck(l != 0); }); }
    zabi::HResult GetTCK(int16_t* l) override { *l = owner->engine_.tckLevel() ? -1 : 0; return zabi::kOk; }
    zabi::HResult SetTDI(int32_t l) override { return pin(l ? "TDI1" : "TDI0", [&] { owner->engine_.setTdi(l != 0); }); }
    zabi::HResult SetTMS(int32_t l) override { return pin(l ? "TMS1" : "TMS0", [&] { owner->engine_.setTms(l != 0); }); }
    zabi::HResult GetTDI(int16_t* l) override { *l = owner->engine_.tdiLevel() ? -1 : 0; return zabi::kOk; }
    zabi::HResult GetTDO(int16_t* l) override {
      return pin("TDO", [&] {
        const bool level = owner->tdoOverride ? *owner->tdoOverride : owner->engine_.tdo();
        *l = level ? -1 : 0;
      });
    }
    zabi::HResult GetTMS(int16_t* l) override { *l = owner->engine_.tmsLevel() ? -1 : 0; return zabi::kOk; }
    zabi::HResult SetLED(int32_t) override { return zabi::kOk; }
    zabi::HResult WritePins() override {
      ++owner->writes;
      if (owner->hook && owner->writes == owner->hookAtWrite) owner->hook();
      return pin("W", [&] { owner->engine_.writePins(); });
    }
    zabi::HResult ReadPins() override { return pin("R", [&] { owner->engine_.readPins(); }); }

    template <class F>
    zabi::HResult pin(const char* token, F&& f) {
      if (owner->logging) owner->log.push_back(token);
      if (owner->failPinsFromWrite && owner->writes >= owner->failPinsFromWrite) return owner->failStatus;
      try {
        f();
        return zabi::kOk;
      } catch (const zsim::SimError& e) {
        if (owner->cableError.empty()) owner->cableError = e.what();
        return static_cast<zabi::HResult>(0x80004005);
      }
    }
  };

  zsim::ScanEngine engine_;
  Pins pins_;
};

// ---- simulated bench ------------------------------------------------------------------------------------

// A simulated chain behind a cable, and the host channel over it.
struct Bench {
  std::shared_ptr<zsim::Chain> chain;
  std::unique_ptr<zsim::Cable> cable;
  SimChannel* ch = nullptr;
  DispPtr channel;

  explicit Bench(const std::string& chainText) : chain(zsim::buildChain(chainText)) {
    attach(std::make_unique<zsim::SimCable>(chain));
  }
  Bench(std::shared_ptr<zsim::Chain> c, std::unique_ptr<zsim::Cable> cab) : chain(std::move(c)) {
    attach(std::move(cab));
  }
  void attach(std::unique_ptr<zsim::Cable> c) {
    cable = std::move(c);
    std::vector<int> ir;
    for (size_t i = 0; i < chain->size(); ++i) ir.push_back(chain->device(i).irLength());
    ch = new SimChannel(*cable, ir);
    channel = ch->dispatchPtr();
  }
  ~Bench() {
    channel.reset();  // the channel goes before its cable
  }
  zsim::Arria2GZDevice& device(size_t i) const { return *chain->deviceAs<zsim::Arria2GZDevice>(i); }
};

// ---- files ---------------------------------------------------------------------------------------------

using zolta::testing::TempDir;

}  // namespace zolta::jtagtest
