// TFxStatusBar: a status bar of panels, each with its own frame, font,
// alignment and text, or drawn by the owner, or hosting a child control.
//
// Drawing is synchronous where it matters: setting the text (or another
// look) of a panel redraws that panel at once; for the last panel the whole
// bar is painted at once (one Paint). A change of a panel's Left or Size, or
// of the panel list, repaints the whole bar through the paint cycle at once.
// Setting a text the panel already has draws nothing.
#pragma once

#include "classlib/Classes.h"
#include "widgets/FxControls.h"

#include <string>

enum TFxStatusPanelStyle : std::uint8_t { spText, spOwnerDraw, spPanel };

class TFxStatusBar;
class TFxStatusPanel;

// The child control of an spPanel panel: a bevel panel placed inside the
// panel's frame by the bar.
class TFxStatusCustomPanel : public TFxCustomBevelPanel {
 public:
  explicit TFxStatusCustomPanel(TComponent* owner);
  // Its panel forgets it and becomes spText.
  ~TFxStatusCustomPanel() override;

  // Links the control to the panel with the same id ("BarPanelId").
  int BarPanelId() const { return barPanelId_; }
  void SetBarPanelId(int value) { barPanelId_ = value; }

 protected:
  // Read from a stored form: takes the place of the control that the panel
  // with the same id made for itself.
  void Loaded() override;

 private:
  friend class TFxStatusPanel;
  int barPanelId_ = 0;
  TFxStatusPanel* panel_ = nullptr;
};

class TFxStatusPanel : public TCollectionItem {
 public:
  explicit TFxStatusPanel(TCollection* collection);
  ~TFxStatusPanel() override;

  TFxAlignment Alignment() const { return alignment_; }
  void SetAlignment(TFxAlignment value);
  // By default a one-pixel lowered frame (bmStandard, lsSingleLowered).
  TFxBevel* Bevel() { return &bevel_; }
  void SetBevel(const TFxBevel* value) { bevel_.Assign(value); }
  // Leaving spPanel frees the child control; entering it (outside form
  // loading) creates a hidden one on the bar.
  TFxStatusPanelStyle Style() const { return style_; }
  void SetStyle(TFxStatusPanelStyle value);
  const std::string& Text() const { return text_; }
  void SetText(const std::string& value);
  int BarPanelId() const { return barPanelId_; }
  void SetBarPanelId(int value) { barPanelId_ = value; }
  // The gap before the panel and its width, in pixels; a change repaints the
  // whole bar.
  int Left() const { return left_; }
  void SetLeft(int value);
  int Size() const { return size_; }
  void SetSize(int value);
  TFont* Font() { return &font_; }
  void SetFont(const TFont* value) { font_.Assign(value); }
  TFx3DCaption* Font3D() { return &font3D_; }
  void SetFont3D(const TFx3DCaption* value) { font3D_.Assign(value); }
  TFxStatusCustomPanel* Control() const { return control_; }

  void Assign(const TPersistent* source) override;

 private:
  friend class TFxStatusCustomPanel;
  TFxStatusBar* Bar() const;
  void PartChanged(TObject*) { Changed(false); }

  TFxAlignment alignment_ = agTopLeft;
  TFxBevel bevel_;
  TFxStatusPanelStyle style_ = spText;
  std::string text_;
  int barPanelId_ = 0;
  int left_ = 3;
  int size_ = 50;
  TFont font_;
  TFx3DCaption font3D_;
  TFxStatusCustomPanel* control_ = nullptr;
};

// The panels of a bar. A change of one panel redraws that panel; a change
// concerning all (sizes, the list, the end of an update bracket) repaints
// the bar. Inside BeginUpdate/EndUpdate nothing is forwarded.
class TFxStatusPanels : public TCollection {
 public:
  explicit TFxStatusPanels(TFxStatusBar* bar) : bar_(bar) {}

  TFxStatusBar* Bar() const { return bar_; }
  // Raises EListError "List index out of bounds (%d)" outside 0 .. Count-1.
  TFxStatusPanel* Items(int index) const { return static_cast<TFxStatusPanel*>(TCollection::Items(index)); }
  TFxStatusPanel& operator[](int index) const { return *Items(index); }
  TFxStatusPanel* Add() { return static_cast<TFxStatusPanel*>(TCollection::Add()); }

 protected:
  TCollectionItem* NewItem() override;
  void Update(TCollectionItem* item) override;

 private:
  TFxStatusBar* bar_;
};

using TFxDrawPanelEvent = TEvent<TObject*, int, const TRect&, TCanvas*>;
using TFxPanelClickEvent = TEvent<TObject*, int>;

class TFxStatusBar : public TFxCustomBevelPanel {
 public:
  // Aligned to the bottom, 19 pixels high, opaque, clBtnFace, no panels,
  // OldStyle and SizeGrip true.
  explicit TFxStatusBar(TComponent* owner);
  ~TFxStatusBar() override;

  // Placement of SimpleText.
  TFxAlignment Alignment() const { return alignment_; }
  void SetAlignment(TFxAlignment value);
  const std::string& SimpleText() const { return simpleText_; }
  void SetSimpleText(const std::string& value);
  // Stretch the last panel to the right edge.
  bool AutoSizeLastPanel() const { return autoSizeLastPanel_; }
  void SetAutoSizeLastPanel(bool value);
  // Compatibility mode: the panels are not drawn.
  bool OldStyle() const { return oldStyle_; }
  void SetOldStyle(bool value);
  // Show SimpleText instead of the panels.
  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool value);
  // Draw a size grip (in the new style only when the owner is a form that is
  // not maximised); children are laid out 12 pixels clear of it.
  bool SizeGrip() const { return sizeGrip_; }
  void SetSizeGrip(bool value);
  TFx3DCaption* Font3D() { return &font3D_; }
  void SetFont3D(const TFx3DCaption* value);
  TFxStatusPanels* Panels() { return &panels_; }
  void SetPanels(const TFxStatusPanels* value);
  // The gap between label controls placed on the bar.
  int ControlGap() const { return controlGap_; }
  void SetControlGap(int value);
  // Where the panels were drawn by the last full paint.
  TRect PanelsRect() const { return panelsRect_; }

  // Draws spOwnerDraw panels: (bar, panel index, rectangle inside the
  // panel's frame, canvas).
  TFxDrawPanelEvent OnOwnerDrawPanel;
  TFxPanelClickEvent OnPanelClick;

  // A left-button press at x (client coordinates): the panel found by adding
  // up panel sizes from the left edge (the stretched last panel reaches the
  // right edge) goes to OnPanelClick. Nothing in OldStyle.
  void LeftButtonDown(int x);

  // Redraws panel index: the last panel by a full Paint, another one within
  // its rectangle of the last full paint. Nothing in OldStyle.
  void UpdatePanel(int index);

 protected:
  void Paint() override;
  void Resize() override;
  void AdjustClientRect(TRect& rect) const override;

 private:
  void DrawPanelContent(int index, TFxStatusPanel& panel, const TRect& inner);
  void DrawSizeGrip(TCanvas& canvas, int right, int bottom);

  TFxAlignment alignment_ = agTopLeft;
  std::string simpleText_;
  bool autoSizeLastPanel_ = true;
  bool oldStyle_ = true;
  bool simplePanel_ = false;
  bool sizeGrip_ = true;
  TFx3DCaption font3D_;
  TFxStatusPanels panels_;
  int controlGap_ = 3;
  TRect panelsRect_;
};
