// Workspace projects: the description file, the options storage file, the project's host objects as
// the build flow reaches them through dispatch, and the process-flow runner.
#include <gtest/gtest.h>

#include <fstream>

#include "test_support.h"
#include "zolta/host_ids.h"
#include "zolta/hostapp/flow_runner.h"
#include "zolta/hostapp/project.h"

namespace zolta::hostapp::test {
namespace {

namespace h = zabi::host;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(ProjectDescription, ReadsTheFileOrTheFolderWithDefaultsAndAbsolutePaths) {
  TempFolder f;
  f.write("top.edf", "(edif top)");
  f.write("pins.tcl", "");
  f.write("top.zproj", R"({"device": " EP2AGZ225FF35C3 ", "constraints": ["pins.tcl"], "userId": "0x1234\u00e9"})");
  const ProjectDescription d = readProjectDescription(f.path());
  EXPECT_EQ(d.file, f.path() + "/top.zproj");
  EXPECT_EQ(d.name, "top");
  EXPECT_EQ(d.device, "EP2AGZ225FF35C3");
  EXPECT_EQ(d.netlist, f.path() + "/top.edf");
  EXPECT_EQ(d.basePath(), f.path() + "/top.edf");
  EXPECT_EQ(d.constraints, std::vector<std::string>{f.path() + "/pins.tcl"});
  EXPECT_EQ(d.synthesizer, kDefaultSynthesizer);
  EXPECT_EQ(d.userId, "0x1234\xC3\xA9");
  EXPECT_EQ(d.optionsFile(), f.path() + "/top.zopt");

