// Where the face files the canvas draws with are found. One declaration, one
// implementation per system: on Linux through fontconfig (platform/posix), on
// Windows in the Windows fonts folder and then the program's own folder
// (platform/win32). Portable code, no system header: the class library
// opens the file with FreeType itself.
#pragma once

#include <string>

namespace platform {

struct FontFile {
  std::string path;  // empty when no face at all was found
  int index = 0;     // the face within the file (collections hold several)
};

// The file of the face that best matches family (case-insensitive), weight
// and slant; when the family is not installed, a sans face stands in for it.
// A bold or italic request may get the regular face of the family, which the
// caller then emboldens or slants. GUI thread only.
FontFile FindFontFile(const std::string& family, bool bold, bool italic);

// Whether two family names are the same, as the systems compare them: ASCII
// letters without regard to case.
bool SameFamilyName(const std::string& a, const std::string& b);

}  // namespace platform
