#include "zolta/flow/process_flow.h"

#include <sys/stat.h>

#include <ctime>
#include <set>
#include <stdexcept>
#include <tuple>
#include <type_traits>

#include "zolta/host/files.h"
#include "zolta/host/vendor_tools.h"
#include "zolta/host_ids.h"

namespace zolta {

namespace h = zabi::host;

// ---- date-times ---------------------------------------------------------------------------------

double UnixTimeToDateTime(int64_t seconds, int64_t nanoseconds) {
  // Days since 1899-12-30 in local time: the Unix epoch is day 25569.
  const time_t t = time_t(seconds);
  struct tm local {};
  localtime_r(&t, &local);
  const double localSeconds = double(seconds + local.tm_gmtoff) + double(nanoseconds) / 1e9;
  return localSeconds / 86400.0 + 25569.0;
}

double NowDateTime() {
  struct timespec ts {};
  clock_gettime(CLOCK_REALTIME, &ts);
  return UnixTimeToDateTime(ts.tv_sec, ts.tv_nsec);
}

double FileDateTime(std::string_view fileName) {
  if (fileName.empty()) return 0;
  struct stat st {};
  std::string path(fileName);
  if (::stat(path.c_str(), &st) != 0) {
    path = ResolveFileCaseInsensitive(fileName);
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return 0;
  }
  return UnixTimeToDateTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

double LaterDateTime(double a, double b) {
  if (a == 0) return b;
  if (b == 0) return a;
  return a > b ? a : b;
}

// ---- dispatch tables -----------------------------------------------------------------------------

namespace {

// Enumerations travel as integers; an integer outside an enumeration's range is refused.
template <class T>
struct Wire {
  using type = T;
  static T in(type v) { return v; }
  static type out(T v) { return v; }
};
template <>
struct Wire<TFlowRunResult> {
  using type = int32_t;
  static TFlowRunResult in(int32_t v) {
    if (v < eFlowRun_DidNotRun || v > eFlowRun_Success)
      throw zabi::DispatchError(std::to_string(v) + " is not a flow run result (0..3)");
    return TFlowRunResult(v);
  }
  static int32_t out(TFlowRunResult v) { return int32_t(v); }
};
template <>
struct Wire<TProcessFlowState> {
  using type = int32_t;
  static int32_t out(TProcessFlowState v) { return int32_t(v); }
};

template <auto M, size_t... I>
void callFlow(TAbstractSupportService& self, DispatchCall& c, std::index_sequence<I...>) {
  using T = detail::MethodTraits<decltype(M)>;
  using Args = typename T::Args;
  using R = typename T::Result;
  c.expect(sizeof...(I));
  std::tuple<typename Wire<std::tuple_element_t<I, Args>>::type...> wire{
      c.get<typename Wire<std::tuple_element_t<I, Args>>::type>(I)...};
  auto& obj = static_cast<typename T::Class&>(self);
  if constexpr (std::is_void_v<R>) {
    (obj.*M)(Wire<std::tuple_element_t<I, Args>>::in(std::get<I>(wire))...);
  } else {
    c.ret(Wire<std::decay_t<R>>::out((obj.*M)(Wire<std::tuple_element_t<I, Args>>::in(std::get<I>(wire))...)));
  }
}

// The dispatch handler of a flow operation (op<> with enumerations carried as integers).
template <auto M>
void flowOp(TAbstractSupportService& self, DispatchCall& c) {
  using T = detail::MethodTraits<decltype(M)>;
  callFlow<M>(self, c, std::make_index_sequence<std::tuple_size_v<typename T::Args>>{});
}

using A = TAbstractProcessFlow;
const DispatchEntry kProcessFlowEntries[] = {
    {flowid::StageName, &flowOp<&A::StageName>},
    {flowid::StageCaption, &flowOp<&A::StageCaption>},
    {flowid::StageDescription, &flowOp<&A::StageDescription>},
    {flowid::InputDescription, &flowOp<&A::InputDescription>},
    {flowid::OutputDescription, &flowOp<&A::OutputDescription>},
    {flowid::CanRun, &flowOp<&A::CanRun>},
    {flowid::IsCategory, &flowOp<&A::IsCategory>},
    {flowid::Run, &flowOp<&A::Run>},
    {flowid::RunIfOutOfDate, &flowOp<&A::RunIfOutOfDate>},
    {flowid::RunAll, &flowOp<&A::RunAll>},
    {flowid::RunWholeStage, &flowOp<&A::RunWholeStage>},
    {flowid::Stop, &flowOp<&A::Stop>},
    {flowid::UpdateFlowState, &flowOp<&A::UpdateFlowState>},
    {flowid::FlowState, &flowOp<&A::FlowState>},
    {flowid::IsRunning, &flowOp<&A::IsRunning>},
    {flowid::RunningStage, &flowOp<&A::RunningStage>},
    {flowid::LastRunResult, &flowOp<&A::LastRunResult>},
    {flowid::ClearLastRunResult, &flowOp<&A::ClearLastRunResult>},
    {flowid::ProjectChanged, &flowOp<&A::ProjectChanged>},
    {flowid::SetBasePath, &flowOp<&A::SetBasePath>},
    {flowid::GetBasePath, &flowOp<&A::GetBasePath>},
    {flowid::CanEditProperties, &flowOp<&A::CanEditProperties>},
    {flowid::EditProperties, &flowOp<&A::EditProperties>},
    {flowid::ReportCount, &flowOp<&A::ReportCount>},
    {flowid::ReportPath, &flowOp<&A::ReportPath>},
    {flowid::GetParentStage, &flowOp<&A::GetParentStage>},
    {flowid::SetParentStage, &flowOp<&A::SetParentStage>},
    {flowid::GetChildStageCount, &flowOp<&A::GetChildStageCount>},
    {flowid::GetChildStage, &flowOp<&A::GetChildStage>},
    {flowid::ClearChildren, &flowOp<&A::ClearChildren>},
    {flowid::AddChildStage, &flowOp<&A::AddChildStage>},
    {flowid::GetDependenciesCount, &flowOp<&A::GetDependenciesCount>},
    {flowid::GetDependency, &flowOp<&A::GetDependency>},
    {flowid::ClearDependencies, &flowOp<&A::ClearDependencies>},
    {flowid::AddDependency, &flowOp<&A::AddDependency>},
};

using Z = TZoltaAbstractProcessFlow;
const DispatchEntry kProcessFlowInternalEntries[] = {
    {flowid::RunStage, &flowOp<&Z::RunStage>},
    {flowid::BeginRun, &flowOp<&Z::BeginRun>},
    {flowid::EndRun, &flowOp<&Z::EndRun>},
    {flowid::RootBeginRun, &flowOp<&Z::RootBeginRun>},
    {flowid::RootEndRun, &flowOp<&Z::RootEndRun>},
    {flowid::SetLastRunResult, &flowOp<&Z::SetLastRunResult>},
    {flowid::ThisStage_OutputExists, &flowOp<&Z::ThisStage_OutputExists>},
    {flowid::ThisStage_DateTimeUpdated, &flowOp<&Z::ThisStage_DateTimeUpdated>},
    {flowid::RunDependencies, &flowOp<&Z::RunDependencies>},
    {flowid::InputsExist, &flowOp<&Z::InputsExist>},
    {flowid::InputsDateTime, &flowOp<&Z::InputsDateTime>},
    {flowid::DependenciesUpToDate, &flowOp<&Z::DependenciesUpToDate>},
};

const DispatchEntry kProcessFlowCustomEventsEntries[] = {
    {flowid::BeforeStart, &flowOp<&Z::BeforeStart>},
};

// ---- calls on other flow objects ----------------------------------------------------------------

TFlowRunResult toResult(const Var& v) { return Wire<TFlowRunResult>::in(v.toInt32()); }

std::string nameOf(const DispPtr& flow) {
  try {
    return zabi::invoke(flow, flowid::StageName).toString();
  } catch (const std::exception&) {
    return "?";
  }
}

// The direct dependencies of a flow object, asked through dispatch.
std::vector<DispPtr> dependenciesOf(const DispPtr& flow) {
  std::vector<DispPtr> deps;
  const int32_t n = zabi::invoke(flow, flowid::GetDependenciesCount).toInt32();
  deps.reserve(size_t(std::max(n, 0)));
  for (int32_t i = 0; i < n; ++i) deps.push_back(zabi::invoke(flow, flowid::GetDependency, i).toDispatch());
  return deps;
}

bool dependsOn(const DispPtr& a, const DispPtr& b, std::set<IDispatch*>& visited) {
  if (!a || !visited.insert(a.get()).second) return false;
  for (const DispPtr& d : dependenciesOf(a))
    if (d == b || dependsOn(d, b, visited)) return true;
  return false;
}

}  // namespace

const DispatchTable& TAbstractProcessFlow::table() {
  static const DispatchTable t =
      makeTable(&TAbstractSupportService::rootTable(), kService_ProcessFlow, kProcessFlowEntries);
  return t;
}

const DispatchTable& TZoltaAbstractProcessFlow::internalTable() {
  static const DispatchTable t =
      makeTable(&TAbstractProcessFlow::table(), kService_ProcessFlow_Internal, kProcessFlowInternalEntries);
  return t;
}

const DispatchTable& TZoltaAbstractProcessFlow::table() {
  static const DispatchTable t =
      makeTable(&internalTable(), kService_ProcessFlow_CustomEventsOnly, kProcessFlowCustomEventsEntries);
  return t;
}

// ---- TZoltaAbstractProcessFlow --------------------------------------------------------------------

TZoltaAbstractProcessFlow::TZoltaAbstractProcessFlow(std::string AName, std::string ACaption,
                                                     std::string ADescription)
    : FStageName(std::move(AName)), FStageCaption(std::move(ACaption)), FStageDescription(std::move(ADescription)) {}

TZoltaAbstractProcessFlow::~TZoltaAbstractProcessFlow() {
  FDependencies.DeleteAll();
  FParent.reset();
}

bool TZoltaAbstractProcessFlow::DependsOn(const DispPtr& a, const DispPtr& b) {
  std::set<IDispatch*> visited;
  return dependsOn(a, b, visited);
}

std::vector<DispPtr> TZoltaAbstractProcessFlow::ChildrenSnapshot() {
  std::vector<DispPtr> children;
  const int32_t n = GetChildStageCount();
  for (int32_t i = 0; i < n; ++i)
    if (DispPtr c = GetChildStage(i)) children.push_back(std::move(c));
  return children;
}

void TZoltaAbstractProcessFlow::AddDependency(const DispPtr& dependency) {
  if (!dependency) return;
  const DispPtr self = dispatchPtr();
  if (dependency == self) throw std::invalid_argument("flow object '" + FStageName + "' cannot depend on itself");
  if (DependsOn(dependency, self))
    throw std::invalid_argument("flow object '" + FStageName + "' cannot depend on '" + nameOf(dependency) +
                                "': that object already depends on it (a cycle)");
  FDependencies.Add(dependency);
}

// ---- run entry points ----

TFlowRunResult TZoltaAbstractProcessFlow::RunEntryPoint(const DispPtr& runner, bool Force, bool WholeStage,
                                                        bool WithDependencies) {
  // The host may pump events while a tool runs and so try to start a second run of the same tree.
  DispPtr root = dispatchPtr();
  for (DispPtr up = FParent; up; up = zabi::invoke(up, flowid::GetParentStage).toDispatch()) root = up;
  if (zabi::invoke(root, flowid::IsRunning).toBool() || FInRunStage)
    throw std::runtime_error("flow object '" + FStageName + "' cannot run: a run of its flow is under way");

  if (runner) zabi::invoke(runner, h::ProcessFlowRunner_RunBegin);
  TFlowRunResult result = eFlowRun_DidNotRun;
  try {
    BeginRun();
    result = RunStage(Force, WholeStage, WithDependencies, runner);
  } catch (...) {
    // The run is closed also after a failure; the first failure is the one reported.
    try {
      EndRun();
    } catch (...) {
    }
    try {
      if (runner) zabi::invoke(runner, h::ProcessFlowRunner_RunEnd);
    } catch (...) {
    }
    throw;
  }
  EndRun();
  if (runner) zabi::invoke(runner, h::ProcessFlowRunner_RunEnd);
  return result;
}

TFlowRunResult TZoltaAbstractProcessFlow::Run(const DispPtr& runner) { return RunEntryPoint(runner, true, false, false); }
TFlowRunResult TZoltaAbstractProcessFlow::RunIfOutOfDate(const DispPtr& runner) {
  return RunEntryPoint(runner, false, false, false);
}
TFlowRunResult TZoltaAbstractProcessFlow::RunAll(const DispPtr& runner) { return RunEntryPoint(runner, true, true, true); }
TFlowRunResult TZoltaAbstractProcessFlow::RunWholeStage(const DispPtr& runner) {
  return RunEntryPoint(runner, false, true, false);
}

void TZoltaAbstractProcessFlow::BeginRun() {
  if (FParent) zabi::invoke(FParent, flowid::BeginRun);
  else RootBeginRun();
}

void TZoltaAbstractProcessFlow::EndRun() {
  if (FParent) zabi::invoke(FParent, flowid::EndRun);
  else RootEndRun();
}

void TZoltaAbstractProcessFlow::RootBeginRun() { ClearLastRunResult(); }

void TZoltaAbstractProcessFlow::RootEndRun() {
  if (FRunning) FLastResult = eFlowRun_Failure;
  FRunning = false;
  for (const DispPtr& c : ChildrenSnapshot()) zabi::invoke(c, flowid::RootEndRun);
}

void TZoltaAbstractProcessFlow::ClearLastRunResult() {
  FCancelled = false;
  FLastResult = eFlowRun_DidNotRun;
  for (const DispPtr& c : ChildrenSnapshot()) zabi::invoke(c, flowid::ClearLastRunResult);
}

void TZoltaAbstractProcessFlow::SetLastRunResult(TFlowRunResult result) {
  FLastResult = result;
  if (FParent) zabi::invoke(FParent, flowid::SetLastRunResult, int32_t(result));
}

TFlowRunResult TZoltaAbstractProcessFlow::RunStage(bool Force, bool WholeStage, bool WithDependencies,
                                                   const DispPtr& runner) {
  // Up-to-date shortcut on the stored state (not recomputed here).
  if (!Force && !WholeStage && !WithDependencies && FFlowState == eFlowState_UpToDate) {
    SetLastRunResult(eFlowRun_Success);
    return eFlowRun_Success;
  }
  // A second entry while this one is under way can only come from a cycle through dependencies and
  // parents; it would recurse without end.
  if (FInRunStage)
    throw std::runtime_error("flow object '" + FStageName + "' is run again while it runs (a dependency cycle)");
  FInRunStage = true;
  struct Leave {
    bool& flag;
    ~Leave() { flag = false; }
  } leave{FInRunStage};

  TFlowRunResult result = RunDependencies(WithDependencies, runner);
  if (result != eFlowRun_Success) return result;

  if (FCancelled) {
    result = eFlowRun_Cancelled;
  } else {
    // A failure that escapes ExecuteStage leaves FRunning set; RootEndRun marks the object failed.
    FRunning = true;
    if (runner) zabi::invoke(runner, h::ProcessFlowRunner_StageStarting, dispatchPtr());
    result = ExecuteStage(runner, WithDependencies, WholeStage, Force);
    FRunning = false;
  }
  SetLastRunResult(result);
  return result;
}

TFlowRunResult TZoltaAbstractProcessFlow::RunDependencies(bool WithDependencies, const DispPtr& runner) {
  TFlowRunResult result = eFlowRun_Success;
  if (FDependencies.Count() > 0) {
    // Each dependency is picked at most once here, also one that does not record its result.
    std::set<IDispatch*> tried;
    while (result == eFlowRun_Success && !FCancelled) {
      DispPtr next;
      for (const DispPtr& d : std::vector<DispPtr>(FDependencies.begin(), FDependencies.end())) {
        if (tried.count(d.get())) continue;
        if (toResult(zabi::invoke(d, flowid::LastRunResult)) == eFlowRun_DidNotRun) {
          next = d;
          break;
        }
      }
      if (!next) break;
      tried.insert(next.get());
      result = toResult(zabi::invoke(next, flowid::RunStage, false, WithDependencies, WithDependencies, runner));
    }
  } else if (FParent) {
    result = toResult(zabi::invoke(FParent, flowid::RunDependencies, WithDependencies, runner));
  }
  return result;
}

// ---- states ----

bool TZoltaAbstractProcessFlow::DependenciesUpToDate() {
  if (FDependencies.Count() == 0)
    return FParent ? zabi::invoke(FParent, flowid::DependenciesUpToDate).toBool() : true;
  for (const DispPtr& d : std::vector<DispPtr>(FDependencies.begin(), FDependencies.end()))
    if (zabi::invoke(d, flowid::FlowState).toInt32() != eFlowState_UpToDate) return false;
  return true;
}

bool TZoltaAbstractProcessFlow::InputsExist() {
  if (FDependencies.Count() == 0) return FParent ? zabi::invoke(FParent, flowid::InputsExist).toBool() : true;
  for (const DispPtr& d : std::vector<DispPtr>(FDependencies.begin(), FDependencies.end()))
    if (!zabi::invoke(d, flowid::ThisStage_OutputExists).toBool()) return false;
  return true;
}

double TZoltaAbstractProcessFlow::InputsDateTime() {
  if (FDependencies.Count() == 0) return FParent ? zabi::invoke(FParent, flowid::InputsDateTime).toDouble() : 0;
  if (!InputsExist()) return 0;
  double latest = 0;
  for (const DispPtr& d : std::vector<DispPtr>(FDependencies.begin(), FDependencies.end())) {
    // A dependency that runs now is about to produce new output.
    const double t = zabi::invoke(d, flowid::IsRunning).toBool()
                         ? NowDateTime()
                         : zabi::invoke(d, flowid::ThisStage_DateTimeUpdated).toDouble();
    latest = LaterDateTime(latest, t);
  }
  return latest;
}

// ---- tree-wide calls ----

void TZoltaAbstractProcessFlow::Stop() {
  FCancelled = true;
  for (const DispPtr& c : ChildrenSnapshot()) zabi::invoke(c, flowid::Stop);
}

bool TZoltaAbstractProcessFlow::IsRunning() {
  if (FRunning) return true;
  for (const DispPtr& c : ChildrenSnapshot())
    if (zabi::invoke(c, flowid::IsRunning).toBool()) return true;
  return false;
}

DispPtr TZoltaAbstractProcessFlow::RunningStage() {
  if (!IsRunning()) return {};
  const std::vector<DispPtr> children = ChildrenSnapshot();
  if (children.empty()) return dispatchPtr();
  for (auto it = children.rbegin(); it != children.rend(); ++it)
    if (zabi::invoke(*it, flowid::IsRunning).toBool()) return zabi::invoke(*it, flowid::RunningStage).toDispatch();
  return {};
}

void TZoltaAbstractProcessFlow::ProjectChanged(const std::string& projectPath) { FProjectPath = projectPath; }

void TZoltaAbstractProcessFlow::SetBasePath(const std::string& path) {
  FBasePath = path;
  for (const DispPtr& c : ChildrenSnapshot()) zabi::invoke(c, flowid::SetBasePath, path);
}

IProject TZoltaAbstractProcessFlow::GetProject() {
  if (FProjectPath.empty()) return {};
  IWorkspace workspace = GetWorkspace();
  if (!workspace) return {};
  return IProject::fromVar(workspace.call(h::Workspace_GetProjectByPath, FProjectPath));
}

// ---- TProcessFlowCategory -------------------------------------------------------------------------

TProcessFlowCategory::TProcessFlowCategory(std::string AName, std::string ACaption, std::string ADescription,
                                           std::string AInputDesc, std::string AOutputDesc)
    : TZoltaAbstractProcessFlow(std::move(AName), std::move(ACaption), std::move(ADescription)),
      FChildren(TAdvancedInterfaceList::CreateSorted(
          [](const DispPtr& existing, const DispPtr& added) -> int32_t {
            if (DependsOn(existing, added)) return 1;
            if (DependsOn(added, existing)) return -1;
            return 0;
          },
          TDuplicates::dupAccept)),
      FInputDesc(std::move(AInputDesc)),
      FOutputDesc(std::move(AOutputDesc)) {}

TProcessFlowCategory::~TProcessFlowCategory() {
  try {
    TProcessFlowCategory::ClearChildren();
  } catch (...) {
    // A child that fails to forget its parent still loses our reference.
    FChildren.DeleteAll();
  }
}

void TProcessFlowCategory::ClearChildren() {
  const std::vector<DispPtr> children(FChildren.begin(), FChildren.end());
  FChildren.DeleteAll();
  IDispatch* self = dispatch();
  for (const DispPtr& c : children) {
    // A child that has moved to another category keeps that parent.
    if (zabi::invoke(c, flowid::GetParentStage).toDispatch().get() == self)
      zabi::invoke(c, flowid::SetParentStage, DispPtr());
  }
}

void TProcessFlowCategory::AddChildStage(const DispPtr& child) {
  if (!child) return;
  for (DispPtr up = dispatchPtr(); up; up = zabi::invoke(up, flowid::GetParentStage).toDispatch())
    if (up == child)
      throw std::invalid_argument("flow object '" + nameOf(child) + "' cannot be a child of '" + FStageName +
                                  "': it is that category or one of its parents");
  FChildren.Add(child);
  zabi::invoke(child, flowid::SetParentStage, dispatchPtr());
}

void TProcessFlowCategory::ProjectChanged(const std::string& projectPath) {
  TZoltaAbstractProcessFlow::ProjectChanged(projectPath);
  for (const DispPtr& c : ChildrenSnapshot()) zabi::invoke(c, flowid::ProjectChanged, projectPath);
}

bool TProcessFlowCategory::IsConsumed(const DispPtr& child) {
  for (const DispPtr& c : ChildrenSnapshot()) {
    if (!zabi::invoke(c, flowid::CanRun).toBool()) continue;
    for (const DispPtr& d : dependenciesOf(c))
      if (d == child) return true;
  }
  return false;
}

TFlowRunResult TProcessFlowCategory::ExecuteStage(const DispPtr& runner, bool WithDependencies, bool WholeStage,
                                                  bool Force) {
  TFlowRunResult result = eFlowRun_Success;
  std::set<IDispatch*> tried;
  while (result == eFlowRun_Success && !FCancelled) {
    DispPtr next;
    for (const DispPtr& c : ChildrenSnapshot()) {
      if (tried.count(c.get())) continue;
      if (toResult(zabi::invoke(c, flowid::LastRunResult)) == eFlowRun_DidNotRun) {
        next = c;
        break;
      }
    }
    if (!next) break;
    tried.insert(next.get());
    const bool force = Force && !IsConsumed(next);
    result = toResult(zabi::invoke(next, flowid::RunStage, force, WholeStage, WithDependencies, runner));
  }
  return result;
}

bool TProcessFlowCategory::UpdateFlowState() {
  const TProcessFlowState before = FFlowState;
  const std::vector<DispPtr> children = ChildrenSnapshot();
  bool changed = false;
  for (const DispPtr& c : children)
    if (zabi::invoke(c, flowid::UpdateFlowState).toBool()) changed = true;

  bool allUpToDate = true;
  bool missing = false;
  for (const DispPtr& c : children) {
    if (IsConsumed(c)) continue;
    const int32_t state = zabi::invoke(c, flowid::FlowState).toInt32();
    if (state != eFlowState_UpToDate && state != eFlowState_None) allUpToDate = false;
    if (state == eFlowState_Missing) missing = true;
    if (!allUpToDate || missing) break;
  }
  if (allUpToDate && DependenciesUpToDate()) FFlowState = eFlowState_UpToDate;
  else FFlowState = missing ? eFlowState_Missing : eFlowState_OutOfDate;
  return changed || FFlowState != before;
}

bool TProcessFlowCategory::ThisStage_OutputExists() {
  for (const DispPtr& c : ChildrenSnapshot())
    if (!zabi::invoke(c, flowid::ThisStage_OutputExists).toBool()) return false;
  return true;
}

double TProcessFlowCategory::ThisStage_DateTimeUpdated() {
  const std::vector<DispPtr> children = ChildrenSnapshot();
  if (children.empty()) return InputsDateTime();
  double latest = 0;
  for (const DispPtr& c : children)
    latest = LaterDateTime(latest, zabi::invoke(c, flowid::ThisStage_DateTimeUpdated).toDouble());
  return latest;
}

void TProcessFlowCategory::BeforeStart() {
  for (const DispPtr& c : ChildrenSnapshot()) {
    DispPtr custom;
    if (QueryService(c.get(), kService_ProcessFlow_CustomEventsOnly, custom)) zabi::invoke(custom, flowid::BeforeStart);
  }
}

// ---- TProcessFlowStage ----------------------------------------------------------------------------

TProcessFlowStage::TProcessFlowStage(std::string AName, std::string ACaption, std::string ADescription)
    : TZoltaAbstractProcessFlow(std::move(AName), std::move(ACaption), std::move(ADescription)) {}

bool TProcessFlowStage::UpdateFlowState() {
  const TProcessFlowState before = FFlowState;
  if (!ThisStage_OutputExists()) FFlowState = eFlowState_Missing;
  else if (!DependenciesUpToDate()) FFlowState = eFlowState_OutOfDate;
  else if (!InputsExist()) FFlowState = eFlowState_OutOfDate;
  else FFlowState = ThisStage_DateTimeUpdated() >= InputsDateTime() ? eFlowState_UpToDate : eFlowState_OutOfDate;
  return FFlowState != before;
}

TFlowRunResult TProcessFlowStage::ExecuteStage(const DispPtr& runner, bool, bool, bool) {
  return PerformStage(runner);
}

bool TProcessFlowStage::BuildCommandLines(std::vector<std::string>*, std::vector<std::string>*, bool& ReadOnly) {
  ReadOnly = true;
  return false;
}

// ---- TFlowStage_WithDriver ------------------------------------------------------------------------

TFlowStage_WithDriver::TFlowStage_WithDriver(IDispatch* ADriver, std::string AName, std::string ACaption,
                                             std::string ADescription)
    : TProcessFlowStage(std::move(AName), std::move(ACaption), std::move(ADescription)), FDriver(ADriver) {}

std::string TFlowStage_WithDriver::VendorToolVersion() {
  if (!FDriver) return {};
  // GetVendorName of the driver's device information.
  constexpr DispId kGetVendorName = 503407;
  return zolta::VendorToolVersion(zabi::invoke(FDriver, kGetVendorName).toString());
}

}  // namespace zolta
