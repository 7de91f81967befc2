// The host's BSDL library: the boundary-scan description files under <root>/Library/BSDL, laid out as
// BSDL/<vendor>/<family>/<file>.bsd (the build copies data/bsdl/*.bsd to BSDL/Altera/Arria2GZ/). A
// file describes one package of a die, so its name is the part number up to the package
// ("EP2AGZ225FF35.bsd" for EP2AGZ225FF35C3 and its other grades).
#pragma once

#include <string>
#include <vector>

namespace zolta::hostapp {

class BsdlLibrary {
 public:
  explicit BsdlLibrary(std::string folder) : folder_(std::move(folder)) {}

  // <root>/Library/BSDL (no trailing "/").
  const std::string& folder() const { return folder_; }

  // Every ".bsd" file below the folder (extension compared without regard to case), sorted by path;
  // the list is read once.
  const std::vector<std::string>& files();

  // The file for a device. Files in <vendor>/<family> (folder names compared without regard to case;
  // skipped when vendor or family is empty) come before the rest of the library. For each name in
  // order (the device name first, then the names the JTAG ID map gives), the file whose name without
  // extension is the longest prefix of the name wins (ASCII case ignored); failing that, the first
  // file whose name starts with it. Empty when nothing fits.
  std::string find(const std::string& vendor, const std::string& family, const std::vector<std::string>& names);

 private:
  std::string folder_;
  bool scanned_ = false;
  std::vector<std::string> files_;
};

}  // namespace zolta::hostapp
