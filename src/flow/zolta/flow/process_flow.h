// The process-flow framework: the flow objects that the host's process-flow runner runs.
//
// A flow object is a category (ordered child stages, no work of its own) or a stage (a leaf that does
// work). Besides the parent/child tree every flow object has dependencies: flow objects whose outputs
// it consumes and which run before it. Flow objects are counted support-service objects; the host and
// the flow objects reach each other only through dispatch (the identifiers in `flowid`), so a flow
// object of another module can take part in a tree.
//
// Class tree:
//   TAbstractSupportService
//    └ TAbstractProcessFlow          IProcessFlow operations (abstract), service "ProcessFlow"
//       └ TZoltaAbstractProcessFlow  the run algorithm, flow states, messages; services
//          │                         "ProcessFlow_Internal" and "ProcessFlow_CustomEventsOnly"
//          ├ TProcessFlowCategory    children kept in dependency order
//          └ TProcessFlowStage       a leaf: PerformStage does the work
//             └ TFlowStage_WithDriver  a stage that knows its device driver
//
// Ownership: a category holds its children, and every flow object its dependencies, through counted
// references. The parent link is counted too, so a category and its children keep each other alive
// until ClearChildren breaks the cycle: whoever builds a tree calls ClearChildren on its root when it
// lets the tree go. Destroying a category calls ClearChildren, destroying any flow object
// ClearDependencies.
//
// Threads: everything runs on the host's user-interface thread. While a tool stage waits for its tool
// it pumps the host's events (PumpHostEvents), so the host may call Stop, IsRunning or RunningStage in
// the middle of a run; those only read fields or set the cancelled flag. Starting another run of the
// same tree while one is under way is refused with an error.
//
// Errors: operations throw; Invoke turns a throw into an error status for the caller, and a flow object
// that calls another through dispatch gets the callee's error back as a thrown zabi::DispatchError with
// the callee's message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zolta/flow/interface_list.h"
#include "zolta/host/host_services.h"
#include "zolta/service.h"

