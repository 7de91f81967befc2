#include "zolta/quartus/tcl_interp.h"

#include <memory>

#include <tcl.h>

#include "zolta/quartus/text.h"

namespace zquartus {

namespace {
constexpr const char* kExitCode = "ZQUARTUS_EXIT";
}

struct TclInterp::Entry {
  Command command;
};

void TclArgs::expectPositional(const std::string& command, size_t min, size_t max) const {
  if (positional.size() < min || positional.size() > max) {
    std::string why = positional.size() < min ? "missing value" : "too many values: \"" + positional.back() + "\"";
    throw TclCommandError("ERROR: Wrong number of arguments for command " + command + " (" + why + ")");
  }
}

TclArgs parseTclArgs(const std::string& command, const std::vector<std::string>& args,
                     const std::vector<std::string>& valued, const std::vector<std::string>& flags) {
  TclArgs out;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool optionLike = a.size() > 1 && a[0] == '-' && ((a[1] >= 'a' && a[1] <= 'z') || (a[1] >= 'A' && a[1] <= 'Z'));
    if (!optionLike) {
      out.positional.push_back(a);
      continue;
    }
    // Exact names first, then a unique prefix.
    std::vector<std::pair<std::string, bool>> matches;
    for (const std::string& v : valued)
      if (sameText(v, a)) matches = {{v, true}};
    for (const std::string& f : flags)
      if (sameText(f, a)) matches = {{f, false}};
    if (matches.empty()) {
      for (const std::string& v : valued)
        if (startsWithNoCase(v, a)) matches.push_back({v, true});
      for (const std::string& f : flags)
        if (startsWithNoCase(f, a)) matches.push_back({f, false});
    }
    if (matches.size() != 1)
      throw TclCommandError("ERROR: " + std::string(matches.empty() ? "Illegal" : "Ambiguous") + " option " + a +
                            " for command " + command);
    const auto& [name, takesValue] = matches.front();
    if (takesValue) {
      if (i + 1 >= args.size()) throw TclCommandError("ERROR: Option " + name + " of command " + command + " needs a value");
      out.options[name] = args[++i];
    } else {
      out.flags.insert(name);
    }
  }
  return out;
}

void TclInterp::initialize(const char* argv0) { Tcl_FindExecutable(argv0); }

void TclInterp::finalize() { Tcl_Finalize(); }

TclInterp::TclInterp() : interp_(Tcl_CreateInterp()) {
  // Without its script library Tcl still runs every built-in command; the library adds conveniences only.
  if (Tcl_Init(interp_) != TCL_OK) Tcl_ResetResult(interp_);
  // Names such as LED[0] in assignment files: Tcl takes "[0]" for a command; the vendor's shell answers
  // such bus indices (and "*") with themselves, so the name survives.
  define("unknown", [](const std::vector<std::string>& args) -> std::string {
    if (args.empty()) throw TclCommandError("invalid command name \"\"");
    const std::string& name = args[0];
    const bool index = !name.empty() && name.find_first_not_of("0123456789:*") == std::string::npos;
    if (index && args.size() == 1) return "[" + name + "]";
    throw TclCommandError("invalid command name \"" + name + "\"");
  });
}

TclInterp::~TclInterp() { Tcl_DeleteInterp(interp_); }

int TclInterp::trampoline(void* data, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  Entry* e = static_cast<Entry*>(data);
  std::vector<std::string> args;
  args.reserve(static_cast<size_t>(objc > 0 ? objc - 1 : 0));
  for (int i = 1; i < objc; ++i) args.emplace_back(Tcl_GetString(objv[i]));
  try {
    const std::string r = e->command(args);
    Tcl_SetObjResult(interp, Tcl_NewStringObj(r.data(), static_cast<int>(r.size())));
    return TCL_OK;
  } catch (const std::exception& ex) {
    Tcl_SetObjResult(interp, Tcl_NewStringObj(ex.what(), -1));
    return TCL_ERROR;
  } catch (...) {
    Tcl_SetObjResult(interp, Tcl_NewStringObj("ERROR: internal error", -1));
    return TCL_ERROR;
  }
}

