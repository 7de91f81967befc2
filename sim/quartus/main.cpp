// The stand-in Quartus program: the name it is started under picks the tool.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "zolta/quartus/tcl_interp.h"
#include "zolta/quartus/tools.h"
#include "zolta/quartus/version.h"

int main(int argc, char** argv) {
  namespace zq = zquartus;
  const std::string argv0 = argc > 0 ? argv[0] : "quartus_sh";
  zq::TclInterp::initialize(argv0.c_str());
  const std::filesystem::path root = zq::installationRoot(argv0);
  const zq::ToolVersion version = zq::installedVersion(root);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  int code = zq::kExitFailure;
  try {
    code = zq::runTool(std::filesystem::path(argv0).filename().string(), args, version, std::cout, root);
  } catch (const std::exception& e) {
    std::cout << "Error: " << e.what() << std::endl;
  }
  std::cout.flush();
  zq::TclInterp::finalize();
  return code;
}