namespace zolta {

// Result of a run; the numbers are part of the host contract.
enum TFlowRunResult : int32_t {
  eFlowRun_DidNotRun = 0,
  eFlowRun_Cancelled = 1,
  eFlowRun_Failure = 2,
  eFlowRun_Success = 3,
};

// State of a flow object's outputs; the numbers are part of the host contract.
enum TProcessFlowState : int32_t {
  eFlowState_UpToDate = 0,
  eFlowState_OutOfDate = 1,
  eFlowState_Missing = 2,
  eFlowState_None = 3,
};

// Dispatch identifiers of the flow objects. They never move.
namespace flowid {
// IProcessFlow: called by the host, and by flow objects on each other.
inline constexpr DispId StageName = 503705;            // -> text
inline constexpr DispId StageCaption = 503706;         // -> text
inline constexpr DispId StageDescription = 503707;     // -> text
inline constexpr DispId InputDescription = 503708;     // -> text
inline constexpr DispId OutputDescription = 503709;    // -> text
inline constexpr DispId CanRun = 503710;               // -> Boolean
inline constexpr DispId IsCategory = 503711;           // -> Boolean
inline constexpr DispId Run = 503712;                  // (runner) -> TFlowRunResult
inline constexpr DispId RunIfOutOfDate = 503713;       // (runner) -> TFlowRunResult
inline constexpr DispId RunAll = 503714;               // (runner) -> TFlowRunResult
inline constexpr DispId RunWholeStage = 503715;        // (runner) -> TFlowRunResult
inline constexpr DispId Stop = 503716;
inline constexpr DispId UpdateFlowState = 503717;      // -> Boolean, the state changed
inline constexpr DispId FlowState = 503718;            // -> TProcessFlowState
inline constexpr DispId IsRunning = 503719;            // -> Boolean
inline constexpr DispId RunningStage = 503720;         // -> IProcessFlow or none
inline constexpr DispId LastRunResult = 503721;        // -> TFlowRunResult
inline constexpr DispId ClearLastRunResult = 503722;
inline constexpr DispId ProjectChanged = 503723;       // (project path)
inline constexpr DispId SetBasePath = 503724;          // (path)
inline constexpr DispId GetBasePath = 503725;          // -> text
inline constexpr DispId CanEditProperties = 503726;    // -> Boolean
inline constexpr DispId EditProperties = 503727;
inline constexpr DispId ReportCount = 503728;          // -> integer
inline constexpr DispId ReportPath = 503729;           // (index) -> text
inline constexpr DispId GetParentStage = 503730;       // -> IProcessFlow or none
inline constexpr DispId SetParentStage = 503731;       // (IProcessFlow or none)
inline constexpr DispId GetChildStageCount = 503732;   // -> integer
inline constexpr DispId GetChildStage = 503733;        // (index) -> IProcessFlow
inline constexpr DispId ClearChildren = 503734;
inline constexpr DispId AddChildStage = 503735;        // (IProcessFlow)
inline constexpr DispId GetDependenciesCount = 503736; // -> integer
inline constexpr DispId GetDependency = 503737;        // (index) -> IProcessFlow
inline constexpr DispId ClearDependencies = 503738;
inline constexpr DispId AddDependency = 503739;        // (IProcessFlow)
// IProcessFlow_Internal: flow objects on each other during a run; the host does not call these.
inline constexpr DispId RunStage = 509011;             // (Force, WholeStage, WithDependencies, runner) -> result
inline constexpr DispId BeginRun = 509012;
inline constexpr DispId EndRun = 509013;
inline constexpr DispId RootBeginRun = 509014;
inline constexpr DispId RootEndRun = 509015;
inline constexpr DispId SetLastRunResult = 509016;     // (result)
inline constexpr DispId ThisStage_OutputExists = 509017;     // -> Boolean
inline constexpr DispId ThisStage_DateTimeUpdated = 509018;  // -> date-time
inline constexpr DispId RunDependencies = 509019;      // (WithDependencies, runner) -> result
inline constexpr DispId InputsExist = 509020;          // -> Boolean
inline constexpr DispId InputsDateTime = 509021;       // -> date-time
inline constexpr DispId DependenciesUpToDate = 509022; // -> Boolean
// IProcessFlow_CustomEventsOnly
inline constexpr DispId BeforeStart = 509023;
}  // namespace flowid

// Service names answered by every flow object (besides those of its bases).
inline constexpr const char* kService_ProcessFlow = "ProcessFlow";
inline constexpr const char* kService_ProcessFlow_Internal = "ProcessFlow_Internal";
inline constexpr const char* kService_ProcessFlow_CustomEventsOnly = "ProcessFlow_CustomEventsOnly";

// How a posted message treats the host's previous message (PostMessage's MessageReplaceMode).
inline constexpr int32_t kMessageReplace_None = 0;
inline constexpr int32_t kMessageReplace_LastIfSameClass = 1;  // "ReplaceLastMessageIfSameClass=True"
inline constexpr int32_t kMessageReplace_LastOfSameClass = 2;  // "ReplaceLastMessageOfSameClass=True"

// Status-bar panel that PostInfo and PostProgress write to.
inline constexpr int32_t kFlowStatusPanel = 2;

// ---- date-times ---------------------------------------------------------------------------------
// Date-times are days since 1899-12-30 00:00 local time, as doubles (the host's form); 0 means none.

// The date-time of a moment given as seconds and nanoseconds since the Unix epoch.
double UnixTimeToDateTime(int64_t seconds, int64_t nanoseconds = 0);
// The current local date-time.
double NowDateTime();
// The modification time of a file (found case-insensitively when the exact name is missing); 0 when
// it does not exist.
double FileDateTime(std::string_view fileName);
// b when a is 0, a when b is 0, otherwise the larger of the two.
double LaterDateTime(double a, double b);

// ---- abstract flow -------------------------------------------------------------------------------

// Declares the IProcessFlow operations and maps their dispatch identifiers; service "ProcessFlow".
class TAbstractProcessFlow : public TAbstractSupportService {
 public:
  virtual std::string StageName() = 0;
  virtual std::string StageCaption() = 0;
  virtual std::string StageDescription() = 0;
  virtual std::string InputDescription() = 0;
  virtual std::string OutputDescription() = 0;
  virtual bool CanRun() = 0;
  virtual bool IsCategory() = 0;
  virtual TFlowRunResult Run(const DispPtr& runner) = 0;
  virtual TFlowRunResult RunIfOutOfDate(const DispPtr& runner) = 0;
  virtual TFlowRunResult RunAll(const DispPtr& runner) = 0;
  virtual TFlowRunResult RunWholeStage(const DispPtr& runner) = 0;
  virtual void Stop() = 0;
  virtual bool UpdateFlowState() = 0;
  virtual TProcessFlowState FlowState() = 0;
  virtual bool IsRunning() = 0;
  virtual DispPtr RunningStage() = 0;
  virtual TFlowRunResult LastRunResult() = 0;
  virtual void ClearLastRunResult() = 0;
  virtual void ProjectChanged(const std::string& projectPath) = 0;
  virtual void SetBasePath(const std::string& path) = 0;
  virtual std::string GetBasePath() = 0;
  virtual bool CanEditProperties() = 0;
  virtual void EditProperties() = 0;
  virtual int32_t ReportCount() = 0;
  virtual std::string ReportPath(int32_t index) = 0;
  virtual DispPtr GetParentStage() = 0;
  virtual void SetParentStage(const DispPtr& parent) = 0;
  virtual int32_t GetChildStageCount() = 0;
  virtual DispPtr GetChildStage(int32_t index) = 0;
  virtual void ClearChildren() = 0;
  virtual void AddChildStage(const DispPtr& child) = 0;
  virtual int32_t GetDependenciesCount() = 0;
  virtual DispPtr GetDependency(int32_t index) = 0;
  virtual void ClearDependencies() = 0;
  virtual void AddDependency(const DispPtr& dependency) = 0;

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }
};

