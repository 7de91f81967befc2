// The `zolta` command: global options, the command table and the context every command runs in.
//
// Exit codes: 0 success, 1 failure, 2 usage error. Messages for people go to stderr as "zolta: ...".
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "zolta/hostapp/host.h"

namespace zolta::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct GlobalOptions {
  std::optional<std::string> pluginFolder;   // --plugins DIR
  std::optional<std::string> quartusFolder;  // --quartus DIR
  bool json = false;                         // --json
  bool help = false;                         // --help, -h
  bool version = false;                      // --version
};

class Context {
 public:
  Context(GlobalOptions options, std::ostream& out, std::ostream& err);
  ~Context();

  const GlobalOptions& options() const { return options_; }
  std::ostream& out() { return out_; }
  std::ostream& err() { return err_; }

  // The host, created on first use with its plug-ins loaded; problems met on the way are printed as
  // warnings on stderr.
  hostapp::Host& host();

  // Prints "zolta: <message>" and a hint to stderr; answers kExitUsage.
  int usageError(const std::string& message);
  // Prints "zolta: <message>" to stderr; answers kExitFailure.
  int failure(const std::string& message);

 private:
  GlobalOptions options_;
  std::ostream& out_;
  std::ostream& err_;
  std::unique_ptr<hostapp::ProgressListener> progress_;
  std::unique_ptr<hostapp::Host> host_;
};

// One row of the command table.
struct Command {
  const char* name;
  const char* arguments;  // shown after the name in the usage text
  const char* summary;
  int (*run)(Context& context, const std::vector<std::string>& args);
  const char* details = nullptr;  // further lines of the command's help, each ending in a line break
};

std::span<const Command> commandTable();

// Parses the command line. Answers kExitOk with the command name and its own arguments (options that
// are not global stay in `args` for the command), or kExitUsage with a message in `error`.
int parseCommandLine(const std::vector<std::string>& argv, GlobalOptions& options, std::string& command,
                     std::vector<std::string>& args, std::string& error);

int runMain(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err);

void printUsage(std::ostream& out);
void printCommandUsage(std::ostream& out, const Command& command);

// ---- commands ----------------------------------------------------------------------------------
int runDevices(Context& context, const std::vector<std::string>& args);
int runInfo(Context& context, const std::vector<std::string>& args);
int runBsdl(Context& context, const std::vector<std::string>& args);
int runChain(Context& context, const std::vector<std::string>& args);
int runStatus(Context& context, const std::vector<std::string>& args);
int runUserCode(Context& context, const std::vector<std::string>& args);
int runReset(Context& context, const std::vector<std::string>& args);
int runProgram(Context& context, const std::vector<std::string>& args);
int runSim(Context& context, const std::vector<std::string>& args);
int runFlow(Context& context, const std::vector<std::string>& args);
int runBuild(Context& context, const std::vector<std::string>& args);
int runOptions(Context& context, const std::vector<std::string>& args);
int runRun(Context& context, const std::vector<std::string>& args);
int runDemo(Context& context, const std::vector<std::string>& args);

}  // namespace zolta::cli
