// How the plug-in reaches the host: typed holders of host objects, the call helper, and the cached
// entry points into the host process.
//
// A host object is one dispatch reference in a holder named after its interface (IClient, IWorkspace,
// ...). An empty holder means the object is absent; callers test it before use. Every call is a
// dispatch invoke by numeric identifier (zabi::host) with positional arguments and at most one
// result; a failing call throws zabi::DispatchError in the caller with the host's message.
//
// Entry points: the host executable exports "ClientAPI_GetClientInterface", "GetWorkspace",
// "GetDeviceManager", "LibApi_GetModelTypeManager" and "LibApi_GetLibraryManager" with default
// visibility; they are resolved with dlsym in the global scope of the process. Without a host (a
// unit test, a tool that links the plug-in's libraries) every entry point answers an empty holder and
// every host-backed routine answers empty or does nothing.
#pragma once

#include <utility>

#include "zolta/dispatch.h"
#include "zolta/host_ids.h"

namespace zolta {

using zabi::DispPtr;
using zabi::Var;

// ---- typed holders -------------------------------------------------------------------------------

// One dispatch reference to a host object of the interface named by Tag. Copying shares the
// reference (AddRef); the holder releases it when it goes.
template <class Tag>
class THostObject {
 public:
  THostObject() = default;
  THostObject(std::nullptr_t) {}
  explicit THostObject(DispPtr p) : p_(std::move(p)) {}
  explicit THostObject(zabi::IDispatch* p) : p_(p) {}
  // The dispatch object carried by a call result; empty for an empty or null result.
  static THostObject fromVar(const Var& v) { return THostObject(v.isEmpty() ? DispPtr() : v.toDispatch()); }

  explicit operator bool() const { return bool(p_); }
  bool isEmpty() const { return !p_; }
  zabi::IDispatch* get() const { return p_.get(); }
  const DispPtr& ptr() const { return p_; }
  void reset() { p_.reset(); }

  // The same object seen through another of its host interfaces, e.g.
  // client.as<IProcessLauncher>() (the client is also the process launcher).
  template <class Holder>
  Holder as() const { return Holder(p_); }

  // Calls operation `id` with the arguments in declared order; throws zabi::DispatchError on
  // failure or when the holder is empty.
  template <class... A>
  Var call(zabi::DispId id, A&&... args) const {
    return zabi::invoke(p_, id, std::forward<A>(args)...);
  }

  friend bool operator==(const THostObject& a, const THostObject& b) { return a.p_ == b.p_; }

 private:
  DispPtr p_;
};

using IClient = THostObject<struct IClientTag>;
using IClientAPI = THostObject<struct IClientAPITag>;
using IProcessLauncher = THostObject<struct IProcessLauncherTag>;
using IGUIManager = THostObject<struct IGUIManagerTag>;
using IPluginsRegistry = THostObject<struct IPluginsRegistryTag>;
using IPluginItem = THostObject<struct IPluginItemTag>;
using IServerModule = THostObject<struct IServerModuleTag>;
using IServerDocumentView = THostObject<struct IServerDocumentViewTag>;
using ITimerManager = THostObject<struct ITimerManagerTag>;
using IWorkspace = THostObject<struct IWorkspaceTag>;
using IProject = THostObject<struct IProjectTag>;
using IDocument = THostObject<struct IDocumentTag>;
using INet = THostObject<struct INetTag>;
using IComponent = THostObject<struct IComponentTag>;
using IParameter = THostObject<struct IParameterTag>;
using IOptionsStorage = THostObject<struct IOptionsStorageTag>;
using IKVRMessagesManager = THostObject<struct IKVRMessagesManagerTag>;
using IProcessFlowRunner = THostObject<struct IProcessFlowRunnerTag>;
using IDeviceManager = THostObject<struct IDeviceManagerTag>;
using IFamilyManager = THostObject<struct IFamilyManagerTag>;
using IGenericDeviceManager = THostObject<struct IGenericDeviceManagerTag>;
using IZoltaDevice = THostObject<struct IZoltaDeviceTag>;
using IJTagDevice = THostObject<struct IJTagDeviceTag>;
using IJTagChannel = THostObject<struct IJTagChannelTag>;
using IFPGAFlowModule = THostObject<struct IFPGAFlowModuleTag>;
using IVendorToolManager = THostObject<struct IVendorToolManagerTag>;
using IModelTypeManager = THostObject<struct IModelTypeManagerTag>;
using ILibraryManager = THostObject<struct ILibraryManagerTag>;

// ---- call helper ---------------------------------------------------------------------------------

// Calls operation `id` of a host object (declared argument order) and answers its result. Throws
// zabi::DispatchError when the object is absent or the call fails.
template <class... A>
Var HostCall(const DispPtr& obj, zabi::DispId id, A&&... args) {
  return zabi::invoke(obj, id, std::forward<A>(args)...);
}
template <class Tag, class... A>
Var HostCall(const THostObject<Tag>& obj, zabi::DispId id, A&&... args) {
  return zabi::invoke(obj.ptr(), id, std::forward<A>(args)...);
}

// ---- cached entry points -------------------------------------------------------------------------

// The host client, resolved once from the export "ClientAPI_GetClientInterface" and kept until the
// module unloads. Empty without a host; a later call tries again while it is empty.
const IClient& HostClient();
// The client's client-API object (client operation 795); empty without a client.
IClientAPI GetClientAPI();
// The workspace, device manager and library managers from the host's exports. The export is resolved
// once; the object is asked from it on every call. Empty when the export is missing.
IWorkspace GetWorkspace();
IDeviceManager GetDeviceManager();
IModelTypeManager GetModelTypeManager();
ILibraryManager GetLibraryManager();

// Replaces what the entry points answer: for a host that links the plug-in's libraries directly and
// for tests with a recording fake host. An empty holder goes back to resolving the export.
void SetHostClient(IClient client);
void SetHostWorkspace(IWorkspace workspace);
void SetHostDeviceManager(IDeviceManager manager);
// Forgets every process-wide cache of the host-integration routines (client, exports, this
// computer's and user's names, the host's no-prompt flag, the progress stack, the cached parameter
// line). Tests call it between cases.
void ResetHostCaches();
// ResetHostCaches, and frees the caches' own memory too: for the plug-in's unload, while the host is
// still there to take the releases. A later use builds the caches afresh.
void FreeHostCaches();

}  // namespace zolta
