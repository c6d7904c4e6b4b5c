// Face files through fontconfig.
#include "platform/FontFiles.h"

#include <fontconfig/fontconfig.h>

namespace platform {

namespace {

// Where Debian's fonts-wine package installs its faces; fontconfig does not
// index that folder by default.
constexpr const char* kFaceFolder = "/usr/share/wine/fonts";

// The program's own configuration: the faces of that folder alone, with the
// selection rules of Debian's configuration (faces that cannot scale are
// rejected) except that the one "MS Sans Serif" file there, a TrueType file
// holding bitmap strikes only, is accepted by name (its other formats stay
// rejected). Font caches are those of the system, so nothing is scanned.
// Looking up the window's faces here spares reading the system's
// configuration (some sixty files) at start-up; a family that is not in the
// folder is looked up through the system's configuration, which also knows
// that folder, so that any sans face stands in for it.
std::string OwnConfig() {
  return std::string(R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <dir>)") + kFaceFolder + R"(</dir>
  <cachedir>/var/cache/fontconfig</cachedir>
  <cachedir prefix="xdg">fontconfig</cachedir>
  <cachedir>~/.fontconfig</cachedir>
  <selectfont>
    <rejectfont>
      <pattern><patelt name="scalable"><bool>false</bool></patelt></pattern>
    </rejectfont>
  </selectfont>
</fontconfig>
)";
}

// Added to both configurations.
constexpr const char* kAcceptConfig = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <selectfont>
    <acceptfont>
      <pattern>
        <patelt name="family"><string>MS Sans Serif</string></patelt>
        <patelt name="fontformat"><string>TrueType</string></patelt>
      </pattern>
    </acceptfont>
  </selectfont>
</fontconfig>
)";

const FcChar8* Text(const char* text) { return reinterpret_cast<const FcChar8*>(text); }

class Configurations {
 public:
  Configurations() {
    own_ = FcConfigCreate();
    if (own_ && (!FcConfigParseAndLoadFromMemory(own_, Text(OwnConfig().c_str()), FcFalse) ||
                 !FcConfigParseAndLoadFromMemory(own_, Text(kAcceptConfig), FcFalse) || !FcConfigBuildFonts(own_))) {
      FcConfigDestroy(own_);
      own_ = nullptr;
    }
  }
  ~Configurations() {
    if (own_) FcConfigDestroy(own_);
    if (system_) FcConfigDestroy(system_);
  }
  Configurations(const Configurations&) = delete;
  Configurations& operator=(const Configurations&) = delete;

  // The best face of the family in the program's folder, else (the family is
  // not installed there) the best face through the system's configuration,
  // which is any sans face when the family is not installed at all.
  FontFile Find(const std::string& family, bool bold, bool italic) {
    FontFile match;
    if (own_ && Lookup(own_, family, nullptr, bold, italic, match)) return match;
    if (!system_) {
      system_ = FcInitLoadConfigAndFonts();
      if (system_) {
        FcConfigParseAndLoadFromMemory(system_, Text(kAcceptConfig), FcFalse);
        FcConfigAppFontAddDir(system_, Text(kFaceFolder));
      }
    }
    if (system_) Lookup(system_, family, "sans-serif", bold, italic, match);
    return match;
  }

 private:
  // The best match in config for family (then fallback, when given). Without
  // a fallback only a face of that very family counts (true).
  static bool Lookup(FcConfig* config, const std::string& family, const char* fallback, bool bold, bool italic,
                     FontFile& match) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, Text(family.c_str()));
    if (fallback) FcPatternAddString(pattern, FC_FAMILY, Text(fallback));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* found = FcFontMatch(config, pattern, &result);
    bool matched = false;
    if (found) {
      FcChar8* name = nullptr;
      for (int i = 0; !matched && FcPatternGetString(found, FC_FAMILY, i, &name) == FcResultMatch; ++i)
        matched = fallback || SameFamilyName(reinterpret_cast<const char*>(name), family);
      FcChar8* file = nullptr;
      if (matched && FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file) {
        match.path = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(found, FC_INDEX, 0, &match.index);
      }
      FcPatternDestroy(found);
    }
    FcPatternDestroy(pattern);
    return matched;
  }

  FcConfig* own_ = nullptr;     // the program's folder
  FcConfig* system_ = nullptr;  // the system's configuration, read on first need
};

}  // namespace

FontFile FindFontFile(const std::string& family, bool bold, bool italic) {
  static Configurations configurations;
  return configurations.Find(family, bold, italic);
}

}  // namespace platform
