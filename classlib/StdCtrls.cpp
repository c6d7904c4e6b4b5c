#include "classlib/StdCtrls.h"

#include "platform/Win32.h"

#include <algorithm>

TMemo::TMemo(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 185, 89);
  SetColor(clWindow);
  lines_.OnChange = TNotifyEvent(this, &TMemo::LinesChanged);
}

TMemo::~TMemo() { lines_.OnChange = nullptr; }

void TMemo::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  Invalidate();
}

void TMemo::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  Invalidate();
}

void TMemo::LinesChanged(TObject*) { Invalidate(); }

TRect TMemo::TextRect() const {
  TRect r = ClientRect();
  if (borderStyle_ != bsNone) r = InflateRect(r, -2, -2);
  r.Left += 2;
  r.Right -= 2;
  return r;
}

void TMemo::Paint() {
  TCanvas& canvas = *Canvas();
  if (borderStyle_ != bsNone) {
    TRect r = ClientRect();
    canvas.DrawEdge(r, EDGE_SUNKEN, BF_RECT);
  }
  const TRect area = TextRect();
  if (area.IsEmpty()) return;
  canvas.SetFont(Font());
  if (!Enabled()) canvas.Font()->SetColor(clGrayText);
  canvas.Brush()->SetStyle(bsClear);
  const int lineHeight = canvas.TextHeight("Wg");
  const unsigned flags = DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS;
  int y = area.Top;
  auto show = [&](const std::string& text) {
    canvas.DrawText(text, Rect(area.Left, y, area.Right, std::min(y + lineHeight, area.Bottom)), flags);
    y += lineHeight;
  };
  for (int i = 0; i < lines_.Count() && y < area.Bottom; ++i) {
    std::string rest = lines_[i];
    while (wordWrap_ && !rest.empty() && canvas.TextWidth(rest) > area.Width() && y < area.Bottom) {
      // The longest head that fits, cut after its last space when it has one.
      std::size_t fit = 1;
      while (fit < rest.size() && canvas.TextWidth(rest.substr(0, fit + 1)) <= area.Width()) ++fit;
      const std::size_t space = rest.rfind(' ', fit);
      const std::size_t cut = space != std::string::npos && space > 0 ? space + 1 : fit;
      std::string head = rest.substr(0, cut);
      while (!head.empty() && head.back() == ' ') head.pop_back();
      show(head);
      rest.erase(0, cut);
    }
    if (y < area.Bottom) show(rest);
  }
  canvas.Brush()->SetStyle(bsSolid);
}