// ---- the system's root flow class ------------------------------------------------------------------

// The run algorithm, dependency handling, up-to-date shortcut, flow states and the message operations
// shared by every flow object. Concrete classes fill in the hooks marked "hook".
class TZoltaAbstractProcessFlow : public TAbstractProcessFlow {
 public:
  TZoltaAbstractProcessFlow(std::string AName, std::string ACaption, std::string ADescription);
  ~TZoltaAbstractProcessFlow() override;

  // ---- IProcessFlow ----
  std::string StageName() override { return FStageName; }
  std::string StageCaption() override { return FStageCaption; }
  std::string StageDescription() override { return FStageDescription; }
  // The four run entry points: tell the runner (when given) that a run begins, BeginRun, RunStage with
  // the entry point's flags (Run: Force; RunIfOutOfDate: none; RunAll: Force, WholeStage,
  // WithDependencies; RunWholeStage: WholeStage), EndRun and tell the runner that the run ended, also
  // when RunStage failed (the failure is then raised). Refused while the tree already runs.
  TFlowRunResult Run(const DispPtr& runner) override;
  TFlowRunResult RunIfOutOfDate(const DispPtr& runner) override;
  TFlowRunResult RunAll(const DispPtr& runner) override;
  TFlowRunResult RunWholeStage(const DispPtr& runner) override;
  // Sets the cancelled flag here and on every child. Hook: a stage that runs a tool also aborts it.
  void Stop() override;
  TProcessFlowState FlowState() override { return FFlowState; }
  // True while this object's own ExecuteStage runs, or while any child runs.
  bool IsRunning() override;
  // None unless IsRunning; then this object when it has no children, else the RunningStage of the
  // last child (in order) that runs.
  DispPtr RunningStage() override;
  TFlowRunResult LastRunResult() override { return FLastResult; }
  // Clears the cancelled flag and the last result here and in every child.
  void ClearLastRunResult() override;
  // Hook: stores the project path (a category passes it to every child; tool stages react further).
  void ProjectChanged(const std::string& projectPath) override;
  // Stores the base path and passes it to every child.
  void SetBasePath(const std::string& path) override;
  std::string GetBasePath() override { return FBasePath; }
  // Hooks: no properties to edit, no reports by default.
  bool CanEditProperties() override { return false; }
  void EditProperties() override {}
  int32_t ReportCount() override { return 0; }
  std::string ReportPath(int32_t index) override { return {}; }
  DispPtr GetParentStage() override { return FParent; }
  void SetParentStage(const DispPtr& parent) override { FParent = parent; }
  int32_t GetDependenciesCount() override { return FDependencies.Count(); }
  // The dependency at index (out of range: an error naming the index).
  DispPtr GetDependency(int32_t index) override { return FDependencies.Items(index); }
  void ClearDependencies() override { FDependencies.DeleteAll(); }
  // Appends a dependency (none is ignored). A dependency on itself, or one that would close a cycle
  // of dependencies, is refused with an error naming both objects.
  void AddDependency(const DispPtr& dependency) override;

