#include "classlib/ComCtrls.h"

#include "app/Assets.h"
#include "platform/Win32.h"
#include "tests/support/Pixels.h"

#include <gtest/gtest.h>

namespace {

using testsupport::AreaIs;
using testsupport::Host;
using testsupport::InkBounds;

void AddListIcons(TImageList& images) {
  for (int i = 0; i < kListIconCount; ++i) {
    const AssetData png = ListIcon(i);
    EXPECT_EQ(images.AddPng(png.data, png.size), i);
  }
}

TEST(TImageList, TakesPicturesOfItsSizeOnly) {
  TImageList images(nullptr);
  AddListIcons(images);
  EXPECT_EQ(images.Count(), kListIconCount);
  const AssetData big = WindowIcon(32);
  try {
    images.AddPng(big.data, big.size);
    FAIL();
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "Invalid image size");
  }
  const AssetData good = ListIcon(0);
  std::vector<unsigned char> cut(good.data, good.data + good.size / 2);
  EXPECT_THROW(images.AddPng(cut.data(), cut.size()), EInvalidGraphic);
  EXPECT_EQ(images.Count(), kListIconCount);
  images.SetWidth(32);
  images.SetHeight(32);
  EXPECT_EQ(images.Count(), 0);
  EXPECT_EQ(images.AddPng(big.data, big.size), 0) << "32 x 32 once the list is 32 wide";
}

TEST(TImageList, DrawBlendsByAlpha) {
  TImageList images(nullptr);
  const AssetData png = ListIcon(0);
  images.AddPng(png.data, png.size);
  TBitmap picture;
  picture.LoadFromPng(png.data, png.size);
  // Over two backgrounds: clear pixels show them, opaque ones the icon,
  // partly clear ones lie between.
  for (TColor background : {clRed, clBlue}) {
    TBitmap canvas(20, 20);
    canvas.Canvas()->Brush()->SetColor(background);
    canvas.Canvas()->FillRect(Rect(0, 0, 20, 20));
    images.Draw(canvas.Canvas(), 2, 3, 0);
    images.Draw(canvas.Canvas(), 2, 3, 7);  // no such image: nothing
    int clear = 0, opaque = 0, partial = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const std::uint32_t p = picture.ScanLine(y)[x];
        const unsigned alpha = p >> 24;
        const TColor shown = canvas.PixelColor(x + 2, y + 3);
        if (alpha == 0) {
          ++clear;
          EXPECT_EQ(shown, background);
        } else if (alpha == 255) {
          ++opaque;
          EXPECT_EQ(shown, PixelToRGB(p));
        } else {
          ++partial;
          EXPECT_NE(shown, background);
        }
      }
    EXPECT_GT(clear, 0);
    EXPECT_GT(opaque, 0);
    EXPECT_GT(partial, 0) << "the check mark has smooth edges";
    EXPECT_EQ(canvas.PixelColor(1, 1), background);
  }
}

// A 592 x 99 report list as the main window has it, on a white host.
class ListViewTest : public testsupport::PaintTest {
 protected:
  void SetUp() override {
    AddListIcons(images);
    list = new TListView(&host);
    list->SetParent(&host);
    list->SetBounds(0, 0, 592, 99);
    list->SetBorderStyle(bsNone);
    list->SetViewStyle(vsReport);
    list->SetSmallImages(&images);
    const struct {
      const char* caption;
      int width;
      TAlignment alignment;
    } columns[] = {{"Stato", 37, taLeftJustify}, {"Prodotto", 350, taCenter}, {"Versione", 200, taCenter}};
    for (const auto& c : columns) {
      TListColumn* column = list->Columns()->Add();
      column->SetCaption(c.caption);
      column->SetWidth(c.width);
      column->SetAlignment(c.alignment);
    }
    for (int i = 0; i < 3; ++i) {
      TListItem* item = list->Items()->Add();
      item->SubItems()->Add("");
      item->SubItems()->Add("");
      item->SetImageIndex(i == 0 ? 6 : -1);
    }
    host.Update();
    host.changedArea = TRect{};
    host.surfaceChanges = 0;
    Show(host.Surface());
  }

  TBitmap& Surface() { return *host.Surface(); }
  static bool Dark(TColor c) { return (c & 0xFF) < 0x80 && ((c >> 8) & 0xFF) < 0x80 && (c >> 16) < 0x80; }

  Host host;
  TImageList images{nullptr};
  TListView* list = nullptr;
};

TEST_F(ListViewTest, ItemsRaiseOutsideTheList) {
  EXPECT_EQ(list->Items()->Count(), 3);
  for (int bad : {3, -1}) {
    try {
      list->Items()->Item(bad);
      FAIL();
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), Format("List index out of bounds (%d)", bad));
    }
  }
}

