// Face files on Windows: the fonts folder, then the program's own folder.
// A family is looked for first under the file names that Windows and
// Debian's fonts-wine give its faces (a real fonts folder holds hundreds of
// files, and opening each costs the first paint dearly); only a family not
// found so is looked for among all the faces of both folders, each read
// once, by the names and styles the faces give themselves (FreeType reads
// them), so that a family is found by the same name as on Linux whatever its
// file is called.
#include "platform/FontFiles.h"

#include "platform/Win32.h"

#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace platform {

namespace {

// Families that stand in for a missing one, in order: sans faces that every
// Windows has.
constexpr const char* kStandIns[] = {"Tahoma", "Microsoft Sans Serif", "Arial"};

// Where a family's faces are usually kept, and the family the file holds.
struct NamedFile {
  const char* family;
  bool bold;
  const char* file;
  const char* holds;
};

constexpr NamedFile kNamedFiles[] = {
    {"Tahoma", false, "tahoma.ttf", "Tahoma"},
    {"Tahoma", true, "tahomabd.ttf", "Tahoma"},
    {"MS Sans Serif", false, "ms_sans_serif.ttf", "MS Sans Serif"},  // fonts-wine's
    // Windows keeps MS Sans Serif in bitmap files of one size each and draws
    // Microsoft Sans Serif in its place where it needs outlines.
    {"MS Sans Serif", false, "micross.ttf", "Microsoft Sans Serif"},
    {"Microsoft Sans Serif", false, "micross.ttf", "Microsoft Sans Serif"},
    {"Arial", false, "arial.ttf", "Arial"},
    {"Arial", true, "arialbd.ttf", "Arial"},
};

// Where the system lists the fonts installed for every user, by the name of
// a face and its file (a name in the fonts folder, or a whole path).
constexpr const char* kInstalledFontsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

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

// The fonts folder as the system knows it. Not the Windows folder's "Fonts":
// for a program on a Remote Desktop host that is not marked terminal-server
// aware, GetWindowsDirectoryA gives a private folder of the user's.
std::string FontsFolder() {
  char buffer[MAX_PATH];
  if (SHGetFolderPathA(nullptr, CSIDL_FONTS, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return {};
  return buffer;
}

std::string ProgramFolder() {
  char buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return {};
  const std::string path(buffer, length);
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Whether a face chosen for a request may serve it: the style asked for, or
// a plainer face, which the caller emboldens or slants; never a style that
// was not asked for.
bool Serves(bool faceBold, bool faceItalic, bool bold, bool italic) {
  return !(faceBold && !bold) && !(faceItalic && !italic);
}

class FaceFinder {
 public:
  FaceFinder() {
    if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
    for (const std::string& folder : {FontsFolder(), ProgramFolder()})
      if (!folder.empty()) folders_.push_back(folder);
  }
  ~FaceFinder() {
    if (library_) FT_Done_FreeType(library_);
  }
  FaceFinder(const FaceFinder&) = delete;
  FaceFinder& operator=(const FaceFinder&) = delete;

  // The family's face under one of its usual file names, in the first
  // folder that has one.
  bool FindNamed(const std::string& family, bool bold, bool italic, FontFile& match) const {
    if (!library_) return false;
    for (const std::string& folder : folders_)
      // The style asked for first, then the plainer one.
      for (const bool fileBold : {bold, false})
        for (const NamedFile& named : kNamedFiles) {
          if (!SameFamilyName(named.family, family) || named.bold != fileBold) continue;
          const std::string path = folder + "\\" + named.file;
          if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
          if (const auto face = Describe(path, 0);
              face && SameFamilyName(face->family, named.holds) && Serves(face->bold, face->italic, bold, italic)) {
            match = face->file;
            return true;
          }
        }
    return false;
  }

  // The best face of the family among all faces, in the first folder that
  // has the family.
  bool Find(const std::string& family, bool bold, bool italic, FontFile& match) {
    for (const std::vector<IndexedFace>& faces : Index()) {
      int bestScore = -1;
      for (const IndexedFace& face : faces) {
        if (!SameFamilyName(face.family, family) || !Serves(face.bold, face.italic, bold, italic)) continue;
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

  // Any face of the folders, else any face the system lists as installed
  // that has the Latin letters: texts drawn in some face rather than none,
  // also where the fonts folder holds no face file at all (Wine keeps its
  // own faces elsewhere).
  bool Any(FontFile& match) {
    for (const std::vector<IndexedFace>& faces : Index())
      if (!faces.empty()) {
        match = faces.front().file;
        return true;
      }
    return AnyInstalled(match);
  }

 private:
  std::optional<IndexedFace> Describe(const std::string& path, FT_Long index, FT_Long* count = nullptr) const {
    FT_Face face = nullptr;
    if (FT_New_Face(library_, path.c_str(), index, &face) != 0) return std::nullopt;
    if (count) *count = face->num_faces;
    std::optional<IndexedFace> described;
    if (face->family_name)
      described = IndexedFace{{path, static_cast<int>(index)},
                              face->family_name,
                              (face->style_flags & FT_STYLE_FLAG_BOLD) != 0,
                              (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0};
    FT_Done_Face(face);
    return described;
  }

  const std::vector<std::vector<IndexedFace>>& Index() {
    if (!indexed_ && library_)
      for (const std::string& folder : folders_) index_.push_back(Scan(folder));
    indexed_ = true;
    return index_;
  }

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
      FT_Long count = 1;
      for (FT_Long index = 0; index < count; ++index) {
        const auto face = Describe(folder + "\\" + name, index, &count);
        if (!face) break;
        faces.push_back(*face);
      }
    }
    return faces;
  }

  bool AnyInstalled(FontFile& match) const {
    HKEY key = nullptr;
    if (!library_ || RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstalledFontsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    bool found = false;
    for (DWORD i = 0; !found; ++i) {
      char name[256];
      DWORD nameLength = sizeof name;
      BYTE data[MAX_PATH];
      DWORD dataLength = sizeof data - 1;
      DWORD type = 0;
      const LONG result = RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataLength);
      if (result == ERROR_NO_MORE_ITEMS) break;
      if (result != ERROR_SUCCESS || type != REG_SZ) continue;
      data[dataLength] = 0;
      std::string file(reinterpret_cast<const char*>(data));
      if (!IsFaceFileName(file)) continue;
      if (file.find('\\') == std::string::npos && !folders_.empty()) file = folders_.front() + "\\" + file;
      found = HasLatinLetters(file);
      if (found) match = {file, 0};
    }
    RegCloseKey(key);
    return found;
  }

  bool HasLatinLetters(const std::string& path) const {
    FT_Face face = nullptr;
    if (FT_New_Face(library_, path.c_str(), 0, &face) != 0) return false;
    const bool letters = FT_Get_Char_Index(face, 'A') != 0 && FT_Get_Char_Index(face, 'z') != 0;
    FT_Done_Face(face);
    return letters;
  }

  FT_Library library_ = nullptr;
  std::vector<std::string> folders_;
  bool indexed_ = false;
  std::vector<std::vector<IndexedFace>> index_;
};

}  // namespace

FontFile FindFontFile(const std::string& family, bool bold, bool italic) {
  static FaceFinder finder;
  FontFile match;
  if (finder.FindNamed(family, bold, italic, match) || finder.Find(family, bold, italic, match)) return match;
  for (const char* standIn : kStandIns)
    if (finder.FindNamed(standIn, bold, italic, match) || finder.Find(standIn, bold, italic, match)) return match;
  finder.Any(match);
  return match;
}

}  // namespace platform