  // ---- IProcessFlow_Internal ----
  // Hook: the object's own work. A stage runs PerformStage; a category runs its children.
  virtual TFlowRunResult ExecuteStage(const DispPtr& runner, bool WithDependencies, bool WholeStage, bool Force) = 0;
  // Hook: the host project whose path is the project path (workspace 501413); none without a
  // workspace or without a project path.
  virtual IProject GetProject();
  // One step of a run: the up-to-date shortcut (no flag set and the stored state up to date: success
  // without running), else the dependencies, then, unless cancelled, ExecuteStage bracketed by the
  // running flag and the runner's stage-start notice. The result is stored here and on every ancestor.
  virtual TFlowRunResult RunStage(bool Force, bool WholeStage, bool WithDependencies, const DispPtr& runner);
  // Climb to the root (through the parent's dispatch), which runs RootBeginRun / RootEndRun.
  virtual void BeginRun();
  virtual void EndRun();
  // Root of a run: ClearLastRunResult on the whole tree.
  virtual void RootBeginRun();
  // End of a run: an object still marked running failed (its result becomes failure); the flag is
  // cleared here and in every child.
  virtual void RootEndRun();
  // Stores the result here and on every ancestor.
  virtual void SetLastRunResult(TFlowRunResult result);
  // Hooks: whether this object's output exists and when it was last brought up to date.
  virtual bool ThisStage_OutputExists() = 0;
  virtual double ThisStage_DateTimeUpdated() = 0;
  // Runs the dependencies that have not run in this run yet, in the order they were added, while the
  // results are success and the run is not cancelled. Without dependencies of its own an object runs
  // those of its parent.
  virtual TFlowRunResult RunDependencies(bool WithDependencies, const DispPtr& runner);
  // Dependency queries over the direct dependencies (without any: the parent's answer; the root
  // without any answers true, true and 0).
  virtual bool InputsExist();
  virtual double InputsDateTime();
  virtual bool DependenciesUpToDate();
  // Hook (IProcessFlow_CustomEventsOnly): called by the host before a run starts; nothing here.
  virtual void BeforeStart() {}

  // True when a direct dependency of a is b, or a dependency of a depends on b (through dispatch).
  static bool DependsOn(const DispPtr& a, const DispPtr& b);

