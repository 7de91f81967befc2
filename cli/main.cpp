#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "cli.h"
#include "flow_session.h"
#include "zolta/hostapp/terminal_progress.h"
#include "zolta/hostapp/paths.h"

#ifndef ZOLTA_VERSION
#define ZOLTA_VERSION "0.0.0"
#endif

namespace zolta::cli {

// ---- context ---------------------------------------------------------------------------------

Context::Context(GlobalOptions options, std::ostream& out, std::ostream& err)
    : options_(std::move(options)), out_(out), err_(err) {}

Context::~Context() {
  if (host_ && hostapp::Host::current() == host_.get()) hostapp::Host::setCurrent(nullptr);
}

hostapp::Host& Context::host() {
  if (!host_) {
    hostapp::HostOptions o;
    if (options_.pluginFolder) o.pluginFolder = *options_.pluginFolder;
    if (options_.quartusFolder) o.quartusFolder = *options_.quartusFolder;
    else if (const char* env = std::getenv("QUARTUS_ROOTDIR"); !env || !*env)
      o.quartusFolder = bundledQuartusFolder();  // the stand-in tools built beside zolta, when present
    host_ = std::make_unique<hostapp::Host>(std::move(o));
    hostapp::Host::setCurrent(host_.get());
    progress_ = std::make_unique<hostapp::TerminalProgress>(err_, &err_ == &std::cerr && isatty(STDERR_FILENO));
    host_->statusBar().setListener(progress_.get());
    host_->loadPlugins();
    for (const hostapp::HostIssue& issue : host_->issues())
      err_ << "zolta: warning: " << issue.file << ": " << issue.reason << '\n';
  }
  return *host_;
}

int Context::usageError(const std::string& message) {
  err_ << "zolta: " << message << "\nTry 'zolta --help'.\n";
  return kExitUsage;
}

int Context::failure(const std::string& message) {
  err_ << "zolta: " << message << '\n';
  return kExitFailure;
}

// ---- command line ----------------------------------------------------------------------------

int parseCommandLine(const std::vector<std::string>& argv, GlobalOptions& options, std::string& command,
                     std::vector<std::string>& args, std::string& error) {
  bool positionalOnly = false;
  for (size_t i = 1; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (positionalOnly || a.empty() || a[0] != '-' || a == "-") {
      if (command.empty()) command = a;
      else args.push_back(a);
      continue;
    }
    if (a == "--") {
      positionalOnly = true;
      continue;
    }
    // Options with a folder value: "--plugins DIR" or "--plugins=DIR".
    bool takenValue = false;
    for (auto [name, target] : {std::pair{"--plugins", &options.pluginFolder},
                                std::pair{"--quartus", &options.quartusFolder}}) {
      std::string n = name;
      std::string value;
      if (a == n) {
        if (i + 1 >= argv.size() || argv[i + 1].empty()) {
          error = "option " + n + " needs a folder";
          return kExitUsage;
        }
        value = argv[++i];
      } else if (a.rfind(n + "=", 0) == 0) {
        value = a.substr(n.size() + 1);
        if (value.empty()) {
          error = "option " + n + " needs a folder";
          return kExitUsage;
        }
      } else {
        continue;
      }
      if (!hostapp::isDirectory(value)) {
        error = "option " + n + ": folder '" + value + "' does not exist";
        return kExitUsage;
      }
      *target = value;
      takenValue = true;
      break;
    }
    if (takenValue) continue;
    if (a == "--json") options.json = true;
    else if (a == "--help" || a == "-h") options.help = true;
    else if (a == "--version") options.version = true;
    else if (command.empty()) {
      error = "unknown option '" + a + "'";
      return kExitUsage;
    } else {
      args.push_back(a);  // the command decides
    }
  }
  return kExitOk;
}

void printUsage(std::ostream& out) {
  out << "Usage: zolta [options] <command> [arguments]\n\n"
         "Commands:\n";
  // A command line that does not fit the column gets its summary on the next line.
  constexpr size_t width = 24;
  for (const Command& c : commandTable()) {
    std::string head = std::string(c.name) + " " + c.arguments;
    if (head.size() + 2 > width) out << "  " << head << "\n  " << std::string(width, ' ') << c.summary << '\n';
    else out << "  " << head << std::string(width - head.size(), ' ') << c.summary << '\n';
  }
  out << "\nOptions:\n"
         "  --plugins DIR           load plug-ins from DIR (default: plugins/ beside the zolta program)\n"
         "  --quartus DIR           the Quartus installation (default: $QUARTUS_ROOTDIR, else the stand-in\n"
         "                          tools built beside zolta)\n"
         "  --json                  print results as JSON\n"
         "  --help, -h              show this help, or a command's help after the command\n"
         "  --version               show the program's version\n\n"
         "Exit status: 0 success, 1 failure, 2 usage error.\n";
}

void printCommandUsage(std::ostream& out, const Command& command) {
  out << "Usage: zolta " << command.name << " " << command.arguments << "\n\n" << command.summary << ".\n";
  if (command.details) out << '\n' << command.details;
}

int runMain(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
  GlobalOptions options;
  std::string commandName, error;
  std::vector<std::string> args;
  if (parseCommandLine(argv, options, commandName, args, error) != kExitOk) {
    err << "zolta: " << error << "\nTry 'zolta --help'.\n";
    return kExitUsage;
  }
  if (options.version) {
    out << "zolta " << ZOLTA_VERSION << '\n';
    return kExitOk;
  }
  if (commandName.empty()) {
    if (options.help) {
      printUsage(out);
      return kExitOk;
    }
    printUsage(err);
    return kExitUsage;
  }
  for (const Command& c : commandTable()) {
    if (commandName != c.name) continue;
    if (options.help) {
      printCommandUsage(out, c);
      return kExitOk;
    }
    Context context(options, out, err);
    try {
      return c.run(context, args);
    } catch (const std::exception& e) {
      return context.failure(std::string(c.name) + ": " + e.what());
    }
  }
  err << "zolta: unknown command '" << commandName << "'\nTry 'zolta --help'.\n";
  return kExitUsage;
}

}  // namespace zolta::cli

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  return zolta::cli::runMain(args, std::cout, std::cerr);
}
