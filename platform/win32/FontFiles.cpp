// Face files on Windows: the Windows fonts folder, then the program's own
// folder. Each folder's face files are indexed once by the names and styles
// the faces give themselves (FreeType reads them), so that a family is found
// by the same name as on Linux whatever its file is called.
#include "platform/FontFiles.h"

#include "platform/Win32.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace platform {

namespace {

// Families that stand in for a missing one, in order: sans faces that every
// Windows has.
constexpr const char* kStandIns[] = {"Tahoma", "Microsoft Sans Serif", "Arial"};

struct IndexedFace {
  FontFile file;
  std::string family;
  bool bold;
  bool italic;
};

bool IsFaceFileName(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const std::string extension : {".ttf", ".ttc", ".otf"})
    if (name.size() > extension.size() && name.compare(name.size() - extension.size(), extension.size(), extension) == 0)
      return true;
  return false;
}

std::string WindowsFontsFolder() {
  char buffer[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return {};
  return std::string(buffer, length) + "\\Fonts";
}

std::string ProgramFolder() {
  char buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return {};
  const std::string path(buffer, length);
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

class FaceIndex {
 public:
  FaceIndex() {
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      return;
    }
    for (const std::string& folder : {WindowsFontsFolder(), ProgramFolder()})
      if (!folder.empty()) folders_.push_back(Scan(folder));
    FT_Done_FreeType(library_);
  }

  // The best face of the family in the first folder that has the family.
  bool Find(const std::string& family, bool bold, bool italic, FontFile& match) const {
    for (const std::vector<IndexedFace>& faces : folders_) {
      int bestScore = -1;
      for (const IndexedFace& face : faces) {
        // The style asked for, else a plainer face, which the caller
        // emboldens or slants; never a style that was not asked for.
        if (!SameFamilyName(face.family, family) || (face.bold && !bold) || (face.italic && !italic)) continue;
        const int score = (face.bold == bold ? 2 : 0) + (face.italic == italic ? 1 : 0);
        if (score > bestScore) {
          bestScore = score;
          match = face.file;
        }
      }
      if (bestScore >= 0) return true;
    }
    return false;
  }

  // Any face at all, when not even a stand-in family is there.
  bool First(FontFile& match) const {
    for (const std::vector<IndexedFace>& faces : folders_)
      if (!faces.empty()) {
        match = faces.front().file;
        return true;
      }
    return false;
  }

 private:
  std::vector<IndexedFace> Scan(const std::string& folder) const {
    std::vector<IndexedFace> faces;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return faces;
    std::vector<std::string> names;
    do {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsFaceFileName(entry.cFileName))
        names.push_back(entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    // The order the system lists a folder in is not fixed.
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string path = folder + "\\" + name;
      FT_Long count = 1;
      for (FT_Long index = 0; index < count; ++index) {
        FT_Face face = nullptr;
        if (FT_New_Face(library_, path.c_str(), index, &face) != 0) break;
        count = face->num_faces;
        if (face->family_name)
          faces.push_back({{path, static_cast<int>(index)},
                           face->family_name,
                           (face->style_flags & FT_STYLE_FLAG_BOLD) != 0,
                           (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0});
        FT_Done_Face(face);
      }
    }
    return faces;
  }

  FT_Library library_ = nullptr;
  std::vector<std::vector<IndexedFace>> folders_;
};

}  // namespace

FontFile FindFontFile(const std::string& family, bool bold, bool italic) {
  static const FaceIndex index;
  FontFile match;
  if (index.Find(family, bold, italic, match)) return match;
  for (const char* standIn : kStandIns)
    if (index.Find(standIn, bold, italic, match)) return match;
  index.First(match);
  return match;
}

}  // namespace platform
