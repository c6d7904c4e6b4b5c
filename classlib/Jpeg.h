// JPEG pictures, decoded with libjpeg.
#pragma once

#include "classlib/Graphics.h"

class TJPEGImage : public TGraphic {
 public:
  TJPEGImage();
  ~TJPEGImage() override;

  int Width() const override { return bitmap_.Width(); }
  int Height() const override { return bitmap_.Height(); }
  // Decodes a JPEG file's bytes (baseline or progressive; grey-scale, colour
  // or CMYK). Raises EInvalidGraphic "JPEG image: <libjpeg's reason>" for
  // damaged or truncated data, keeping the previous picture.
  void LoadFromMemory(const unsigned char* data, std::size_t size) override;
  // Scaled to rect: reduced by averaging (SmoothStretch), copied when the
  // sizes match. A JPEG has no transparent colour, so Transparent changes
  // nothing.
  void Draw(TCanvas& canvas, const TRect& rect) override;

  // The decoded pixels, opaque.
  TBitmap* Bitmap() { return &bitmap_; }
  // Whether the file was stored progressively.
  bool ProgressiveEncoding() const { return progressive_; }

  void Assign(const TPersistent* source) override;

 private:
  TBitmap bitmap_;
  TBitmap scaled_;  // the picture at the size it was last drawn at
  bool scaledValid_ = false;
  bool progressive_ = false;
};
