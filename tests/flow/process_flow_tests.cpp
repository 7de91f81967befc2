#include <gtest/gtest.h>

#include <stdexcept>

#include "flow_fakes.h"

namespace zolta::flowtest {
namespace {

using zabi::invoke;

class Flow : public ::testing::Test {
 protected:
  FakeHost host;
  TempDir dir;
  Log& log = host.log;
  std::vector<DispPtr> trees;  // roots whose parent/child cycles are broken at the end

  ~Flow() override {
    for (auto& t : trees) invoke(t, flowid::ClearChildren);
  }

  Ptr<TestStage> stage(const std::string& name, const std::string& ext) {
    return MakeFlowObject<TestStage>(log, name, ext);
  }
  Ptr<TProcessFlowCategory> category(const std::string& name) {
    auto c = MakeFlowObject<TProcessFlowCategory>(name, name, name + " category", "in", "out");
    trees.push_back(DispPtr(c));
    return c;
  }
  static void depends(const DispPtr& a, const DispPtr& b) { invoke(a, flowid::AddDependency, b); }
  static void add(const DispPtr& cat, const DispPtr& child) { invoke(cat, flowid::AddChildStage, child); }
  int32_t run(const DispPtr& flow, DispId entry) { return invoke(flow, entry, host.runnerRef).toInt32(); }
  static int32_t result(const DispPtr& flow) { return invoke(flow, flowid::LastRunResult).toInt32(); }
  static int32_t state(const DispPtr& flow) { return invoke(flow, flowid::FlowState).toInt32(); }
  std::vector<std::string> children(const DispPtr& cat) {
    std::vector<std::string> names;
    const int32_t n = invoke(cat, flowid::GetChildStageCount).toInt32();
    for (int32_t i = 0; i < n; ++i) names.push_back(nameOf(invoke(cat, flowid::GetChildStage, i).toDispatch()));
    return names;
  }
  // Runs the framework's "ClearChildren on destruction" only through its own release; base path for files.
  void base(const DispPtr& flow) { invoke(flow, flowid::SetBasePath, dir.file("design.prj")); }
};

TEST_F(Flow, AnswersItsServicesAndIdentifiersThroughDispatch) {
  auto s = stage("Map", ".map");
  DispPtr d(s);
  for (const char* name : {"ProcessFlow", "processflow_internal", "PROCESSFLOW_CUSTOMEVENTSONLY"})
    EXPECT_TRUE(invoke(d, 1023, name).toBool()) << name;
  EXPECT_FALSE(invoke(d, 1023, "ZoltaDriver").toBool());

  EXPECT_EQ(invoke(d, flowid::StageName).toString(), "Map");
  EXPECT_EQ(invoke(d, flowid::StageCaption).toString(), "&Map");
  EXPECT_EQ(invoke(d, flowid::StageDescription).toString(), "Map stage");
  EXPECT_TRUE(invoke(d, flowid::CanRun).toBool());
  EXPECT_FALSE(invoke(d, flowid::IsCategory).toBool());
  EXPECT_FALSE(invoke(d, flowid::CanEditProperties).toBool());
  EXPECT_EQ(invoke(d, flowid::ReportCount).toInt32(), 0);
  EXPECT_EQ(state(d), eFlowState_Missing);
  EXPECT_EQ(result(d), eFlowRun_DidNotRun);
  EXPECT_FALSE(invoke(d, flowid::GetChildStage, 0).toDispatch());
  invoke(d, flowid::SetBasePath, "/x/design.qpf");
  EXPECT_EQ(invoke(d, flowid::GetBasePath).toString(), "/x/design.qpf");

  zabi::Var r;
  std::string msg;
  EXPECT_EQ(zabi::tryInvoke(d.get(), 1, &r, &msg), zabi::kNotImpl);
  EXPECT_EQ(zabi::tryInvoke(d.get(), flowid::SetLastRunResult, &r, &msg, 9), zabi::kDispException);
  EXPECT_NE(msg.find("9 is not a flow run result"), std::string::npos) << msg;
  EXPECT_EQ(zabi::tryInvoke(d.get(), flowid::GetDependency, &r, &msg, 0), zabi::kDispException);

  auto c = category("Build");
  EXPECT_FALSE(invoke(c, flowid::CanRun).toBool());
  EXPECT_TRUE(invoke(c, flowid::IsCategory).toBool());
  add(c, d);
  EXPECT_TRUE(invoke(c, flowid::CanRun).toBool());
  EXPECT_EQ(invoke(d, flowid::GetParentStage).toDispatch(), DispPtr(c));
  EXPECT_EQ(invoke(c, flowid::InputDescription).toString(), "in");
  EXPECT_EQ(invoke(c, flowid::OutputDescription).toString(), "out");
}

TEST_F(Flow, EntryPointsBracketTheRunAndPassTheirFlags) {
  struct Case {
    DispId entry;
    bool runs;  // the stage's state is up to date: only a flag makes it run
  };
  for (const Case& c : {Case{flowid::Run, true}, Case{flowid::RunIfOutOfDate, false}, Case{flowid::RunAll, true},
                        Case{flowid::RunWholeStage, true}}) {
    SCOPED_TRACE(c.entry);
    log.clear();
    auto s = stage("Fit", ".fit");
    base(DispPtr(s));
    s->SetState(eFlowState_UpToDate);
    EXPECT_EQ(run(DispPtr(s), c.entry), eFlowRun_Success);
    const Log expected = c.runs ? Log{"runner.begin", "runner.start Fit", "run Fit", "runner.end"}
                                : Log{"runner.begin", "runner.end"};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(result(DispPtr(s)), eFlowRun_Success);
    EXPECT_FALSE(invoke(s, flowid::IsRunning).toBool());
  }
  // Without a runner the run still happens.
  log.clear();
  auto s = stage("Asm", ".sof");
  base(DispPtr(s));
  EXPECT_EQ(invoke(s, flowid::Run, DispPtr()).toInt32(), eFlowRun_Success);
  EXPECT_EQ(log, Log{"run Asm"});
}

TEST_F(Flow, UpToDateStageSucceedsWithoutRunningAndSetsEveryAncestor) {
  auto root = category("Root");
  auto build = category("Build");
  auto s = stage("Map", ".map");
  add(root, build);
  add(build, s);
  base(root);
  s->SetState(eFlowState_UpToDate);
  EXPECT_EQ(run(DispPtr(s), flowid::RunIfOutOfDate), eFlowRun_Success);
  EXPECT_EQ(log, (Log{"runner.begin", "runner.end"}));
  for (DispPtr f : {DispPtr(s), DispPtr(build), DispPtr(root)}) EXPECT_EQ(result(f), eFlowRun_Success) << nameOf(f);
}

TEST_F(Flow, ChildrenAreKeptInDependencyOrder) {
  auto chain = category("Build");
  auto translate = stage("Translate", ".tr"), map = stage("Map", ".map"), fit = stage("Fit", ".fit");
  depends(map, translate);
  depends(fit, map);
  for (DispPtr s : {DispPtr(translate), DispPtr(map), DispPtr(fit)}) add(chain, s);
  EXPECT_EQ(children(chain), (std::vector<std::string>{"Translate", "Map", "Fit"}));

  auto reversed = category("Reversed");  // a chain added backwards still comes out in order
  for (DispPtr s : {DispPtr(fit), DispPtr(map), DispPtr(translate)}) add(reversed, s);
  EXPECT_EQ(children(reversed), (std::vector<std::string>{"Translate", "Map", "Fit"}));

  auto loose = category("Loose");
  add(loose, stage("A", ".a"));
  add(loose, stage("B", ".b"));
  EXPECT_EQ(children(loose), (std::vector<std::string>{"B", "A"}));
}

TEST_F(Flow, CategoryRunForcesOnlyChildrenThatNothingConsumes) {
  auto build = category("Build");
  auto translate = stage("Translate", ".tr"), map = stage("Map", ".map");
  depends(map, translate);
  add(build, translate);
  add(build, map);
  base(build);
  translate->SetState(eFlowState_UpToDate);
  map->SetState(eFlowState_UpToDate);
  EXPECT_EQ(run(build, flowid::Run), eFlowRun_Success);
  EXPECT_EQ(log, (Log{"runner.begin", "runner.start Build", "runner.start Map", "run Map", "runner.end"}));
  EXPECT_EQ(result(translate), eFlowRun_Success);

  // RunAll forces everything, and a dependency shared by two stages runs once.
  auto shared = category("Shared");
  auto d = stage("D", ".d"), x = stage("X", ".x"), y = stage("Y", ".y");
  depends(x, d);
  depends(y, d);
  for (DispPtr s : {DispPtr(d), DispPtr(x), DispPtr(y)}) add(shared, s);
  base(shared);
  log.clear();
  EXPECT_EQ(invoke(shared, flowid::RunAll, DispPtr()).toInt32(), eFlowRun_Success);
  EXPECT_EQ(log, (Log{"run D", "run Y", "run X"}));  // unrelated X and Y: reverse order of addition
}

TEST_F(Flow, StageWithoutDependenciesRunsThoseOfItsCategory) {
  auto outer = category("Outer");
  auto prep = stage("Prep", ".prep");
  auto build = category("Build");
  auto s = stage("Map", ".map");
  add(outer, prep);
  add(outer, build);
  add(build, s);
  depends(build, prep);
  base(outer);
  EXPECT_EQ(run(s, flowid::Run), eFlowRun_Success);
  EXPECT_EQ(log, (Log{"runner.begin", "runner.start Prep", "run Prep", "runner.start Map", "run Map", "runner.end"}));
  EXPECT_EQ(result(prep), eFlowRun_Success);
}

TEST_F(Flow, FailedDependencyStopsTheRunBeforeTheStage) {
  auto build = category("Build");
  auto a = stage("A", ".a"), b = stage("B", ".b");
  depends(b, a);
  add(build, a);
  add(build, b);
  base(build);
  a->action = [](TestStage&) { return eFlowRun_Failure; };
  EXPECT_EQ(run(b, flowid::Run), eFlowRun_Failure);
  EXPECT_EQ(result(a), eFlowRun_Failure);
  EXPECT_EQ(result(b), eFlowRun_DidNotRun);
  EXPECT_EQ(result(build), eFlowRun_Failure);  // the root holds the result of the stage that ran last
}

TEST_F(Flow, FlowStateFollowsFileExistenceAndDates) {
  auto build = category("Build");
  auto a = stage("A", ".a"), b = stage("B", ".b");
  depends(b, a);
  add(build, a);
  add(build, b);
  base(build);
  const std::string fa = dir.file("design.a"), fb = dir.file("design.b");
  struct Case {
    const char* what;
    int ageA, ageB;  // seconds ago; -1: no file
    TProcessFlowState stateB;
  };
  const Case cases[] = {
      {"output missing, inputs newer", 10, -1, eFlowState_Missing},
      {"output missing, input missing", -1, -1, eFlowState_Missing},
      {"output newer than input", 20, 10, eFlowState_UpToDate},
      {"output older than input", 10, 20, eFlowState_OutOfDate},
      {"input missing", -1, 10, eFlowState_OutOfDate},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(fa);
    std::filesystem::remove(fb);
    if (c.ageA >= 0) age(dir.write("design.a", "a"), c.ageA);
    if (c.ageB >= 0) age(dir.write("design.b", "b"), c.ageB);
    invoke(build, flowid::UpdateFlowState);
    EXPECT_EQ(state(b), c.stateB);
  }
  // The category: up to date when its unconsumed child (B) is; missing when B's output is missing.
  age(dir.write("design.a", "a"), 20);
  age(dir.write("design.b", "b"), 10);
  invoke(build, flowid::UpdateFlowState);
  EXPECT_EQ(state(a), eFlowState_UpToDate);
  EXPECT_EQ(state(build), eFlowState_UpToDate);
  EXPECT_FALSE(invoke(build, flowid::UpdateFlowState).toBool());  // nothing changed
  std::filesystem::remove(fb);
  EXPECT_TRUE(invoke(build, flowid::UpdateFlowState).toBool());
  EXPECT_EQ(state(build), eFlowState_Missing);
  age(dir.write("design.b", "b"), 30);
  invoke(build, flowid::UpdateFlowState);
  EXPECT_EQ(state(build), eFlowState_OutOfDate);

  // The category's own dates and existence come from its children.
  EXPECT_TRUE(invoke(build, flowid::ThisStage_OutputExists).toBool());
  EXPECT_DOUBLE_EQ(invoke(build, flowid::ThisStage_DateTimeUpdated).toDouble(), FileDateTime(fa));
  EXPECT_DOUBLE_EQ(invoke(b, flowid::InputsDateTime).toDouble(), FileDateTime(fa));
}

TEST_F(Flow, RunningStageIsTheStageAtWork) {
  auto root = category("Root");
  auto build = category("Build");
  auto a = stage("A", ".a"), b = stage("B", ".b");
  add(root, build);
  add(build, a);
  add(build, b);  // order: B, A
  base(root);
  EXPECT_FALSE(invoke(root, flowid::RunningStage).toDispatch());
  std::string seenFromRoot;
  bool categoryRunning = false;
  a->action = [&](TestStage&) {
    seenFromRoot = nameOf(invoke(root, flowid::RunningStage).toDispatch());
    categoryRunning = invoke(build, flowid::IsRunning).toBool();
    return eFlowRun_Success;
  };
  EXPECT_EQ(run(root, flowid::RunAll), eFlowRun_Success);
  EXPECT_EQ(seenFromRoot, "A");
  EXPECT_TRUE(categoryRunning);
  EXPECT_FALSE(invoke(root, flowid::IsRunning).toBool());
  EXPECT_FALSE(invoke(root, flowid::RunningStage).toDispatch());
}

TEST_F(Flow, StopDuringACategoryRunLeavesTheNextChildUnstarted) {
  auto build = category("Build");
  auto a = stage("A", ".a"), b = stage("B", ".b");
  depends(b, a);
  add(build, a);
  add(build, b);
  base(build);
  // The host calls Stop while A works (as it would through the event pump).
  a->action = [&](TestStage&) {
    invoke(build, flowid::Stop);
    return eFlowRun_Success;
  };
  EXPECT_EQ(run(build, flowid::RunAll), eFlowRun_Success);
  EXPECT_EQ(log, (Log{"runner.begin", "runner.start Build", "runner.start A", "run A", "runner.end"}));
  EXPECT_EQ(result(b), eFlowRun_DidNotRun);
  EXPECT_TRUE(b->Cancelled());

  // A stop while a dependency works: the stage that was about to start yields cancelled.
  log.clear();
  EXPECT_EQ(run(b, flowid::Run), eFlowRun_Cancelled);
  EXPECT_EQ(log, (Log{"runner.begin", "runner.start A", "run A", "runner.end"}));
  EXPECT_EQ(result(b), eFlowRun_Cancelled);
  EXPECT_EQ(result(build), eFlowRun_Cancelled);

  // The next run clears the flag.
  a->action = nullptr;
  log.clear();
  EXPECT_EQ(run(b, flowid::Run), eFlowRun_Success);
  EXPECT_FALSE(b->Cancelled());
}

TEST_F(Flow, FailureInsideAStageEndsTheRunAndMarksTheStageFailed) {
  auto build = category("Build");
  auto a = stage("A", ".a"), b = stage("B", ".b");
  depends(b, a);
  add(build, a);
  add(build, b);
  base(build);
  a->action = [](TestStage&) -> TFlowRunResult { throw std::runtime_error("tool crashed on design.a"); };
  zabi::Var r;
  std::string msg;
  EXPECT_EQ(zabi::tryInvoke(DispPtr(build).get(), flowid::RunAll, &r, &msg, host.runnerRef), zabi::kDispException);
  EXPECT_NE(msg.find("tool crashed on design.a"), std::string::npos) << msg;
  EXPECT_EQ(log.back(), "runner.end");
  EXPECT_EQ(result(a), eFlowRun_Failure);
  EXPECT_EQ(result(build), eFlowRun_Failure);
  EXPECT_EQ(result(b), eFlowRun_DidNotRun);
  EXPECT_FALSE(invoke(build, flowid::IsRunning).toBool());
}

TEST_F(Flow, CyclesAreRefusedInsteadOfRecursingWithoutEnd) {
  auto a = stage("A", ".a"), b = stage("B", ".b"), c = stage("C", ".c");
  zabi::Var r;
  std::string msg;
  EXPECT_EQ(zabi::tryInvoke(DispPtr(a).get(), flowid::AddDependency, &r, &msg, DispPtr(a)), zabi::kDispException);
  EXPECT_NE(msg.find("'A' cannot depend on itself"), std::string::npos) << msg;
  depends(b, a);
  depends(c, b);
  EXPECT_EQ(zabi::tryInvoke(DispPtr(a).get(), flowid::AddDependency, &r, &msg, DispPtr(c)), zabi::kDispException);
  EXPECT_NE(msg.find("cycle"), std::string::npos) << msg;
  EXPECT_EQ(invoke(a, flowid::GetDependenciesCount).toInt32(), 0);

  auto outer = category("Outer");
  auto inner = category("Inner");
  add(outer, inner);
  EXPECT_EQ(zabi::tryInvoke(DispPtr(inner).get(), flowid::AddChildStage, &r, &msg, DispPtr(outer)), zabi::kDispException);
  EXPECT_NE(msg.find("'Outer' cannot be a child of 'Inner'"), std::string::npos) << msg;

  // A category that depends on its own child: the child inherits that dependency, which is itself.
  auto loop = category("Loop");
  auto s = stage("S", ".s");
  add(loop, s);
  depends(loop, s);
  base(loop);
  EXPECT_EQ(zabi::tryInvoke(DispPtr(loop).get(), flowid::RunAll, &r, &msg, DispPtr()), zabi::kDispException);
  EXPECT_NE(msg.find("'S' is run again while it runs"), std::string::npos) << msg;
  EXPECT_FALSE(invoke(loop, flowid::IsRunning).toBool());
}

TEST_F(Flow, SecondRunOfARunningTreeIsRefused) {
  auto build = category("Build");
  auto a = stage("A", ".a"), b = stage("B", ".b");
  add(build, a);
  add(build, b);
  base(build);
  std::string refused;
  b->action = [&](TestStage&) {
    zabi::Var r;
    zabi::tryInvoke(DispPtr(a).get(), flowid::Run, &r, &refused, DispPtr());
    return eFlowRun_Success;
  };
  EXPECT_EQ(run(build, flowid::RunAll), eFlowRun_Success);
  EXPECT_NE(refused.find("a run of its flow is under way"), std::string::npos) << refused;
  EXPECT_EQ(log, (Log{"runner.begin", "runner.start Build", "runner.start B", "run B", "runner.start A", "run A",
                      "runner.end"}));
}

TEST_F(Flow, TreeWideCallsReachEveryChild) {
  auto root = category("Root");
  auto build = category("Build");
  auto a = stage("A", ".a");
  add(root, build);
  add(build, a);
  invoke(root, flowid::SetBasePath, "/p/top.qpf");
  EXPECT_EQ(invoke(a, flowid::GetBasePath).toString(), "/p/top.qpf");

  auto project = MakeFlowObject<FakeMessages>();  // any dispatch object stands for the project
  host.workspace->projects["/p/top.PrjFpg"] = DispPtr(project);
  EXPECT_FALSE(a->GetProject());
  invoke(root, flowid::ProjectChanged, "/p/top.PrjFpg");
  EXPECT_EQ(a->GetProject().get(), DispPtr(project).get());

  invoke(root, flowid::BeforeStart);
  EXPECT_EQ(log, Log{"before A"});
  invoke(root, flowid::Stop);
  EXPECT_TRUE(a->Cancelled());
  invoke(root, flowid::ClearLastRunResult);
  EXPECT_FALSE(a->Cancelled());
}

TEST_F(Flow, ClearChildrenBreaksTheParentCycleSoTheTreeIsFreed) {
  bool goneA = false, goneCat = false;
  {
    auto a = stage("A", ".a");
    a->destroyed = &goneA;
    struct Cat : TProcessFlowCategory {
      bool* gone;
      explicit Cat(bool* g) : TProcessFlowCategory("C", "C", "C", "", ""), gone(g) {}
      ~Cat() override { *gone = true; }
    };
    auto c = MakeFlowObject<Cat>(&goneCat);
    add(c, a);
    depends(a, MakeFlowObject<TestStage>(log, "D", ".d"));
    invoke(c, flowid::ClearChildren);
    EXPECT_FALSE(invoke(a, flowid::GetParentStage).toDispatch());
    EXPECT_EQ(invoke(c, flowid::GetChildStageCount).toInt32(), 0);
  }
  EXPECT_TRUE(goneA);
  EXPECT_TRUE(goneCat);
}

class Driver : public TAbstractSupportService {
 public:
  std::string vendor;
  virtual std::string GetVendorName() { return vendor; }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{503407, &op<&Driver::GetVendorName>}};
    static const DispatchTable t = makeTable(&rootTable(), "DeviceInformation", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }
};

TEST_F(Flow, StageWithDriverHoldsAPlainReference) {
  struct S : TFlowStage_WithDriver {
    using TFlowStage_WithDriver::TFlowStage_WithDriver;
    bool ThisStage_OutputExists() override { return false; }
    double ThisStage_DateTimeUpdated() override { return 0; }
    TFlowRunResult PerformStage(const DispPtr&) override { return eFlowRun_Success; }
  };
  auto driver = MakeFlowObject<Driver>();
  driver->vendor = "Acme";  // no tools known for this vendor: no host calls
  const int32_t before = driver->refCount();
  auto s = MakeFlowObject<S>(driver->dispatch(), "Download", "&Download", "Program the device");
  EXPECT_EQ(driver->refCount(), before);
  EXPECT_EQ(s->Driver().get(), driver->dispatch());
  EXPECT_EQ(s->VendorToolVersion(), "");
  auto plain = MakeFlowObject<S>(nullptr, "X", "X", "X");
  EXPECT_FALSE(plain->Driver());
  EXPECT_EQ(plain->VendorToolVersion(), "");
  bool readOnly = false;
  EXPECT_FALSE(plain->BuildCommandLines(nullptr, nullptr, readOnly));
  EXPECT_TRUE(readOnly);
}

}  // namespace
}  // namespace zolta::flowtest