  static const DispatchTable& internalTable();
  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 protected:
  // ---- message operations (nothing happens without the host's workspace) ----
  // Writes Text to the host's output panel (workspace 501423); an empty Text is written as "---".
  void WriteOutputLine(std::string_view Text);
  // 21 hyphens.
  void WriteSeparator();
  // Posts "Class=..|Text=..|Source=<StageName>|Document=<InputDescription>|CallBackProcess=..|
  // ImageIndex=.." (plus the replace entry of MessageReplaceMode) with CallBackParameters to the
  // workspace's messages manager (508377, then 440). A "|" inside a value would split the entry, so it
  // is written as the broken bar U+00A6.
  void PostMessage(std::string_view Text, std::string_view Class, int32_t ImageIndex, int32_t MessageReplaceMode,
                   std::string_view CallBackProcess, std::string_view CallBackParameters);
  // WriteOutputLine(Text), then for a non-empty Text a message of class "ProcessFlowError" (73),
  // "ProcessFlowWarning" (72), "ProcessFlowInfo" (71) or "ProcessFlowProgress" (71). Info and progress
  // texts also go to status-bar panel 2.
  void PostError(std::string_view Text, int32_t MessageReplaceMode = kMessageReplace_None,
                 std::string_view CallBackProcess = {}, std::string_view CallBackParameters = {});
  void PostWarning(std::string_view Text, int32_t MessageReplaceMode = kMessageReplace_None,
                   std::string_view CallBackProcess = {}, std::string_view CallBackParameters = {});
  void PostInfo(std::string_view Text, int32_t MessageReplaceMode = kMessageReplace_None,
                std::string_view CallBackProcess = {}, std::string_view CallBackParameters = {});
  void PostProgress(std::string_view Text, int32_t MessageReplaceMode = kMessageReplace_None,
                    std::string_view CallBackProcess = {}, std::string_view CallBackParameters = {});

  // The children as counted references, in order (a snapshot: the list may change while it is used).
  std::vector<DispPtr> ChildrenSnapshot();
  // The running entry points share this: flags of RunStage.
  TFlowRunResult RunEntryPoint(const DispPtr& runner, bool Force, bool WholeStage, bool WithDependencies);

  std::string FStageName;
  std::string FStageCaption;
  std::string FStageDescription;
  std::string FBasePath;                 // every file of the object: this path with another extension
  DispPtr FParent;                       // parent category, none at the root
  TAdvancedInterfaceList FDependencies;  // in insertion order
  bool FRunning = false;                 // while the object's own ExecuteStage runs
  bool FCancelled = false;               // set by Stop, cleared by ClearLastRunResult
  TFlowRunResult FLastResult = eFlowRun_DidNotRun;
  TProcessFlowState FFlowState = eFlowState_Missing;
  std::string FProjectPath;

 private:
  bool FInRunStage = false;  // RunStage of this object is under way (a second entry is a cycle)
};

// ---- category ------------------------------------------------------------------------------------

// A flow object with ordered children and no work of its own. Children are kept in dependency order:
// a child is inserted (binary search) after the children it depends on and before those that depend
// on it; unrelated children end up in reverse order of addition.
class TProcessFlowCategory : public TZoltaAbstractProcessFlow {
 public:
  TProcessFlowCategory(std::string AName, std::string ACaption, std::string ADescription, std::string AInputDesc,
                       std::string AOutputDesc);
  ~TProcessFlowCategory() override;

  std::string InputDescription() override { return FInputDesc; }
  std::string OutputDescription() override { return FOutputDesc; }
  // True with at least one child.
  bool CanRun() override { return FChildren.Count() > 0; }
  bool IsCategory() override { return true; }
  // Updates every child, then: up to date when every child that nothing else consumes is up to date
  // (or has no state) and the dependencies are up to date; else missing when such a child is missing;
  // else out of date. Answers whether any child's or this object's state changed.
  bool UpdateFlowState() override;
  void ProjectChanged(const std::string& projectPath) override;
  int32_t GetChildStageCount() override { return FChildren.Count(); }
  DispPtr GetChildStage(int32_t index) override { return FChildren.Items(index); }
  // Sets every child's parent (when it is this category) to none and empties the list.
  void ClearChildren() override;
  // Inserts the child in dependency order and makes this category its parent. None is ignored; the
  // category itself or one of its ancestors is refused.
  void AddChildStage(const DispPtr& child) override;

