// The embedded Tcl interpreter (Tcl 8.6) with commands written in C++, and the argument conventions of
// the vendor's Tcl commands ("-name FAMILY", flags such as "-overwrite", one positional value).
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

struct Tcl_Interp;
struct Tcl_Obj;

namespace zquartus {

// A command's failure; becomes a Tcl error with this message ("ERROR: ..." by the vendor's habit).
class TclCommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Arguments of a command split by its option table.
struct TclArgs {
  std::map<std::string, std::string> options;  // "-name" -> "FAMILY"
  std::set<std::string> flags;                 // "-overwrite"
  std::vector<std::string> positional;

  bool has(const std::string& flag) const { return flags.count(flag) > 0; }
  std::string option(const std::string& name, const std::string& fallback = {}) const {
    auto it = options.find(name);
    return it == options.end() ? fallback : it->second;
  }
  // Throws TclCommandError naming `command` unless there are between `min` and `max` positional values.
  void expectPositional(const std::string& command, size_t min, size_t max) const;
};

// Splits `args` (without the command name): options listed in `valued` take the next word, those in
// `flags` stand alone; an option name may be abbreviated to a unique prefix. Anything else starting with
// "-" and a letter is refused.
TclArgs parseTclArgs(const std::string& command, const std::vector<std::string>& args,
                     const std::vector<std::string>& valued, const std::vector<std::string>& flags);

class TclInterp {
 public:
  // A command: the arguments without the command name; answers the result text. Throws TclCommandError
  // (or anything derived from std::exception) for a Tcl error.
  using Command = std::function<std::string(const std::vector<std::string>&)>;

  TclInterp();
  ~TclInterp();
  TclInterp(const TclInterp&) = delete;
  TclInterp& operator=(const TclInterp&) = delete;

  // Makes the interpreter find its script library; call once with the program's argv[0].
  static void initialize(const char* argv0);
  // Frees what the Tcl library keeps process-wide; call at the end of main.
  static void finalize();

  void define(const std::string& name, Command command);
  void setVar(const std::string& name, const std::string& value);
  void setArrayVar(const std::string& array, const std::string& key, const std::string& value);
  void setListVar(const std::string& name, const std::vector<std::string>& values);

  // Evaluates a script or a file. False on a Tcl error; `error()` then holds the message and `trace()`
  // the interpreter's error trace. A script that called `exit` (or `qexit`) stops there and answers
  // true; `exitCode()` then holds the code.
  bool eval(const std::string& script);
  bool evalFile(const std::filesystem::path& file);
  const std::string& result() const { return result_; }
  const std::string& error() const { return error_; }
  const std::string& trace() const { return trace_; }
  std::optional<int> exitCode() const { return exitCode_; }

  // The words of a Tcl list; throws TclCommandError when `list` is not one.
  std::vector<std::string> splitList(const std::string& list) const;

  // Ends the evaluation as the script's `exit` would.
  void requestExit(int code);

 private:
  bool finish(int status);
  static int trampoline(void* data, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]);

  struct Entry;
  Tcl_Interp* interp_;
  std::vector<std::unique_ptr<Entry>> commands_;
  std::string result_, error_, trace_;
  std::optional<int> exitCode_;
};

// Tcl list quoting of one word, for scripts the tools write.
std::string tclQuote(const std::string& word);
// The words quoted and joined into a Tcl list.
std::string tclList(const std::vector<std::string>& words);

}  // namespace zquartus
