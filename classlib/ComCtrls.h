// The common controls the window carries: the image list and the list view.
#pragma once

#include "classlib/Controls.h"

#include <memory>
#include <vector>

class TListView;

// An operation that the object's state does not allow.
class EInvalidOperation : public Exception {
 public:
  using Exception::Exception;
};

// Pictures of one size (16 x 16 by default) with alpha, drawn by index.
class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* owner);
  ~TImageList() override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // A new size removes every image.
  void SetWidth(int value);
  void SetHeight(int value);

  // Appends the picture of a PNG file's bytes, with its alpha, and returns
  // its index. Raises EInvalidGraphic for damaged data and
  // EInvalidOperation "Invalid image size" when the picture is not Width x
  // Height.
  int AddPng(const unsigned char* data, std::size_t size);
  int Count() const { return static_cast<int>(images_.size()); }
  void Clear();

  // Blends image index over the canvas with its top-left corner at (x, y);
  // an index outside 0 .. Count-1 draws nothing.
  void Draw(TCanvas* canvas, int x, int y, int index);

 private:
  friend class TListView;
  void Changed();

  int width_ = 16;
  int height_ = 16;
  std::vector<std::unique_ptr<TBitmap>> images_;
  std::vector<TListView*> users_;  // list views showing these images
};

enum TViewStyle : std::uint8_t { vsIcon, vsSmallIcon, vsList, vsReport };

class TListColumns;

// A column of a report view.
class TListColumn : public TCollectionItem {
 public:
  explicit TListColumn(TCollection* collection) : TCollectionItem(collection) {}
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  // Pixels; negative values become 0.
  int Width() const { return width_; }
  void SetWidth(int value);
  // Placement of the header caption and of the column's texts.
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  void Assign(const TPersistent* source) override;

 private:
  std::string caption_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
};

class TListColumns : public TCollection {
 public:
  explicit TListColumns(TListView* owner) : owner_(owner) {}
  TListColumn* Add() { return static_cast<TListColumn*>(TCollection::Add()); }
  // Raises EListError "List index out of bounds (%d)".
  TListColumn* Items(int index) const { return static_cast<TListColumn*>(TCollection::Items(index)); }
  TListColumn& operator[](int index) const { return *Items(index); }

 protected:
  TCollectionItem* NewItem() override { return new TListColumn(this); }
  void Update(TCollectionItem* item) override;

 private:
  TListView* owner_;
};

class TListItems;

// A row: its caption in the first column, its sub-items in the others, and
// its image from the list view's small images.
class TListItem : public TPersistent {
 public:
  explicit TListItem(TListItems* owner);
  ~TListItem() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  // Sub-item i is shown in column i + 1; every change repaints the row.
  TStringList* SubItems() { return &subItems_; }
  // -1 = no image.
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  int Index() const;
  TListView* ListView() const;

 private:
  void Changed(TObject* sender = nullptr);

  TListItems* owner_;
  std::string caption_;
  TStringList subItems_;
  int imageIndex_ = -1;
};

class TListItems : public TPersistent {
 public:
  explicit TListItems(TListView* owner) : owner_(owner) {}
  ~TListItems() override;

  TListItem* Add();
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError "List index out of bounds (%d)".
  TListItem* Item(int index) const;
  TListItem& operator[](int index) const { return *Item(index); }
  void Delete(int index);
  void Clear();
  int IndexOf(const TListItem* item) const;
  TListView* Owner() const { return owner_; }

 private:
  TListView* owner_;
  std::vector<std::unique_ptr<TListItem>> items_;
};

// A list of items. In report view: a header of column buttons and one row
// per item: image and caption in the first column, sub-items in the others,
// each placed by its column's alignment. The other views show image and
// caption, one item a line.
class TListView : public TCustomControl {
 public:
  // 121 x 97, sunken border, clWindow, report columns none.
  explicit TListView(TComponent* owner);
  ~TListView() override;

  TListColumns* Columns() { return &columns_; }
  TListItems* Items() { return &items_; }

  TViewStyle ViewStyle() const { return viewStyle_; }
  void SetViewStyle(TViewStyle value);
  TImageList* SmallImages() const { return smallImages_; }
  void SetSmallImages(TImageList* value);
  // bsSingle: a two-pixel sunken edge; bsNone: no frame.
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  bool ShowColumnHeaders() const { return showColumnHeaders_; }
  void SetShowColumnHeaders(bool value);

  // Geometry of report view, in the control's coordinates: the header and
  // the row of an item (empty when out of range).
  TRect HeaderRect();
  TRect ItemRect(int index);
  int RowHeight();

  // Called by the items: repaint one row, or everything.
  void ItemChanged(int index);
  void ColumnsChanged();

 protected:
  void Paint() override;

 private:
  friend class TImageList;

  TRect InnerRect() const;
  void PaintHeader(TCanvas& canvas);
  void PaintItem(TCanvas& canvas, int index);

  TListColumns columns_;
  TListItems items_;
  TViewStyle viewStyle_ = vsIcon;
  TImageList* smallImages_ = nullptr;
  TBorderStyle borderStyle_ = bsSingle;
  bool showColumnHeaders_ = true;
};
