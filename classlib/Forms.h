// The form: a top-level control that stands for a platform window.
//
// The window exists from construction (hidden) to destruction. Its client
// area is the form's surface: Width and Height of a form are its client size
// (the frame around it belongs to the desktop), Left and Top the window's
// place on the desktop. What the controls draw reaches the window as it
// happens (SurfaceChanged copies the area to it); Invalidate asks the
// platform for a WM_PAINT, in which the form runs the paint cycle and copies
// what the platform asked for.
#pragma once

#include "classlib/Application.h"
#include "classlib/Controls.h"

#include <cstdint>

struct HWND__;
struct HICON__;

enum TBorderIcon : std::uint8_t { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;

// Where the window appears when shown: where its Left and Top say
// (poDesigned), where the desktop puts it (poDefault), or centred on the
// desktop (poScreenCenter, poDesktopCenter: one screen here).
enum TPosition : std::uint8_t { poDesigned, poDefault, poScreenCenter, poDesktopCenter };

// The window's icon: a picture with alpha, given as a PNG file's bytes.
class TIcon : public TGraphic {
 public:
  TIcon();
  ~TIcon() override;
  int Width() const override { return bitmap_.Width(); }
  int Height() const override { return bitmap_.Height(); }
  // Raises EInvalidGraphic for damaged data, keeping the previous icon.
  void LoadFromMemory(const unsigned char* data, std::size_t size) override;
  void Draw(TCanvas& canvas, const TRect& rect) override;
  const TBitmap* Bitmap() const { return &bitmap_; }

 private:
  TBitmap bitmap_;
};

class TForm : public TWinControl, public TMainWindow {
 public:
  // Creates the window, hidden: bsSizeable with system menu, minimise and
  // maximise boxes, poDesigned, clBtnFace, the default font. Raises
  // EOutOfResources "Error creating window" when the platform refuses.
  explicit TForm(TComponent* owner);
  ~TForm() override;

  // The platform window.
  HWND__* Handle() const { return handle_; }

  // The window's frame and caption buttons. bsSingle with biSystemMenu and
  // biMinimize gives a caption, a system menu and a minimise box, neither a
  // maximise box nor a sizing frame. Dialog and tool-window frames carry no
  // minimise or maximise box; biHelp is stored only.
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons value);

  TPosition Position() const { return position_; }
  void SetPosition(TPosition value) { position_ = value; }

  void SetClientWidth(int value) { SetWidth(value); }
  void SetClientHeight(int value) { SetHeight(value); }
  // Moves and sizes the window along.
  void SetBounds(int left, int top, int width, int height) override;

  // Given to the window (small and large icon) on every change.
  TIcon* Icon() { return &icon_; }

  // Called by DoCreate.
  TNotifyEvent OnCreate;

  // Shows the window, placed by Position, and paints it at once. The
  // application calls it for its main window when its loop starts.
  void ShowMainWindow() override;
  // Ends the application when this is its main form; hides the form
  // otherwise. A close request from the desktop arrives here unless the
  // system menu has lost its Close command.
  void Close();

  bool IsForm() const override { return true; }
  bool IsMaximized() const override;

 protected:
  // A form class calls it at the end of its constructor, once its stored
  // settings are applied: fires OnCreate. An exception from the handler goes
  // to the application's handler, and the form stays.
  void DoCreate();

  void TextChanged() override;
  void VisibleChanged() override;
  void SurfaceChanged(const TRect& area) override;
  void PaintRequested() override;

 private:
  struct WindowProc;

  std::intptr_t WndProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
  void UpdateStyle();
  void IconChanged(TObject* sender);
  void CopyToWindow(void* dc, const TRect& area);

  HWND__* handle_ = nullptr;
  HICON__* iconHandle_ = nullptr;
  TBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_{biSystemMenu, biMinimize, biMaximize};
  TPosition position_ = poDesigned;
  TIcon icon_;
  bool syncing_ = false;  // the window itself reported a new size
};