TEST_F(ListViewTest, ReportViewShowsHeaderButtonsAndRows) {
  const TRect header = list->HeaderRect();
  EXPECT_EQ(header, Rect(0, 0, 592, 17));
  EXPECT_EQ(list->RowHeight(), 17);
  EXPECT_EQ(list->ItemRect(1), Rect(0, 34, 592, 51));
  // Column buttons end at 37, 387 and 587; a blank button fills the rest.
  for (int edge : {36, 386, 586, 591}) EXPECT_EQ(Surface().PixelColor(edge, 8), ColorToRGB(cl3DDkShadow)) << edge;
  for (int edge : {37, 387, 587}) EXPECT_EQ(Surface().PixelColor(edge, 8), ColorToRGB(cl3DLight)) << edge;
  // Captions: "Stato" from the left margin, the others centred.
  const TRect stato = InkBounds(Surface(), Rect(2, 2, 35, 15), Dark);
  EXPECT_GE(stato.Left, 6);
  EXPECT_LE(stato.Left, 7);
  const TRect prodotto = InkBounds(Surface(), Rect(39, 2, 385, 15), Dark);
  EXPECT_NEAR((prodotto.Left + prodotto.Right) / 2, (37 + 387) / 2, 1);
  // Row 0 shows image 6 at the left of its row; rows 1 and 2 no image.
  EXPECT_FALSE(AreaIs(Surface(), Rect(2, 17, 18, 34), clWhite));
  EXPECT_TRUE(AreaIs(Surface(), Rect(0, 34, 592, 99), clWhite));
}

TEST_F(ListViewTest, SubItemsAreCentredInTheirColumns) {
  TListItem& row = (*list->Items())[2];
  row.SubItems()->SetStrings(0, "Merindo.exe");
  row.SubItems()->SetStrings(1, "7.3");
  row.SetCaption("x");
  host.Update();
  const TRect rowRect = list->ItemRect(2);
  const TRect name = InkBounds(Surface(), Rect(37, rowRect.Top, 387, rowRect.Bottom), Dark);
  const TRect version = InkBounds(Surface(), Rect(387, rowRect.Top, 587, rowRect.Bottom), Dark);
  EXPECT_NEAR((name.Left + name.Right) / 2, 212, 1);
  EXPECT_NEAR((version.Left + version.Right) / 2, 487, 1);
  EXPECT_NEAR((name.Top + name.Bottom) / 2, (rowRect.Top + rowRect.Bottom) / 2, 2);
  // The caption follows the (absent) image's place in the first column.
  EXPECT_FALSE(InkBounds(Surface(), Rect(0, rowRect.Top, 37, rowRect.Bottom), Dark).IsEmpty());
}

TEST_F(ListViewTest, AChangeOfAnItemRepaintsOnlyItsRow) {
  TListItem& row = (*list->Items())[1];
  row.SetImageIndex(1);
  EXPECT_EQ(host.InvalidArea(), list->ItemRect(1));
  row.SetImageIndex(1);  // unchanged: nothing more
  row.SubItems()->SetStrings(0, " Merindo.exe");
  row.SetCaption("");  // unchanged
  EXPECT_EQ(host.InvalidArea(), list->ItemRect(1));
  host.Update();
  EXPECT_EQ(host.surfaceChanges, 1);
  EXPECT_EQ(host.changedArea, list->ItemRect(1));
  EXPECT_FALSE(AreaIs(Surface(), Rect(2, 34, 18, 51), clWhite));
  // An item of a list that shows no images changes nothing when its image
  // does, but still repaints.
  list->SetSmallImages(nullptr);
  host.Update();
  EXPECT_TRUE(AreaIs(Surface(), Rect(2, 17, 18, 51), clWhite));
}

TEST_F(ListViewTest, AFreedImageListLeavesTheListWithoutImages) {
  auto* own = new TImageList(nullptr);
  AddListIcons(*own);
  list->SetSmallImages(own);
  delete own;
  EXPECT_EQ(list->SmallImages(), nullptr);
  list->Repaint();
  EXPECT_TRUE(AreaIs(Surface(), Rect(2, 17, 18, 34), clWhite));
}

TEST_F(ListViewTest, ASunkenBorderFramesTheList) {
  list->SetBorderStyle(bsSingle);
  host.Update();
  EXPECT_EQ(Surface().PixelColor(0, 50), ColorToRGB(clBtnShadow));
  EXPECT_EQ(list->HeaderRect(), Rect(2, 2, 590, 19));
  EXPECT_EQ(list->ItemRect(0).Top, 19);
}

}  // namespace
