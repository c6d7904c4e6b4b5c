#include "widgets/FxSettings.h"

#include <gtest/gtest.h>

namespace {

// Counts the notices an object sends its owner.
struct Notices {
  int count = 0;
  void Attach(TFxObject& object) {
    object.OnChange = [this](TObject*) { ++count; };
  }
};

TEST(TFxBevel, ExtentsFollowModeStylesAndWidths) {
  struct Case {
    const char* what;
    void (*set)(TFxBevel&);
    int extent;
    int far;
  };
  const Case cases[] = {
      {"defaults", [](TFxBevel&) {}, 0, 0},
      {"custom, lowered outer", [](TFxBevel& b) { b.SetStyleOuter(bvLowered); }, 1, 1},
      {"custom, lowered outer and inner",
       [](TFxBevel& b) {
         b.SetStyleOuter(bvLowered);
         b.SetStyleInner(bvLowered);
       },
       2, 2},
      {"custom, frame raised outer", [](TFxBevel& b) { b.SetStyleOuter(bvFrameRaised); }, 2, 2},
      {"custom, border rings only",
       [](TFxBevel& b) {
         b.SetBorderWidth(3);
         b.SetBorderInnerWidth(1);
       },
       4, 4},
      {"custom, outer width 0", 
       [](TFxBevel& b) {
         b.SetStyleOuter(bvRaised);
         b.SetWidthOuter(0);
       },
       0, 0},
      {"standard, none", [](TFxBevel& b) { b.SetMode(bmStandard); b.SetStandardStyle(lsNone); }, 0, 0},
      {"standard, single lowered", [](TFxBevel& b) { b.SetMode(bmStandard); }, 1, 1},
      {"standard, lowered, inner ring",
       [](TFxBevel& b) {
         b.SetMode(bmStandard);
         b.SetStandardStyle(lsLowered);
         b.SetBorderInnerWidth(2);
       },
       4, 4},
      {"edge", [](TFxBevel& b) { b.SetMode(bmEdge); }, 2, 2},
      {"edge, no sides",
       [](TFxBevel& b) {
         b.SetMode(bmEdge);
         b.SetBorderSides({});
       },
       0, 0},
      {"windows", [](TFxBevel& b) { b.SetMode(bmWindows); }, 2, 2},
      {"windows, drawn by the system",
       [](TFxBevel& b) {
         b.SetMode(bmWindows);
         b.SetSystemBorder(true);
       },
       0, 0},
      {"shadow",
       [](TFxBevel& b) {
         b.SetStyleOuter(bvShadow);
         b.SetWidthOuter(4);
         b.SetBorderInnerWidth(1);
       },
       2, 6},
  };
  for (const Case& c : cases) {
    TFxBevel bevel;
    c.set(bevel);
    EXPECT_EQ(bevel.BevelExtent(), c.extent) << c.what;
    EXPECT_EQ(bevel.FarExtent(), c.far) << c.what;
  }
}

TEST(TFxBevel, ShadowStylesGoTogether) {
  TFxBevel bevel;
  bevel.SetStyleInner(bvRaised);
  bevel.SetStyleOuter(bvShadow);
  EXPECT_EQ(bevel.StyleInner(), bvShadow);
  bevel.SetStyleInner(bvLowered);
  EXPECT_EQ(bevel.StyleOuter(), bvNone);
  EXPECT_EQ(bevel.StyleInner(), bvLowered);
  bevel.SetWidthInner(99);
  EXPECT_EQ(bevel.WidthInner(), 50);
}

TEST(TFxBevel, OwnersHearOfChangesOnceAndNotOfRepeatedValues) {
  TFxBevel bevel;
  Notices notices;
  notices.Attach(bevel);
  bevel.SetStyleOuter(bvLowered);
  bevel.SetStyleOuter(bvLowered);
  EXPECT_EQ(notices.count, 1);
  bevel.SetStandardStyle(lsRaised);  // matters only in bmStandard: stored quietly
  EXPECT_EQ(notices.count, 1);
  EXPECT_EQ(bevel.StandardStyle(), lsRaised);
  bevel.BeginUpdate();
  bevel.SetStyleInner(bvRaised);
  bevel.SetWidthInner(3);
  EXPECT_EQ(bevel.BevelExtent(), 4) << "extents follow inside an update too";
  EXPECT_EQ(notices.count, 1);
  bevel.EndUpdate(true);
  EXPECT_EQ(notices.count, 2);
  bevel.BeginUpdate();
  bevel.SetWidthInner(2);
  bevel.EndUpdate(false);
  EXPECT_EQ(notices.count, 2);
}

TEST(TFxBevel, AssignCopiesEverythingWithOneNotice) {
  TFxBevel source;
  source.SetMode(bmStandard);
  source.SetStandardStyle(lsDoubleRaised);
  source.SetBorderInnerWidth(3);
  source.SetLightColor(clYellow);
  TFxBevel copy;
  Notices notices;
  notices.Attach(copy);
  copy.Assign(&source);
  EXPECT_EQ(notices.count, 1);
  EXPECT_EQ(copy.Mode(), bmStandard);
  EXPECT_EQ(copy.StandardStyle(), lsDoubleRaised);
  EXPECT_EQ(copy.LightColor(), clYellow);
  EXPECT_EQ(copy.BevelExtent(), 5);
  TFxGradient gradient;
  try {
    copy.Assign(&gradient);
    FAIL() << "assigned a gradient to a bevel";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TFxGradient to a TFxBevel");
  }
}

TEST(TFxGradient, TheMainWindowRampRunsFromBlueToBlack) {
  TFxGradient gradient;
  gradient.SetColorCount(236);
  const std::vector<TColor>& ramp = gradient.ColorList();
  ASSERT_EQ(ramp.size(), 236u);
  const std::pair<int, int> blue[] = {{0, 255}, {1, 254}, {2, 253}, {117, 128}, {118, 127}, {234, 1}, {235, 0}};
  for (auto [entry, value] : blue) {
    EXPECT_EQ(ramp[static_cast<std::size_t>(entry)] >> 16, static_cast<TColor>(value)) << "entry " << entry;
  }
  for (TColor c : ramp) EXPECT_EQ(c & 0xFFFF, 0u) << "red and green stay 0";
}

TEST(TFxGradient, TheListFollowsEverySetting) {
  TFxGradient gradient;
  Notices notices;
  notices.Attach(gradient);
  gradient.SetColorCount(2);
  EXPECT_EQ(gradient.ColorList(), (std::vector<TColor>{clBlue, clBlack}));
  gradient.SetColorCount(1000);
  EXPECT_EQ(gradient.ColorCount(), 236);
  gradient.BeginUpdate();
  gradient.SetColor(clWhite);  // a system colour would be converted too
  gradient.SetColorCount(3);
  gradient.EndUpdate(false);
  EXPECT_EQ(gradient.ColorList(), (std::vector<TColor>{0xFFFFFF, 0x7F7F7F, 0x000000}));  // halves away from zero
  EXPECT_EQ(notices.count, 2);
  gradient.SetEndColor(clBtnFace);
  EXPECT_EQ(gradient.ColorList().back(), ColorToRGB(clBtnFace));
}

TEST(TFxGradient, SeveralStopsShareTheStepsWithoutRepeatingOne) {
  TFxGradient gradient;
  gradient.SetColors({clRed, clLime, clBlue});
  gradient.SetColorCount(9);  // three steps per segment
  gradient.SetTwoColors(false);
  EXPECT_EQ(gradient.ColorList(), (std::vector<TColor>{0x0000FF, 0x00807F, 0x00FF00, 0x807F00, 0xFF0000}));
  gradient.SetColors({clRed});
  EXPECT_TRUE(gradient.ColorList().empty());
}

TEST(TFxFillObject, StartsWithoutStyleAndPassesPartChangesOn) {
  TFxFillObject fill;
  EXPECT_EQ(fill.Style(), sfNone);
  EXPECT_EQ(fill.TileMode(), tmTile);
  EXPECT_TRUE(fill.Options().Contains(foGrUseBitmap));
  Notices notices;
  notices.Attach(fill);
  fill.Gradient()->SetStyle(gstHorizontal);
  fill.Brush()->SetColor(clRed);
  EXPECT_EQ(notices.count, 2);
  TFxFillObject copy;
  Notices copied;
  copied.Attach(copy);
  copy.Assign(&fill);
  EXPECT_EQ(copied.count, 1);
  EXPECT_EQ(copy.Gradient()->Style(), gstHorizontal);
  EXPECT_EQ(copy.Brush()->Color(), clRed);
}

}  // namespace
