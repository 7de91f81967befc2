// TConsoleAppWrapper: runs one console program (a vendor command-line tool) as a child process, cuts
// what it writes to standard output and standard error (one pipe) into lines and hands each line to
// the owner while the program runs, keeps the host alive while it waits (PumpHostEvents), enforces an
// optional time-out and can abort the program.
//
// Process model (Linux): the child is started with posix_spawn (never through a shell) in a process
// group of its own, with standard input from /dev/null, standard output and standard error on one
// pipe, default signal dispositions, an empty signal mask and no other inherited descriptor. Abort
// kills the whole group (SIGKILL), so the tool's own children end with it; Terminate first asks the
// group to close (SIGTERM). The program is found through the PATH of the child's environment block
// (or of this process when the block is empty); the process-wide PATH is never changed.
//
// Command line: FApplicationName is quoted when it holds a blank, then a blank and FParameters follow
// (ConsoleCommandLine). The line is split into arguments with the usual quoting rules of console
// command lines (SplitConsoleCommandLine): blanks separate arguments, double quotes group and are
// removed, a backslash escapes a double quote; the program name ends at its closing quote or first
// blank. In the program name "\" counts as "/".
//
// Lines: each output byte is one character (no conversion: invalid UTF-8 and NUL bytes pass as they
// are). A carriage return delivers the buffered line; a line feed marks the next line as a new line,
// and a line feed that does not follow a carriage return also delivers the buffered line first (the
// line end of programs on this platform, so "a\nb\n" delivers as "a\r\nb\r\n" does). A buffer of 513
// characters is delivered at once (a longer line comes in pieces of 513). A line
// that ends in "file Not found" or begins with "File:" is held back and prefixed, with ": ", to the
// next line (trimmed of blanks). A delivered line goes to OnNewLine when it follows a line feed (or
// starts the output), else to OnUpdateLine (text overwritten after a bare carriage return). After the
// program ended one more (normally empty) line is flushed. The host's events are pumped after every
// delivered line and at least every 100 ms while waiting. Output that ends on a held line delivers
// that line on its own after the last one.
//
// One owner, one thread (the host's user-interface thread). Abort or Terminate may be called from a
// line callback or from an event handled while waiting; Execute then returns the killed program's
// exit code.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zolta {

// A line callback.
using TOutputLineEvent = std::function<void(const std::string& ALine)>;

// Exit code answered for a program ended by Abort, Terminate's kill or the time-out.
inline constexpr uint32_t kConsoleExitKilled = 0xC000013A;
// Exit code answered when the time-out struck while the program was still running (read before the kill).
inline constexpr uint32_t kConsoleExitStillActive = 259;
// Longest line delivered in one piece.
inline constexpr size_t kConsoleLineLimit = 513;

// FApplicationName quoted when it holds a blank (a quote added in front unless it starts with one,
// one appended unless it ends with one), then " " and the parameters.
std::string ConsoleCommandLine(std::string_view applicationName, std::string_view parameters);
// The arguments of a command line (see above). The first is the program name.
std::vector<std::string> SplitConsoleCommandLine(std::string_view commandLine);
// Where a program name leads: a name with "/" (or "\") is a path (relative to this process's working
// folder); another name is looked up in the folders of searchPath (":"-separated; an empty entry is
// the current folder). Empty when no executable file is found.
std::string FindConsoleProgram(std::string_view program, std::string_view searchPath);

class TConsoleAppWrapper {
 public:
  // AEnvStr: environment block "name=value\0name=value\0\0" for the child, empty to inherit this
  // process's. AWorkDir: the child's working folder, empty to inherit. ARedirect: capture the output
  // and wait for the program (else the child writes where this process writes and Execute returns
  // once it started). AJobHandle: a process group to put the child in, or 0 for a group of its own.
  // AUseProcessMsgs: pump the host's events while waiting (else yield the processor).
  TConsoleAppWrapper(std::string AApplicationName, std::string AParameters, std::string AEnvStr,
                     std::string AWorkDir, TOutputLineEvent AOnNewLine, TOutputLineEvent AOnUpdateLine,
                     bool ARedirect, pid_t AJobHandle, bool AUseProcessMsgs);
  // Aborts a running program.
  ~TConsoleAppWrapper();
  TConsoleAppWrapper(const TConsoleAppWrapper&) = delete;
  TConsoleAppWrapper& operator=(const TConsoleAppWrapper&) = delete;

  // Runs the program and answers its exit code; 0 at once when a program of this wrapper already
  // runs. ATimeoutSeconds: the program is killed once it ran longer (in 100 ms steps; the answer is
  // then kConsoleExitStillActive); AResetTimeoutOnOutput restarts the count with every delivered line.
  // ACreationFlags has no meaning on this platform and is ignored. AStdOutputHandle: a descriptor
  // for the child's standard output instead of the pipe (standard error stays on the pipe), or 0.
  // A program that exits on its own answers its exit status; one ended by a signal that this wrapper
  // did not send answers 128 + the signal number; one killed by this wrapper kConsoleExitKilled.
  // Failures to start (no such program or folder, no permission) throw std::system_error naming the
  // program or the folder; nothing is left running and no child is left unreaped.
  uint32_t Execute(int32_t ATimeoutSeconds, bool AResetTimeoutOnOutput, uint32_t ACreationFlags,
                   int AStdOutputHandle);
  // Kills the running program's process group at once.
  void Abort();
  // Asks the program's process group to close (SIGTERM) and kills it when it has not ended within
  // Timeout milliseconds.
  void Terminate(uint32_t Timeout);

  bool Executing() const { return FExecuting; }
  pid_t ProcessID() const { return FProcessID; }

 private:
  struct TLineState;
  bool ReadOutput(int fd, TLineState& state, bool drainOnly);
  void ProcessBytes(const char* data, size_t n, TLineState& state);
  void DeliverLine(TLineState& state);
  void Yield();
  bool ChildEnded();

  std::string FApplicationName;
  std::string FParameters;
  std::string FEnvStr;
  std::string FWorkDir;
  TOutputLineEvent FOnNewLine;
  TOutputLineEvent FOnUpdateLine;
  bool FRedirect;
  bool FHide;  // no meaning on this platform (console children have no window); kept with FRedirect
  pid_t FProcessHandle = 0;  // process group of the running child
  pid_t FProcessID = 0;
  bool FExecuting = false;
  pid_t FJobHandle;
  bool FUseProcessMsgs;
  bool FWaitUntilFinish;

  bool FInExecute = false;   // Execute is on the stack (a callback may not start another run)
  bool FKilled = false;      // this wrapper killed the child
  int FPidFd = -1;           // pollable descriptor of the child while Execute waits, or -1
};

}  // namespace zolta
