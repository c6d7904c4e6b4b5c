#include "classlib/ComCtrls.h"

#include "platform/Win32.h"

#include <algorithm>

// --------------------------------------------------------------- TImageList

TImageList::TImageList(TComponent* owner) : TComponent(owner) {}

TImageList::~TImageList() {
  for (TListView* view : users_) view->smallImages_ = nullptr;
}

void TImageList::SetWidth(int value) {
  value = std::max(1, value);
  if (value == width_) return;
  width_ = value;
  images_.clear();
  Changed();
}

void TImageList::SetHeight(int value) {
  value = std::max(1, value);
  if (value == height_) return;
  height_ = value;
  images_.clear();
  Changed();
}

int TImageList::AddPng(const unsigned char* data, std::size_t size) {
  auto image = std::make_unique<TBitmap>();
  image->LoadFromPng(data, size);
  if (image->Width() != width_ || image->Height() != height_) throw EInvalidOperation("Invalid image size");
  images_.push_back(std::move(image));
  Changed();
  return Count() - 1;
}

void TImageList::Clear() {
  if (images_.empty()) return;
  images_.clear();
  Changed();
}

void TImageList::Draw(TCanvas* canvas, int x, int y, int index) {
  if (!canvas || index < 0 || index >= Count()) return;
  canvas->Draw(x, y, *images_[static_cast<std::size_t>(index)]);
}

void TImageList::Changed() {
  for (TListView* view : users_) view->Invalidate();
}

// -------------------------------------------------------------- TListColumn

void TListColumn::SetCaption(const std::string& value) {
  if (value == caption_) return;
  caption_ = value;
  Changed(false);
}

void TListColumn::SetWidth(int value) {
  value = std::max(0, value);
  if (value == width_) return;
  width_ = value;
  Changed(true);
}

void TListColumn::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Changed(false);
}

void TListColumn::Assign(const TPersistent* source) {
  if (const auto* column = dynamic_cast<const TListColumn*>(source)) {
    caption_ = column->caption_;
    width_ = column->width_;
    alignment_ = column->alignment_;
    Changed(true);
    return;
  }
  TCollectionItem::Assign(source);
}

void TListColumns::Update(TCollectionItem*) { owner_->ColumnsChanged(); }

// ---------------------------------------------------------------- TListItem

TListItem::TListItem(TListItems* owner) : owner_(owner) {
  subItems_.OnChange = TNotifyEvent(this, &TListItem::Changed);
}

TListItem::~TListItem() { subItems_.OnChange = nullptr; }

void TListItem::SetCaption(const std::string& value) {
  if (value == caption_) return;
  caption_ = value;
  Changed();
}

void TListItem::SetImageIndex(int value) {
  if (value == imageIndex_) return;
  imageIndex_ = value;
  Changed();
}

int TListItem::Index() const { return owner_->IndexOf(this); }

TListView* TListItem::ListView() const { return owner_->Owner(); }

void TListItem::Changed(TObject*) {
  const int index = Index();
  if (index >= 0) owner_->Owner()->ItemChanged(index);
}

// --------------------------------------------------------------- TListItems

TListItems::~TListItems() = default;

TListItem* TListItems::Add() {
  items_.push_back(std::make_unique<TListItem>(this));
  owner_->ItemChanged(Count() - 1);
  return items_.back().get();
}

TListItem* TListItems::Item(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  return items_[static_cast<std::size_t>(index)].get();
}

void TListItems::Delete(int index) {
  Item(index);
  items_.erase(items_.begin() + index);
  owner_->Invalidate();
}

void TListItems::Clear() {
  if (items_.empty()) return;
  items_.clear();
  owner_->Invalidate();
}

int TListItems::IndexOf(const TListItem* item) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == item) return static_cast<int>(i);
  return -1;
}

// ---------------------------------------------------------------- TListView

namespace {

// Space between a column's edges and its text.
constexpr int kTextMargin = 6;
// Space left of an item's image.
constexpr int kImageMargin = 2;

unsigned alignmentFlags(TAlignment alignment) {
  switch (alignment) {
    case taCenter: return DT_CENTER;
    case taRightJustify: return DT_RIGHT;
    default: return DT_LEFT;
  }
}

}  // namespace

TListView::TListView(TComponent* owner) : TCustomControl(owner), columns_(this), items_(this) {
  SetBounds(0, 0, 121, 97);
  SetColor(clWindow);
  SetOpaque(true);
}

TListView::~TListView() { SetSmallImages(nullptr); }

void TListView::SetViewStyle(TViewStyle value) {
  if (value == viewStyle_) return;
  viewStyle_ = value;
  Invalidate();
}

void TListView::SetSmallImages(TImageList* value) {
  if (value == smallImages_) return;
  if (smallImages_) std::erase(smallImages_->users_, this);
  smallImages_ = value;
  if (smallImages_) smallImages_->users_.push_back(this);
  Invalidate();
}

void TListView::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  Invalidate();
}

void TListView::SetShowColumnHeaders(bool value) {
  if (value == showColumnHeaders_) return;
  showColumnHeaders_ = value;
  Invalidate();
}

