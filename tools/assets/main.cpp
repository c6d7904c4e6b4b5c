// Draws the launcher's pictures and lays out its legal notice, writing them to
// the given folder (the repository's app/assets), where they are committed and
// embedded in the program. The output is the same, byte for byte, on every run.
//
//   assetgen <output folder> [--preview <folder>]
//
// --preview also writes PNG files to look at: the illustration as the JPEG
// decodes, and the icons enlarged eight times on white and on a checkerboard.

#include "tools/assets/Icons.h"
#include "tools/assets/Illustration.h"
#include "tools/assets/ImageFiles.h"
#include "tools/assets/MemoText.h"
#include "tools/assets/Notice.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The picture's size in the main window's stored description.
constexpr long kIllustrationBytes = 19407;

std::vector<std::uint8_t> IllustrationJpeg(const RgbImage& picture) {
  std::vector<std::uint8_t> best;
  int bestLuma = 0;
  const auto consider = [&](int luma, int chroma) {
    std::vector<std::uint8_t> jpeg = EncodeProgressiveJpeg(picture, luma, chroma);
    if (best.empty() || std::labs(static_cast<long>(jpeg.size()) - kIllustrationBytes) <
                            std::labs(static_cast<long>(best.size()) - kIllustrationBytes)) {
      best = std::move(jpeg);
      bestLuma = luma;
    }
  };
  // Coarser tables shrink the file: find the scale that comes closest, then
  // refine with the chrominance table alone, which moves the size in finer steps.
  for (int scale = 5; scale <= 100; ++scale) consider(scale, scale);
  const int scale = bestLuma;
  for (int luma = scale - 2; luma <= scale + 2; ++luma)
    for (int chroma = std::max(1, scale - 20); chroma <= scale + 20; ++chroma) consider(luma, chroma);
  return best;
}

// The icons side by side, enlarged, over white (top) and a checkerboard.
RgbaImage IconSheet(const std::vector<RgbaImage>& icons) {
  constexpr int kZoom = 6, kHalf = 48 * kZoom;
  RgbaImage sheet{0, 2 * kHalf, {}};
  for (const RgbaImage& icon : icons) sheet.width += (icon.width + 1) * kZoom;
  sheet.rgba.resize(static_cast<std::size_t>(sheet.width * sheet.height * 4), 255);
  int left = 0;
  for (const RgbaImage& icon : icons) {
    for (int y = 0; y < sheet.height; ++y) {
      for (int x = 0; x < icon.width * kZoom; ++x) {
        std::uint8_t* dst = &sheet.rgba[static_cast<std::size_t>((y * sheet.width + left + x) * 4)];
        const int back = y < kHalf ? 255 : ((x / 4 + y / 4) % 2 ? 200 : 150);
        const int iy = (y % kHalf) / kZoom;
        for (int c = 0; c < 3; ++c) dst[c] = static_cast<std::uint8_t>(back);
        if (iy >= icon.height) continue;
        const std::uint8_t* src = &icon.rgba[static_cast<std::size_t>((iy * icon.width + x / kZoom) * 4)];
        for (int c = 0; c < 3; ++c) dst[c] = static_cast<std::uint8_t>((src[c] * src[3] + back * (255 - src[3])) / 255);
      }
    }
    left += (icon.width + 1) * kZoom;
  }
  return sheet;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--preview")) {
    std::fprintf(stderr, "usage: %s <output folder> [--preview <folder>]\n", argv[0]);
    return 2;
  }
  try {
    const std::string out = argv[1];
    std::filesystem::create_directories(out);
    std::vector<RgbaImage> icons;
    for (int i = 0; i < kListIcons; ++i) {
      icons.push_back(ListIcon(i));
      WriteFile(out + "/list" + std::to_string(i) + ".png", EncodePng(icons.back()));
    }
    std::vector<RgbaImage> windowIcons;
    for (int size : {16, 32, 48}) {
      windowIcons.push_back(WindowIcon(size));
      WriteFile(out + "/icon" + std::to_string(size) + ".png", EncodePng(windowIcons.back()));
    }
    // The Windows program's icon resource.
    WriteFile(out + "/merindo-launcher.ico", EncodeIco(windowIcons));
    icons.insert(icons.end(), windowIcons.begin(), windowIcons.end());

    const TextMeasure measure(kMemoFontFile, kMemoFontHeight);
    std::string notice;
    for (const std::string& line : JustifiedNotice(measure)) notice += line + "\n";
    WriteFile(out + "/notice.txt", std::vector<std::uint8_t>(notice.begin(), notice.end()));

    const std::vector<std::uint8_t> jpeg = IllustrationJpeg(RenderIllustration());
    WriteFile(out + "/illustration.jpg", jpeg);
    std::printf("illustration.jpg: %zu bytes\n", jpeg.size());

    if (argc == 4) {
      const std::string preview = argv[3];
      std::filesystem::create_directories(preview);
      const RgbImage decoded = DecodeJpeg(jpeg).image;
      RgbaImage picture{decoded.width, decoded.height, {}};
      for (std::size_t i = 0; i < decoded.rgb.size(); i += 3)
        picture.rgba.insert(picture.rgba.end(), {decoded.rgb[i], decoded.rgb[i + 1], decoded.rgb[i + 2], 255});
      WriteFile(preview + "/illustration.png", EncodePng(picture));
      WriteFile(preview + "/icons.png", EncodePng(IconSheet(icons)));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "assetgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