  // Runs the children in order, each once per run, while the results are success and the run is not
  // cancelled; a child is forced only when Force is set and no other child consumes it.
  TFlowRunResult ExecuteStage(const DispPtr& runner, bool WithDependencies, bool WholeStage, bool Force) override;
  // True when every child's output exists (true without children).
  bool ThisStage_OutputExists() override;
  // The latest of the children's dates; InputsDateTime without children.
  double ThisStage_DateTimeUpdated() override;
  // BeforeStart on every child that supports "ProcessFlow_CustomEventsOnly".
  void BeforeStart() override;

  // True when some child that can run has child among its direct dependencies.
  bool IsConsumed(const DispPtr& child);

 protected:
  TAdvancedInterfaceList FChildren;
  std::string FInputDesc;
  std::string FOutputDesc;
};

// ---- stage -----------------------------------------------------------------------------------------

// A leaf that does work. Subclasses implement PerformStage and the two output hooks
// (ThisStage_OutputExists, ThisStage_DateTimeUpdated); they may override InputDescription,
// OutputDescription (empty here), Stop (abort a running tool after the base behaviour), ProjectChanged,
// GetProject, ReportCount/ReportPath, CanEditProperties/EditProperties and BuildCommandLines.
class TProcessFlowStage : public TZoltaAbstractProcessFlow {
 public:
  TProcessFlowStage(std::string AName, std::string ACaption, std::string ADescription);

  std::string InputDescription() override { return {}; }
  std::string OutputDescription() override { return {}; }
  bool CanRun() override { return true; }
  bool IsCategory() override { return false; }
  // Missing when the output does not exist; else out of date when a dependency is not up to date or
  // an input is missing; else up to date when the output is not older than the newest input, out of
  // date otherwise. Answers whether the state changed.
  bool UpdateFlowState() override;
  int32_t GetChildStageCount() override { return 0; }
  DispPtr GetChildStage(int32_t index) override { return {}; }
  void ClearChildren() override {}
  void AddChildStage(const DispPtr& child) override {}

  // Runs PerformStage; the flags are not used.
  TFlowRunResult ExecuteStage(const DispPtr& runner, bool WithDependencies, bool WholeStage, bool Force) override;

  // Hook: the stage's own work. runner may be empty. A failure may be answered (eFlowRun_Failure) or
  // thrown; a throw leaves the stage marked running until the end of the run marks it failed.
  virtual TFlowRunResult PerformStage(const DispPtr& runner) = 0;
  // The device driver of the stage; none here.
  virtual DispPtr Driver() { return {}; }
  // The installed vendor-tool version for the stage's driver; empty here.
  virtual std::string VendorToolVersion() { return {}; }
  // Hook: fills the command-file lines (Cmd) and the argument lines (Scr) of the stage's tool, each
  // when given, and tells whether they are read-only. Here: ReadOnly true, nothing built, false.
  virtual bool BuildCommandLines(std::vector<std::string>* Cmd, std::vector<std::string>* Scr, bool& ReadOnly);
};

// A stage of a device driver. The driver is held as a plain (not counted) reference: it outlives its
// stages.
class TFlowStage_WithDriver : public TProcessFlowStage {
 public:
  TFlowStage_WithDriver(IDispatch* ADriver, std::string AName, std::string ACaption, std::string ADescription);

  DispPtr Driver() override { return DispPtr(FDriver); }
  // VendorToolVersion (vendor_tools.h) of the driver's GetVendorName; empty without a driver.
  std::string VendorToolVersion() override;

 protected:
  IDispatch* FDriver;
};

// A new flow object held by a counted reference (flow objects are counted from 0 after construction).
template <class T, class... A>
Ptr<T> MakeFlowObject(A&&... args) {
  return Ptr<T>(new T(std::forward<A>(args)...));
}

}  // namespace zolta
