#include "classlib/ExtCtrls.h"

#include "app/Assets.h"
#include "classlib/Jpeg.h"
#include "tests/support/Pixels.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using testsupport::AreaIs;
using testsupport::Host;
using testsupport::InkBounds;

class ExtCtrlsTest : public testsupport::PaintTest {
 protected:
  void SetUp() override { Show(host.Surface()); }
  TBitmap& Surface() { return *host.Surface(); }
  Host host{300, 150};
};

TEST_F(ExtCtrlsTest, APanelDrawsItsBevelsAndCaptionUnderItsChildren) {
  auto* panel = new TPanel(&host);
  panel->SetParent(&host);
  panel->SetBounds(10, 10, 100, 40);
  panel->SetCaption("Panel1");
  host.Update();
  EXPECT_EQ(Surface().PixelColor(10, 20), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(Surface().PixelColor(109, 20), ColorToRGB(clBtnShadow));
  const TRect caption = InkBounds(Surface(), Rect(11, 11, 109, 49), [](TColor c) { return c == 0; });
  EXPECT_NEAR((caption.Left + caption.Right) / 2, 60, 1);

  // No bevel, white and disabled, as the window's panel: its child covers
  // the caption.
  panel->SetBevelOuter(bvNone);
  panel->SetColor(clWhite);
  panel->SetEnabled(false);
  auto* cover = new TPanel(&host);
  cover->SetParent(panel);
  cover->SetBevelOuter(bvNone);
  cover->SetColor(clWhite);
  cover->SetBounds(5, 5, 90, 30);
  host.Update();
  EXPECT_TRUE(AreaIs(Surface(), Rect(0, 0, 300, 150), clWhite));
  cover->Hide();
  host.Update();
  EXPECT_FALSE(InkBounds(Surface(), Rect(10, 10, 110, 50), [](TColor c) { return c == ColorToRGB(clBtnShadow); })
                   .IsEmpty())
      << "a disabled caption is grey";
}

TEST_F(ExtCtrlsTest, ABevelMovesAlignedChildrenInside) {
  auto* panel = new TPanel(&host);
  panel->SetParent(&host);
  panel->SetBevelInner(bvLowered);
  auto* child = new TPanel(&host);
  child->SetParent(panel);
  child->SetAlign(alClient);
  EXPECT_EQ(child->BoundsRect(), Rect(2, 2, 183, 39));
  panel->SetBevelOuter(bvNone);
  EXPECT_EQ(child->BoundsRect(), Rect(1, 1, 184, 40));
}

TEST(TJPEGImage, DecodesTheIllustration) {
  const AssetData data = Illustration();
  TJPEGImage jpeg;
  int changes = 0;
  jpeg.OnChange = [&](TObject*) { ++changes; };
  jpeg.LoadFromMemory(data.data, data.size);
  EXPECT_EQ(jpeg.Width(), 380);
  EXPECT_EQ(jpeg.Height(), 300);
  EXPECT_TRUE(jpeg.ProgressiveEncoding());
  EXPECT_EQ(changes, 1);
  // Blue cubes and one red one: both colours are there.
  int blue = 0, red = 0;
  const TBitmap& b = *jpeg.Bitmap();
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const TColor c = b.PixelColor(x, y);
      const int r = c & 0xFF, g = (c >> 8) & 0xFF, bl = (c >> 16) & 0xFF;
      blue += bl > r + 60 && bl > g + 40;
      red += r > bl + 80 && r > g + 80;
    }
  EXPECT_GT(blue, 5000);
  EXPECT_GT(red, 200);
}

TEST(TJPEGImage, DamagedDataRaisesAndKeepsThePicture) {
  const AssetData data = Illustration();
  TJPEGImage jpeg;
  jpeg.LoadFromMemory(data.data, data.size);
  std::vector<unsigned char> truncated(data.data, data.data + data.size / 2);
  std::vector<unsigned char> garbage(1000, 0x5A);
  std::vector<unsigned char> corrupt(data.data, data.data + data.size);
  for (std::size_t i = 600; i < corrupt.size(); i += 97) corrupt[i] ^= 0xFF;
  for (const auto* bytes : {&truncated, &garbage, &corrupt}) {
    try {
      jpeg.LoadFromMemory(bytes->data(), bytes->size());
      ADD_FAILURE() << "no exception for " << bytes->size() << " bytes";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message().rfind("JPEG image: ", 0), 0u) << e.Message();
    }
    EXPECT_EQ(jpeg.Width(), 380);
  }
  EXPECT_THROW(jpeg.LoadFromMemory(nullptr, 0), EInvalidGraphic);
}

TEST_F(ExtCtrlsTest, AnImageStretchesItsPictureSmoothlyIntoItsBox) {
  auto* image = new TImage(&host);
  image->SetParent(&host);
  image->SetBounds(100, 20, 180, 100);
  image->SetStretch(true);
  image->SetTransparent(true);
  host.Update();
  const AssetData data = Illustration();
  TJPEGImage* jpeg = image->Picture()->LoadFromMemory<TJPEGImage>(data.data, data.size);
  EXPECT_TRUE(jpeg->Transparent());
  EXPECT_EQ(host.InvalidArea(), image->BoundsRect());
  host.Update();
  TBitmap expected(180, 100);
  SmoothStretch(*jpeg->Bitmap(), expected);
  for (int y = 0; y < 100; y += 7)
    for (int x = 0; x < 180; x += 11) ASSERT_EQ(Surface().PixelColor(100 + x, 20 + y), expected.PixelColor(x, y));
  EXPECT_TRUE(AreaIs(Surface(), Rect(0, 0, 100, 150), clWhite));
  EXPECT_TRUE(AreaIs(Surface(), Rect(280, 0, 300, 150), clWhite));
  // Unstretched: its own size from the top-left corner, cut to the box.
  image->SetStretch(false);
  host.Update();
  for (int y = 0; y < 100; y += 9)
    for (int x = 0; x < 180; x += 13)
      ASSERT_EQ(Surface().PixelColor(100 + x, 20 + y), jpeg->Bitmap()->PixelColor(x, y));
}

TEST(SmoothStretch, AveragesTheAreaEachPixelCovers) {
  TBitmap source(4, 2);
  source.Canvas()->Brush()->SetColor(clWhite);
  source.Canvas()->FillRect(Rect(0, 0, 4, 2));
  source.Canvas()->Brush()->SetColor(clBlack);
  source.Canvas()->FillRect(Rect(0, 0, 1, 2));
  TBitmap half(2, 1);
  SmoothStretch(source, half);
  EXPECT_EQ(half.PixelColor(0, 0), 0x808080u);
  EXPECT_EQ(half.PixelColor(1, 0), 0xFFFFFFu);
  TBitmap twice(8, 4);
  SmoothStretch(source, twice);
  EXPECT_EQ(twice.PixelColor(1, 3), 0u);
  EXPECT_EQ(twice.PixelColor(2, 0), 0xFFFFFFu);
}

}  // namespace
