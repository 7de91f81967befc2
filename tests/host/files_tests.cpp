#include <gtest/gtest.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>

#include "fake_host.h"
#include "zolta/host/files.h"

namespace zolta {
namespace {

using fake::TempDir;

TEST(Paths, ComposeAndSplit) {
  EXPECT_EQ(JoinPath("a/b/", "c"), "a/b/c");
  EXPECT_EQ(JoinPath("a\\b", "\\c\\d"), "a/b/c/d");
  EXPECT_EQ(JoinPath("", "c"), "c");
  EXPECT_EQ(JoinPath("a", ""), "a");
  EXPECT_EQ(ExtractFilePath("C:\\D\\a.SchDoc"), "C:\\D\\");
  EXPECT_EQ(ExtractFilePath("name"), "");
  EXPECT_EQ(ExtractFileDir("/x/y/z.txt"), "/x/y");
  EXPECT_EQ(ExtractFileDir("/z.txt"), "/");
  EXPECT_EQ(ExtractFileName("/x/y\\z.txt"), "z.txt");
  EXPECT_EQ(ExtractFileExt("/x.d/y"), "");
  EXPECT_EQ(ExtractFileExt("/x/y.Fit.Rpt"), ".Rpt");
  EXPECT_EQ(ChangeFileExt("/p.q/top.qpf", ".tcl"), "/p.q/top.tcl");
  EXPECT_EQ(ChangeFileExt("/p.q/top", ".tcl"), "/p.q/top.tcl");
  EXPECT_EQ(ChangeFileExt("top.fit.rpt", ""), "top.fit");
  EXPECT_EQ(IncludeTrailingPathDelimiter("a\\"), "a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("a//"), "a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
}

TEST(Paths, ResolveFileCaseInsensitive) {
  TempDir dir;
  const std::string exact = dir.write("Out/top.FIT.RPT", "x");
  dir.write("Out/other.txt", "y");
  EXPECT_EQ(ResolveFileCaseInsensitive(exact), exact);
  EXPECT_EQ(ResolveFileCaseInsensitive(dir.str() + "Out/top.fit.rpt"), exact);
  EXPECT_EQ(ResolveFileCaseInsensitive(dir.str() + "out\\TOP.Fit.Rpt"), exact);  // folders too, "\" accepted
  EXPECT_EQ(ResolveFileCaseInsensitive(dir.str() + "Out/missing.rpt"), "");
  EXPECT_EQ(ResolveFileCaseInsensitive(dir.str() + "Nope/top.fit.rpt"), "");
  EXPECT_EQ(ResolveFileCaseInsensitive(""), "");
  // An exact match wins over a case-insensitive one.
  const std::string upper = dir.write("Out/TOP.fit.rpt", "z");
  EXPECT_EQ(ResolveFileCaseInsensitive(upper), upper);
  EXPECT_TRUE(FileExists(exact));
  EXPECT_FALSE(FileExists(dir.str() + "Out"));
  EXPECT_TRUE(DirectoryExists(dir.str() + "Out"));
}

TEST(Folders, LocalFoldersKeepCaseAndEndWithSlash) {
  char exe[4096] = {};
  ASSERT_GT(::readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  const std::string exeFolder = ExtractFilePath(exe);
  EXPECT_EQ(GetExeFolder(), exeFolder);
  EXPECT_EQ(GetSystemFolder(), exeFolder + "System/");
  // This library is linked into the test executable, so its module is the executable.
  EXPECT_EQ(GetModuleFolder(), exeFolder);
  EXPECT_EQ(GetLibraryFolder(), exeFolder + "Library/");
}

TEST(Folders, TempFolderAndUniqueTempFiles) {
  TempDir dir;
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", dir.path.c_str(), 1);
  EXPECT_EQ(GetTempFolder(), dir.str());
  EXPECT_EQ(GetTempFolderLong().back(), '/');
  std::set<std::string> names;
  for (int i = 0; i < 5; ++i) {
    const std::string name = GetTempFileName();
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(name.rfind(dir.str() + "Pro", 0), 0u) << name;
    EXPECT_TRUE(FileExists(name));
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 5u);
  ::setenv("TMPDIR", (dir.str() + "missing-folder").c_str(), 1);
  EXPECT_EQ(GetTempFileName(), "");  // failure gives an empty name
  if (old) ::setenv("TMPDIR", saved.c_str(), 1);
  else ::unsetenv("TMPDIR");
}

TEST(LockFiles, NameOfTheLockFile) {
  EXPECT_EQ(LockFileNameOf("C:\\D\\a.SchDoc"), "C:\\D\\~$a.SchDoc_loc");
  EXPECT_EQ(LockFileNameOf("/d/a.SchDoc"), "/d/~$a.SchDoc_loc");
  EXPECT_EQ(LockFileNameOf("a.SchDoc"), "~$a.SchDoc_loc");
}

TEST(LockFiles, OwnershipDecidesWhetherAnotherHoldsTheLock) {
  TempDir dir;
  const std::string doc = dir.write("a.SchDoc", "doc");
  const std::string me = ThisComputerName(), user = ThisUserName(), pid = ThisProcessID();
  ASSERT_FALSE(pid.empty());
  struct Case {
    const char* what;
    std::string content;  // empty: no lock file
    bool locked;
  };
  const Case cases[] = {
      {"no lock file", "", false},
      {"this process", "ComputerName=" + me + "\nUserName=" + user + "\nProcessID=" + pid + "\n", false},
      {"this process, other case, CRLF",
       "ComputerName=" + zabi::upperAscii(me) + "\r\nUserName=" + zabi::upperAscii(user) + "\r\nProcessID=" + pid +
           "\r\n",
       false},
      {"another process", "ComputerName=" + me + "\nUserName=" + user + "\nProcessID=999999999\n", true},
      {"another user", "ComputerName=" + me + "\nUserName=someone\nProcessID=" + pid + "\n", true},
      {"without a process line", "ComputerName=far\nUserName=someone\n", false},
      {"empty value", "ComputerName=\nUserName=someone\nProcessID=1\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(LockFileNameOf(doc).c_str());
    if (!c.content.empty()) std::ofstream(LockFileNameOf(doc), std::ios::binary) << c.content;
    std::string computer = "?", name = "?";
    EXPECT_EQ(IsFileLockedByOther(doc, computer, name), c.locked);
    TFileOwnershipDetails d;
    const bool complete = ReadFileOwnership(doc, d);
    if (complete) {
      EXPECT_EQ(computer, d.ComputerName);
      EXPECT_EQ(name, d.UserName);
    }
  }
  std::ofstream(LockFileNameOf(doc), std::ios::binary) << "ComputerName=far\nUserName=bob\nProcessID=12\n";
  TFileOwnershipDetails d;
  ASSERT_TRUE(ReadFileOwnership(doc, d));
  EXPECT_EQ(d.ComputerName, "far");
  EXPECT_EQ(d.UserName, "bob");
  EXPECT_EQ(d.ProcessID, "12");
}

TEST(LockFiles, AnUnreadableLockCountsAsLocked) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  TempDir dir;
  const std::string doc = dir.write("b.PcbDoc", "doc");
  std::ofstream(LockFileNameOf(doc)) << "ComputerName=x\nUserName=y\nProcessID=1\n";
  ::chmod(LockFileNameOf(doc).c_str(), 0);
  std::string computer, user;
  EXPECT_TRUE(IsFileLockedByOther(doc, computer, user));
}

TEST(Modules, LoadHostModuleTakesAnAlreadyLoadedModule) {
  void* handle = nullptr;
  ASSERT_TRUE(LoadHostModule(handle, "libc.so.6"));
  EXPECT_NE(handle, nullptr);
  void* same = handle;
  EXPECT_TRUE(LoadHostModule(handle, "anything"));  // a set handle is kept
  EXPECT_EQ(handle, same);
  void* none = nullptr;
  EXPECT_FALSE(LoadHostModule(none, "libZoltaNoSuchModule.so"));
  EXPECT_EQ(none, nullptr);
}

}  // namespace
}  // namespace zolta
