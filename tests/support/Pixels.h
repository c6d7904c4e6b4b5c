// Pixel checks for tests that paint into off-screen bitmaps. Checks return
// AssertionResults, so a failure reports the caller's line; a PaintTest
// writes the picture it checked to a PNG file when the test failed and
// prints where.
#pragma once

#include "classlib/Controls.h"
#include "classlib/Graphics.h"
#include "platform/Observe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

namespace testsupport {

inline std::string ColorText(TColor c) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%06X", c);
  return text;
}

// Every pixel of area has the direct colour of expected.
inline ::testing::AssertionResult AreaIs(const TBitmap& bitmap, const TRect& area, TColor expected) {
  const TColor want = ColorToRGB(expected);
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x)
      if (bitmap.PixelColor(x, y) != want)
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << ColorText(bitmap.PixelColor(x, y))
                                             << ", expected " << ColorText(want);
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult PixelIs(const TBitmap& bitmap, int x, int y, TColor expected) {
  return AreaIs(bitmap, Bounds(x, y, 1, 1), expected);
}

// Pixels of area for which test(direct colour) holds.
inline int CountPixels(const TBitmap& bitmap, const TRect& area, const std::function<bool(TColor)>& test) {
  int n = 0;
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x) n += test(bitmap.PixelColor(x, y)) ? 1 : 0;
  return n;
}

// The smallest rectangle holding the pixels of area for which test holds.
inline TRect InkBounds(const TBitmap& bitmap, const TRect& area, const std::function<bool(TColor)>& test) {
  TRect ink;
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x)
      if (test(bitmap.PixelColor(x, y))) ink = UnionRect(ink, Bounds(x, y, 1, 1));
  return ink;
}

// Two bitmaps hold the same pixels in area.
inline ::testing::AssertionResult SamePixels(const TBitmap& a, const TBitmap& b, const TRect& area) {
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x)
      if (a.PixelColor(x, y) != b.PixelColor(x, y))
        return ::testing::AssertionFailure() << "pixels differ at (" << x << ", " << y << "): " << ColorText(a.PixelColor(x, y))
                                             << " and " << ColorText(b.PixelColor(x, y));
  return ::testing::AssertionSuccess();
}

// A top-level host of the main window's client size, white, with the
// window's font (the class library's default "MS Sans Serif" -11).
class Host : public TWinControl {
 public:
  explicit Host(int width = 592, int height = 256) : TWinControl(nullptr) {
    SetBounds(0, 0, width, height);
    SetColor(clWhite);
  }
  int surfaceChanges = 0;
  TRect changedArea;

 protected:
  void SurfaceChanged(const TRect& area) override {
    ++surfaceChanges;
    changedArea = UnionRect(changedArea, area);
  }
};

// A test that shows a bitmap: when the test fails, the bitmap is written to
// <temp>/<suite>.<test>.png and the path printed.
class PaintTest : public ::testing::Test {
 protected:
  void Show(TBitmap* bitmap) { shown_ = bitmap; }

  void TearDown() override {
    if (!HasFailure() || !shown_ || shown_->Empty()) return;
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string path =
        ::testing::TempDir() + info->test_suite_name() + "." + info->name() + ".png";
    if (observe::writePng(path, shown_->Width(), shown_->Height(), shown_->Bits()))
      std::printf("picture of the failed test: %s\n", path.c_str());
  }

 private:
  TBitmap* shown_ = nullptr;
};

}  // namespace testsupport
