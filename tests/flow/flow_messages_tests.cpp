#include <gtest/gtest.h>

#include "flow_fakes.h"

namespace zolta::flowtest {
namespace {

TEST(FlowMessages, EachKindWritesTheOutputPostsItsClassAndImage) {
  FakeHost host;
  auto s = MakeFlowObject<TestStage>(host.log, "Fit", ".fit");
  s->input = "/p/top.qsf";
  struct Case {
    void (TestStage::*post)(std::string_view, int32_t, std::string_view, std::string_view);
    int32_t mode;
    std::string params;
    bool status;
  };
  const std::string tail = "|Source=Fit|Document=/p/top.qsf|CallBackProcess=Flow:Open|ImageIndex=";
  const Case cases[] = {
      {&TestStage::PostError, kMessageReplace_None, "Class=ProcessFlowError|Text=T" + tail + "73", false},
      {&TestStage::PostWarning, kMessageReplace_LastOfSameClass,
       "Class=ProcessFlowWarning|Text=T" + tail + "72|ReplaceLastMessageOfSameClass=True", false},
      {&TestStage::PostInfo, kMessageReplace_LastIfSameClass,
       "Class=ProcessFlowInfo|Text=T" + tail + "71|ReplaceLastMessageIfSameClass=True", true},
      {&TestStage::PostProgress, kMessageReplace_None, "Class=ProcessFlowProgress|Text=T" + tail + "71", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.params);
    host.workspace->output.clear();
    host.workspace->messages->posted.clear();
    host.client->gui->commands.clear();
    ((*s).*c.post)("T", c.mode, "Flow:Open", "Line=3");
    EXPECT_EQ(host.workspace->output, std::vector<std::string>{"T"});
    ASSERT_EQ(host.workspace->messages->posted.size(), 1u);
    EXPECT_EQ(host.workspace->messages->posted[0].first, c.params);
    EXPECT_EQ(host.workspace->messages->posted[0].second, "Line=3");
    const std::vector<std::pair<int32_t, std::string>> status =
        c.status ? std::vector<std::pair<int32_t, std::string>>{{2, "T"}} : std::vector<std::pair<int32_t, std::string>>{};
    EXPECT_EQ(host.client->gui->commands, status);
  }
}

TEST(FlowMessages, EmptyTextIsWrittenAsDashesAndNotPosted) {
  FakeHost host;
  auto s = MakeFlowObject<TestStage>(host.log, "Fit", ".fit");
  s->PostError("");
  s->PostInfo("");
  s->WriteSeparator();
  EXPECT_EQ(host.workspace->output, (std::vector<std::string>{"---", "---", "---------------------"}));
  EXPECT_TRUE(host.workspace->messages->posted.empty());
  EXPECT_TRUE(host.client->gui->commands.empty());
}

TEST(FlowMessages, BarInsideAValueCannotSplitTheMessage) {
  FakeHost host;
  auto s = MakeFlowObject<TestStage>(host.log, "Map|1", ".map");
  s->PostWarning("Warning: pin |top|cnt:inst|q stuck");
  ASSERT_EQ(host.workspace->messages->posted.size(), 1u);
  EXPECT_EQ(host.workspace->messages->posted[0].first,
            "Class=ProcessFlowWarning|Text=Warning: pin \xC2\xA6top\xC2\xA6" "cnt:inst\xC2\xA6q stuck|Source=Map\xC2\xA6"
            "1|Document=|CallBackProcess=|ImageIndex=72");
  // The output panel gets the text as it is.
  EXPECT_EQ(host.workspace->output, std::vector<std::string>{"Warning: pin |top|cnt:inst|q stuck"});
}

TEST(FlowMessages, NothingHappensWithoutAWorkspace) {
  ResetHostCaches();
  Log log;
  auto s = MakeFlowObject<TestStage>(log, "Fit", ".fit");
  EXPECT_NO_THROW(s->PostError("E"));
  EXPECT_NO_THROW(s->PostInfo("I"));
  EXPECT_NO_THROW(s->WriteOutputLine("x"));
  EXPECT_FALSE(s->GetProject());
}

}  // namespace
}  // namespace zolta::flowtest
