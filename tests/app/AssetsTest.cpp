#include "app/Assets.h"

#include "tools/assets/ImageFiles.h"
#include "tools/assets/MemoText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> Bytes(AssetData asset) { return {asset.data, asset.data + asset.size}; }

enum Hue { kGreen, kRed, kBlue, kGrey, kHues };

// Counts the opaque pixels of each clear hue.
std::array<int, kHues> Hues(const std::uint8_t* pixels, std::size_t count, int stride) {
  std::array<int, kHues> n{};
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* p = pixels + i * static_cast<std::size_t>(stride);
    if (stride == 4 && p[3] < 128) continue;
    const int r = p[0], g = p[1], b = p[2];
    if (g > r + 50 && g > b + 50) ++n[kGreen];
    else if (r > g + 80 && r > b + 80) ++n[kRed];
    else if (b > r + 80 && b > g + 30) ++n[kBlue];
    else if (std::max({r, g, b}) - std::min({r, g, b}) < 16 && r < 200) ++n[kGrey];
  }
  return n;
}

TEST(Assets, EmbeddedBytesAreTheCommittedFiles) {
  const std::pair<AssetData, const char*> files[] = {
      {ListIcon(0), "list0.png"},     {ListIcon(1), "list1.png"},     {ListIcon(2), "list2.png"},
      {ListIcon(3), "list3.png"},     {ListIcon(4), "list4.png"},     {ListIcon(5), "list5.png"},
      {ListIcon(6), "list6.png"},     {WindowIcon(), "icon16.png"},   {WindowIcon(32), "icon32.png"},
      {WindowIcon(48), "icon48.png"}, {Illustration(), "illustration.jpg"}, {LegalNotice(), "notice.txt"}};
  for (const auto& [asset, name] : files) {
    std::ifstream file(std::string(ASSETS_DIR "/") + name, std::ios::binary);
    ASSERT_TRUE(file) << name;
    const std::vector<std::uint8_t> committed{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(Bytes(asset), committed) << name;
  }
  EXPECT_THROW(ListIcon(-1), std::out_of_range);
  EXPECT_THROW(ListIcon(kListIconCount), std::out_of_range);
  EXPECT_THROW(WindowIcon(24), std::out_of_range);
}

TEST(Assets, IllustrationIsAProgressiveJpegOf380By300WithBlueAndRedCubesOnWhite) {
  const AssetData jpeg = Illustration();
  EXPECT_NEAR(static_cast<double>(jpeg.size), 19407, 500);
  const DecodedJpeg decoded = DecodeJpeg(Bytes(jpeg));
  EXPECT_TRUE(decoded.progressive);
  ASSERT_EQ(decoded.image.width, 380);
  ASSERT_EQ(decoded.image.height, 300);
  const std::vector<std::uint8_t>& rgb = decoded.image.rgb;
  for (std::size_t corner : {std::size_t{0}, std::size_t{379}, std::size_t{299 * 380}, std::size_t{300 * 380 - 1}})
    for (int c = 0; c < 3; ++c) EXPECT_GE(rgb[corner * 3 + static_cast<std::size_t>(c)], 245) << corner;
  // Seventeen blue cubes outweigh the one red cube, which is still clearly there.
  const auto hues = Hues(rgb.data(), rgb.size() / 3, 3);
  EXPECT_GT(hues[kBlue], 380 * 300 / 8);
  EXPECT_GT(hues[kRed], 380 * 300 / 100);
  EXPECT_LT(hues[kRed], hues[kBlue] / 3);
}

TEST(Assets, IconsHaveAlphaTransparentCornersAndTheirColours) {
  struct Case {
    AssetData png;
    int size;
    std::vector<Hue> hues;
  };
  const Case cases[] = {{ListIcon(0), 16, {kGreen}},          {ListIcon(1), 16, {kGreen, kGrey}},
                        {ListIcon(5), 16, {kGreen, kGrey}},   {ListIcon(6), 16, {kGrey, kBlue}},
                        {WindowIcon(16), 16, {kGreen, kRed, kBlue}}, {WindowIcon(32), 32, {kGreen, kRed, kBlue}},
                        {WindowIcon(48), 48, {kGreen, kRed, kBlue}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "icon of " << c.size << " with " << c.hues.size() << " hues");
    const RgbaImage image = DecodePng(Bytes(c.png));
    ASSERT_EQ(image.width, c.size);
    ASSERT_EQ(image.height, c.size);
    const int last = c.size - 1;
    for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}})
      EXPECT_EQ(image.rgba[static_cast<std::size_t>((y * c.size + x) * 4 + 3)], 0) << x << "," << y;
    const auto hues = Hues(image.rgba.data(), image.rgba.size() / 4, 4);
    for (Hue hue : c.hues) EXPECT_GE(hues[hue], c.size * c.size / 64) << "hue " << hue;
  }
}

TEST(Assets, GaugeFillsFromAlmostEmptyToFull) {
  int previous = 0;
  for (int frame = 1; frame <= 5; ++frame) {
    const RgbaImage image = DecodePng(Bytes(ListIcon(frame)));
    ASSERT_EQ(image.width, 16);
    const int green = Hues(image.rgba.data(), image.rgba.size() / 4, 4)[kGreen];
    EXPECT_GT(green, previous) << "frame " << frame;
    if (frame == 1) {
      EXPECT_LT(green, 12);  // a sliver, yet visible
    }
    previous = green;
  }
  EXPECT_GT(previous, 40);
}

TEST(Assets, NoticeIsSevenLinesJustifiedToTheMemo) {
  const AssetData notice = LegalNotice();
  const std::string text(reinterpret_cast<const char*>(notice.data), notice.size);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
  }
  ASSERT_EQ(lines.size(), 7u);

  const TextMeasure measure(kMemoFontFile, kMemoFontHeight);
  const int space = measure.Width(" ");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    SCOPED_TRACE(line);
    for (char c : line) {
      const auto byte = static_cast<unsigned char>(c);
      EXPECT_TRUE(byte >= 0x20 && byte != 0x7F && Cp1252ToUnicode(byte) != 0) << int{byte};
    }
    EXPECT_NE(line.front(), ' ');
    EXPECT_NE(line.back(), ' ');
    // Wider than the text width, the memo would wrap the line.
    const int width = measure.Width(line);
    EXPECT_LE(width, kMemoTextWidth);
    if (i + 1 < lines.size()) {
      EXPECT_GT(width, kMemoTextWidth - space);
    } else {
      EXPECT_EQ(line.find("  "), std::string::npos) << "the last line is not stretched";
    }
  }
}

}  // namespace