TRect TListView::InnerRect() const {
  const TRect r = ClientRect();
  return borderStyle_ == bsNone ? r : InflateRect(r, -2, -2);
}

TRect TListView::HeaderRect() {
  const TRect inner = InnerRect();
  if (viewStyle_ != vsReport || !showColumnHeaders_) return Rect(inner.Left, inner.Top, inner.Right, inner.Top);
  Canvas()->SetFont(Font());
  return Rect(inner.Left, inner.Top, inner.Right, inner.Top + Canvas()->TextHeight("Wg") + 4);
}

int TListView::RowHeight() {
  Canvas()->SetFont(Font());
  int h = Canvas()->TextHeight("Wg");
  if (smallImages_) h = std::max(h, smallImages_->Height());
  return h + 1;
}

TRect TListView::ItemRect(int index) {
  if (index < 0 || index >= items_.Count()) return TRect{};
  const TRect inner = InnerRect();
  const int top = HeaderRect().Bottom + index * RowHeight();
  return Rect(inner.Left, top, inner.Right, top + RowHeight());
}

void TListView::ItemChanged(int index) {
  const TRect r = ItemRect(index);
  if (!r.IsEmpty()) Invalidate(r);
}

void TListView::ColumnsChanged() { Invalidate(); }

void TListView::Paint() {
  TCanvas& canvas = *Canvas();
  TRect r = ClientRect();
  if (borderStyle_ != bsNone) canvas.DrawEdge(r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  canvas.SetClipRect(r);
  canvas.Brush()->SetColor(Color());
  canvas.Brush()->SetStyle(bsSolid);
  canvas.FillRect(r);
  if (viewStyle_ == vsReport) PaintHeader(canvas);
  for (int i = 0; i < items_.Count(); ++i) PaintItem(canvas, i);
  canvas.RemoveClip();
}

void TListView::PaintHeader(TCanvas& canvas) {
  const TRect header = HeaderRect();
  if (header.IsEmpty()) return;
  canvas.SetFont(Font());
  canvas.Font()->SetColor(clBtnText);
  int x = header.Left;
  // Every column is a raised button; the space after the last one is an
  // empty button.
  auto button = [&](const TRect& rect, const TListColumn* column) {
    canvas.Brush()->SetColor(clBtnFace);
    canvas.Brush()->SetStyle(bsSolid);
    canvas.FillRect(rect);
    TRect face = rect;
    canvas.DrawEdge(face, EDGE_RAISED, BF_RECT | BF_ADJUST);
    if (!column) return;
    canvas.Brush()->SetStyle(bsClear);
    const TRect text = Rect(rect.Left + kTextMargin, rect.Top, rect.Right - kTextMargin, rect.Bottom);
    canvas.DrawText(column->Caption(), text,
                    alignmentFlags(column->Alignment()) | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  };
  for (int c = 0; c < columns_.Count(); ++c) {
    const TListColumn& column = columns_[c];
    button(Rect(x, header.Top, x + column.Width(), header.Bottom), &column);
    x += column.Width();
  }
  if (x < header.Right) button(Rect(x, header.Top, header.Right, header.Bottom), nullptr);
}

void TListView::PaintItem(TCanvas& canvas, int index) {
  const TRect row = ItemRect(index);
  TListItem& item = items_[index];
  canvas.SetFont(Font());
  canvas.Brush()->SetColor(Color());
  canvas.Brush()->SetStyle(bsSolid);
  canvas.FillRect(row);
  canvas.Brush()->SetStyle(bsClear);
  const unsigned textFlags = DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
  // The first column: image and caption.
  const int firstWidth = viewStyle_ == vsReport && columns_.Count() > 0 ? columns_[0].Width() : row.Width();
  TRect cell = Rect(row.Left, row.Top, row.Left + firstWidth, row.Bottom);
  int textLeft = cell.Left + kImageMargin;
  if (smallImages_ && cell.Width() >= smallImages_->Width() + kImageMargin) {
    smallImages_->Draw(&canvas, textLeft, cell.Top + (cell.Height() - smallImages_->Height()) / 2,
                       item.ImageIndex());
    textLeft += smallImages_->Width() + kImageMargin;
  }
  canvas.DrawText(item.Caption(), Rect(textLeft, cell.Top, cell.Right - kImageMargin, cell.Bottom),
                  DT_LEFT | textFlags);
  if (viewStyle_ != vsReport) return;
  // The other columns: sub-items.
  int x = cell.Right;
  TStringList& subItems = *item.SubItems();
  for (int c = 1; c < columns_.Count(); ++c) {
    const TListColumn& column = columns_[c];
    cell = Rect(x, row.Top, x + column.Width(), row.Bottom);
    x = cell.Right;
    if (c - 1 >= subItems.Count()) continue;
    canvas.DrawText(subItems[c - 1], Rect(cell.Left + kTextMargin, cell.Top, cell.Right - kTextMargin, cell.Bottom),
                    alignmentFlags(column.Alignment()) | textFlags);
  }
}