void TclInterp::define(const std::string& name, Command command) {
  commands_.push_back(std::make_unique<Entry>(Entry{std::move(command)}));
  Tcl_CreateObjCommand(interp_, name.c_str(), &TclInterp::trampoline, commands_.back().get(), nullptr);
}

void TclInterp::setVar(const std::string& name, const std::string& value) {
  Tcl_SetVar2(interp_, name.c_str(), nullptr, value.c_str(), TCL_GLOBAL_ONLY);
}

void TclInterp::setArrayVar(const std::string& array, const std::string& key, const std::string& value) {
  Tcl_SetVar2(interp_, array.c_str(), key.c_str(), value.c_str(), TCL_GLOBAL_ONLY);
}

void TclInterp::setListVar(const std::string& name, const std::vector<std::string>& values) {
  Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
  for (const std::string& v : values)
    Tcl_ListObjAppendElement(interp_, list, Tcl_NewStringObj(v.data(), static_cast<int>(v.size())));
  Tcl_SetVar2Ex(interp_, name.c_str(), nullptr, list, TCL_GLOBAL_ONLY);
}

std::vector<std::string> TclInterp::splitList(const std::string& list) const {
  int count = 0;
  const char** words = nullptr;
  if (Tcl_SplitList(interp_, list.c_str(), &count, &words) != TCL_OK) {
    const std::string why = Tcl_GetStringResult(interp_);
    throw TclCommandError("ERROR: " + why);
  }
  std::vector<std::string> out(words, words + count);
  Tcl_Free(reinterpret_cast<char*>(words));
  return out;
}

void TclInterp::requestExit(int code) {
  exitCode_ = code;
  Tcl_SetErrorCode(interp_, kExitCode, nullptr);
  throw TclCommandError("exit");
}

bool TclInterp::finish(int status) {
  result_ = Tcl_GetStringResult(interp_);
  if (status == TCL_OK || status == TCL_RETURN) {
    error_.clear();
    trace_.clear();
    return true;
  }
  if (exitCode_) return true;
  if (status == TCL_BREAK || status == TCL_CONTINUE) {
    error_ = status == TCL_BREAK ? "invoked \"break\" outside of a loop" : "invoked \"continue\" outside of a loop";
    trace_ = error_;
    return false;
  }
  error_ = result_;
  const char* info = Tcl_GetVar2(interp_, "errorInfo", nullptr, TCL_GLOBAL_ONLY);
  trace_ = info ? info : error_;
  return false;
}

bool TclInterp::eval(const std::string& script) {
  return finish(Tcl_EvalEx(interp_, script.c_str(), static_cast<int>(script.size()), TCL_EVAL_GLOBAL));
}

bool TclInterp::evalFile(const std::filesystem::path& file) { return finish(Tcl_EvalFile(interp_, file.c_str())); }

std::string tclQuote(const std::string& word) {
  if (word.empty()) return "\"\"";
  // A word goes out bare when it has no blank or special character; brackets only around bus indices,
  // which read back through `unknown`.
  bool plain = true;
  for (size_t i = 0; i < word.size() && plain; ++i) {
    const char c = word[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '"' || c == '{' || c == '}' || c == '\\' ||
        c == '$' || c == ';' || (c == '#' && i == 0) || c == ']') {
      plain = false;
    } else if (c == '[') {
      const size_t close = word.find(']', i);
      const std::string inner = close == std::string::npos ? "" : word.substr(i + 1, close - i - 1);
      plain = !inner.empty() && inner.find_first_not_of("0123456789:*") == std::string::npos;
      i = close == std::string::npos ? i : close;
    }
  }
  if (plain) return word;
  std::string r = "\"";
  for (char c : word) {
    if (c == '"' || c == '\\' || c == '$' || c == '[' || c == ']') r += '\\';
    if (c == '\n') {
      r += "\\n";
      continue;
    }
    r += c;
  }
  return r + "\"";
}

std::string tclList(const std::vector<std::string>& words) {
  std::string list;
  for (const std::string& w : words) list += (list.empty() ? "" : " ") + tclQuote(w);
  return list;
}

}  // namespace zquartus
