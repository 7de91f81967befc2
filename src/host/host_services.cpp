#include "zolta/host/host_services.h"

#include <dlfcn.h>

#include "host_internal.h"
#include "zolta/host/parameters.h"

namespace zolta {

namespace {

// The process-wide host caches. They hold references to host objects, so they are never destroyed
// by static destruction (the host may be gone by then); ResetHostCaches releases them explicitly.
struct HostCaches {
  IClient client;
  IWorkspace workspaceOverride;
  IDeviceManager deviceManagerOverride;
  bool exportsResolved = false;
  zabi::host::HostGetObjectFn workspaceFn = nullptr;
  zabi::host::HostGetObjectFn deviceManagerFn = nullptr;
  zabi::host::HostGetObjectFn modelTypeManagerFn = nullptr;
  zabi::host::HostGetObjectFn libraryManagerFn = nullptr;
};

HostCaches*& cachesSlot() {
  static HostCaches* c = nullptr;
  return c;
}

HostCaches& caches() {
  HostCaches*& c = cachesSlot();
  if (!c) c = new HostCaches;
  return *c;
}

void* findHostExport(const char* name) { return dlsym(RTLD_DEFAULT, name); }

void resolveExports() {
  HostCaches& c = caches();
  if (c.exportsResolved) return;
  c.exportsResolved = true;
  using Fn = zabi::host::HostGetObjectFn;
  c.workspaceFn = reinterpret_cast<Fn>(findHostExport(zabi::host::kHostExportWorkspace));
  c.deviceManagerFn = reinterpret_cast<Fn>(findHostExport(zabi::host::kHostExportDeviceManager));
  c.modelTypeManagerFn = reinterpret_cast<Fn>(findHostExport(zabi::host::kHostExportModelTypeManager));
  c.libraryManagerFn = reinterpret_cast<Fn>(findHostExport(zabi::host::kHostExportLibraryManager));
}

// The object an export answers; the export hands out a borrowed reference, which the holder AddRefs.
template <class Holder>
Holder fromExport(zabi::host::HostGetObjectFn fn) {
  return fn ? Holder(fn()) : Holder();
}

}  // namespace

const IClient& HostClient() {
  HostCaches& c = caches();
  if (!c.client) {
    auto fn = reinterpret_cast<zabi::ClientApiGetClientInterfaceFn>(findHostExport(zabi::kHostExportClient));
    if (fn) c.client = IClient(fn());
  }
  return c.client;
}

IClientAPI GetClientAPI() {
  IClient client = HostClient();
  if (!client) return {};
  return IClientAPI::fromVar(client.call(zabi::host::Client_GetClientAPI));
}

IWorkspace GetWorkspace() {
  HostCaches& c = caches();
  if (c.workspaceOverride) return c.workspaceOverride;
  resolveExports();
  return fromExport<IWorkspace>(c.workspaceFn);
}

IDeviceManager GetDeviceManager() {
  HostCaches& c = caches();
  if (c.deviceManagerOverride) return c.deviceManagerOverride;
  resolveExports();
  return fromExport<IDeviceManager>(c.deviceManagerFn);
}

IModelTypeManager GetModelTypeManager() {
  resolveExports();
  return fromExport<IModelTypeManager>(caches().modelTypeManagerFn);
}

ILibraryManager GetLibraryManager() {
  resolveExports();
  return fromExport<ILibraryManager>(caches().libraryManagerFn);
}

void SetHostClient(IClient client) { caches().client = std::move(client); }
void SetHostWorkspace(IWorkspace workspace) { caches().workspaceOverride = std::move(workspace); }
void SetHostDeviceManager(IDeviceManager manager) { caches().deviceManagerOverride = std::move(manager); }

void ResetHostCaches() {
  HostCaches& c = caches();
  c = HostCaches{};
  detail::ResetFileCaches();
  detail::ResetProgressStack();
  ResetParameterLineCache();
}

void FreeHostCaches() {
  ResetHostCaches();
  delete cachesSlot();
  cachesSlot() = nullptr;
}

}  // namespace zolta