  // The netlist is found whatever the letter case of its name.
  TempFolder g;
  g.write("TOP.EDF", "");
  g.write("top.zproj", R"({"device": "X"})");
  EXPECT_EQ(readProjectDescription(g.path() + "/top.zproj").netlist, g.path() + "/TOP.EDF");
}

TEST(ProjectDescription, FaultsNameTheFileAndWhatIsWrong) {
  struct Case {
    std::string json;
    std::string message;
  } cases[] = {
      {"", "unexpected end of text at offset 0"},
      {"[1, 2]", "not a JSON object"},
      {R"({"device": "X",})", "expected a member name"},
      {R"({"device": "X"} x)", "text after the end of the value"},
      {R"({"device": 5})", "\"device\" must be a string"},
      {R"({"netlist": "top.edf"})", "no \"device\" given"},
      {R"({"device": "X", "netlist": "other.edf"})", "must be named after the design ('top.edf')"},
      {R"({"device": "X", "constraints": "pins.tcl"})", "\"constraints\" must be a list of file names"},
      {R"({"device": "X", "constraints": ["gone.tcl"]})", "the constraint file '"},
      {R"({"device": "X", "synthesizer": "a\qb"})", "unknown escape"},
  };
  for (const Case& k : cases) {
    TempFolder f;
    f.write("top.edf", "");
    f.write("top.zproj", k.json);
    try {
      readProjectDescription(f.path());
      ADD_FAILURE() << "accepted: " << k.json;
    } catch (const std::runtime_error& e) {
      EXPECT_TRUE(contains(e.what(), f.path() + "/top.zproj")) << e.what();
      EXPECT_TRUE(contains(e.what(), k.message)) << k.json << " -> " << e.what();
    }
  }
  TempFolder none;
  EXPECT_THROW(readProjectDescription(none.path()), std::runtime_error);
  none.write("a.zproj", "{}");
  none.write("b.zproj", "{}");
  try {
    readProjectDescription(none.path());
    ADD_FAILURE();
  } catch (const std::runtime_error& e) {
    EXPECT_TRUE(contains(e.what(), "more than one project description")) << e.what();
  }
  TempFolder missing;
  missing.write("top.zproj", R"({"device": "X"})");
  EXPECT_THROW(readProjectDescription(missing.path()), std::runtime_error);  // no top.edf
}

TEST(OptionsFile, KeepsSectionsKeysAndAwkwardValuesAcrossReloads) {
  TempFolder f;
  const std::string path = f.path() + "/top.zopt";
  {
    OptionsFile o(path);
    o.write("Translate DesignQuartus_sh", "Fitter Seed", "7");
    o.write("Odd]Section", "key=with=equals", "line one\nline two \\ backslash = sign");
    o.write("translate designquartus_sh", "FITTER SEED", "8");  // same entry, other letter case
    o.write("Translate DesignQuartus_sh", "[bracketed", "x");
  }
  OptionsFile again(path);
  EXPECT_EQ(again.read("TRANSLATE DESIGNQUARTUS_SH", "fitter seed", "-"), "8");
  EXPECT_EQ(again.read("Odd]Section", "key=with=equals", "-"), "line one\nline two \\ backslash = sign");
  EXPECT_EQ(again.read("Translate DesignQuartus_sh", "[bracketed", "-"), "x");
  EXPECT_EQ(again.read("Nope", "Fitter Seed", "fallback"), "fallback");
  EXPECT_EQ(again.section("Translate DesignQuartus_sh").size(), 2u);

  again.remove("Translate DesignQuartus_sh", "Fitter Seed");
  again.remove("Nope", "x");  // nothing to remove: no error
  EXPECT_EQ(OptionsFile(path).read("Translate DesignQuartus_sh", "Fitter Seed", "gone"), "gone");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

  f.write("bad.zopt", "[Section]\nno equals sign here\n");
  try {
    OptionsFile bad(f.path() + "/bad.zopt");
    ADD_FAILURE();
  } catch (const std::runtime_error& e) {
    EXPECT_TRUE(contains(e.what(), "bad.zopt', line 2: no '=' in the line")) << e.what();
  }
}

TEST(WorkspaceProjects, TheFlowReachesProjectDocumentsStorageAndSynthesizerThroughDispatch) {
  TempFolder root;
  TempFolder f;
  f.write("top.edf", "");
  f.write("pins.tcl", "");
  f.write("top.zproj", R"({"device": "X", "constraints": ["pins.tcl"], "synthesizer": "Altera Quartus II", "userId": "$AB"})");
  Host host(testOptions(root, root.path() + "/plugins"));
  const ProjectDescription d = readProjectDescription(f.path());
  Ptr<TProject> opened = host.workspace()->openProject(d);
  EXPECT_EQ(host.workspace()->openProject(d).get(), opened.get());  // the same description: the same project

  DispPtr ws = host.workspace();
  EXPECT_FALSE(zabi::invoke(ws, h::Workspace_GetProjectByPath, f.path() + "/other.zproj").toDispatch());
  DispPtr project = zabi::invoke(ws, h::Workspace_GetProjectByPath, d.file).toDispatch();
  ASSERT_TRUE(project);
  EXPECT_EQ(zabi::invoke(project, h::Project_GetFileName).toString(), d.file);
  EXPECT_EQ(zabi::invoke(project, h::Project_GetUserID).toString(), "$AB");
  EXPECT_FALSE(zabi::invoke(project, h::Project_GetAssociatedProject).toDispatch());
  ASSERT_EQ(zabi::invoke(project, h::Project_GetDocumentCount).toInt32(), 2);
  DispPtr second = zabi::invoke(project, h::Project_GetDocument, 1).toDispatch();
  EXPECT_EQ(zabi::invoke(second, h::Document_GetFileName).toString(), f.path() + "/pins.tcl");
  try {
    zabi::invoke(project, h::Project_GetDocument, 2);
    ADD_FAILURE();
  } catch (const zabi::DispatchError& e) {
    EXPECT_TRUE(contains(e.what(), "no document 2")) << e.what();
  }

  // The options storage writes through to the project's options file.
  DispPtr storage = zabi::invoke(project, h::Project_GetOptionsStorage).toDispatch();
  zabi::invoke(storage, h::OptionsStorage_WriteValue, "S", "K", "V");
  EXPECT_EQ(zabi::invoke(storage, h::OptionsStorage_ReadValue, "s", "k", "d").toString(), "V");
  EXPECT_TRUE(contains(slurp(d.optionsFile()), "[S]\nK=V\n"));
  zabi::invoke(storage, h::OptionsStorage_RemoveKey, "S", "K");
  EXPECT_EQ(zabi::invoke(storage, h::OptionsStorage_ReadValue, "S", "K", "d").toString(), "d");

  // The synthesizer of the project, through the FPGA flow module; a foreign object is refused.
  DispPtr module = zabi::invoke(host.client(), h::Client_GetServerModuleByName, "FPGAFlow").toDispatch();
  DispPtr synthesizers = zabi::invoke(module, h::FPGAFlowModule_GetSynthesizerManager).toDispatch();
  EXPECT_EQ(zabi::invoke(synthesizers, h::SynthesizerManager_GetSynthesizerName, project).toString(), "Altera Quartus II");
  EXPECT_THROW(zabi::invoke(synthesizers, h::SynthesizerManager_GetSynthesizerName, ws), zabi::DispatchError);
}

TEST(FlowRunner, NotesRunsStagesAndReportItems) {
  TempFolder root;
  Host host(testOptions(root, root.path() + "/plugins"));
  Ptr<TProcessFlowRunner> runner(new TProcessFlowRunner(host.workspace()->link()));
  std::vector<std::string> events;
  runner->onRunBegin = [&] { events.push_back("begin"); };
  runner->onRunEnd = [&] { events.push_back("end"); };
  runner->onStageStarting = [&](const std::string& name, const DispPtr&) { events.push_back("stage " + name); };
  runner->onReportItem = [&](const FlowReportItem& i) { events.push_back(i.section + "/" + i.name + "=" + i.value); };
  DispPtr r = runner->dispatchPtr();
  zabi::invoke(r, h::ProcessFlowRunner_RunBegin);
  EXPECT_TRUE(runner->running());
  zabi::invoke(r, h::ProcessFlowRunner_StageStarting, host.workspace()->dispatchPtr());  // answers no name
  zabi::invoke(r, h::ProcessFlowRunner_AddReportItem, "Sec", "Name", "42", "/x.rpt");
  zabi::invoke(r, h::ProcessFlowRunner_RunEnd);
  EXPECT_EQ(events, (std::vector<std::string>{"begin", "stage ?", "Sec/Name=42", "end"}));
  ASSERT_EQ(runner->reportItems().size(), 1u);
  EXPECT_EQ(runner->reportItems()[0].reportFile, "/x.rpt");
  EXPECT_THROW(zabi::invoke(r, h::ProcessFlowRunner_RunEnd), zabi::DispatchError);
}

TEST(HostDevice, DescribesItselfWithItsChainIndex) {
  TempFolder root;
  Host host(testOptions(root, root.path() + "/plugins"));
  Ptr<THostDevice> onChain(new THostDevice(host.workspace()->link(), "EP2AGZ225FF35C3", {}, 1));
  Ptr<THostDevice> alone(new THostDevice(host.workspace()->link(), "EP2AGZ225FF35C3", {}, -1));
  EXPECT_EQ(zabi::invoke(onChain->dispatchPtr(), h::ZoltaDevice_GetDescription).toString(),
            "EP2AGZ225FF35C3 at JTAG chain index 1");
  EXPECT_EQ(zabi::invoke(alone->dispatchPtr(), h::ZoltaDevice_GetDescription).toString(), "EP2AGZ225FF35C3");
}

TEST(HostTables, TheFlowSideTablesAreSortedByIdentifier) {
  const DispatchTable* tables[] = {&TProject::table(), &TOptionsStorage::table(), &TSynthesizerManager::table(),
                                   &TProcessFlowRunner::table(), &TWorkspace::table(), &TDocument::table(),
                                   &THostDevice::table(), &TFPGAFlowModule::table()};
  for (const DispatchTable* t : tables) {
    SCOPED_TRACE(std::string(t->serviceName));
    for (size_t i = 1; i < t->count; ++i) EXPECT_LT(t->entries[i - 1].id, t->entries[i].id);
  }
}

}  // namespace
}  // namespace zolta::hostapp::test
