// A form laid out as the launcher's main window stores it: client area,
// colour, font, icon and every visible component with its stored settings,
// in stored (creation and stacking) order, with the embedded pictures and
// notice. Tests of the controls and of the display use it where the
// launcher's own window would pull in the update run.
#pragma once

#include "app/Assets.h"
#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/Jpeg.h"
#include "classlib/StdCtrls.h"
#include "widgets/FxProgressFill.h"
#include "widgets/FxStatusBar.h"
#include "widgets/MainWindowWidgets.h"

#include <string>

namespace testsupport {

class TMainWindowForm : public TForm {
 public:
  explicit TMainWindowForm(TComponent* owner) : TForm(owner) {
    BeginLoading();
    SetCaption("Cavenor S.R.L. Software Update");
    SetBounds(426, 342, 592, 256);
    SetBorderStyle(bsSingle);
    SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize});
    SetPosition(poScreenCenter);
    SetColor(clWhite);
    const AssetData icon = WindowIcon(16);
    Icon()->LoadFromMemory(icon.data, icon.size);

    X_Progressivo = new TFxProgressFill(this);
    X_Progressivo->SetParent(this);
    ApplyMainWindowSettings(*X_Progressivo);

    Image2 = new TImage(this);
    Image2->SetParent(this);
    Image2->SetBounds(401, 104, 180, 100);
    Image2->SetStretch(true);
    Image2->SetTransparent(true);
    const AssetData picture = Illustration();
    Image2->Picture()->LoadFromMemory<TJPEGImage>(picture.data, picture.size);

    ListaProdotti = new TListView(this);
    ListaProdotti->SetParent(this);
    ListaProdotti->SetBounds(0, 0, 592, 99);
    ListaProdotti->SetAlign(alTop);
    ListaProdotti->SetBorderStyle(bsNone);
    ListaProdotti->SetViewStyle(vsReport);
    ListaProdotti->SetTabOrder(0);
    struct Column {
      const char* caption;
      int width;
      TAlignment alignment;
    };
    for (const Column& c : {Column{"Stato", 37, taLeftJustify}, Column{"Prodotto", 350, taCenter},
                            Column{"Versione", 200, taCenter}}) {
      TListColumn* column = ListaProdotti->Columns()->Add();
      column->SetCaption(c.caption);
      column->SetWidth(c.width);
      column->SetAlignment(c.alignment);
    }
    for (int row = 0; row < 3; ++row) {
      TListItem* item = ListaProdotti->Items()->Add();
      item->SubItems()->Add("");
      item->SubItems()->Add("");
      item->SetImageIndex(row == 0 ? 6 : -1);
    }

    Panel1 = new TPanel(this);
    Panel1->SetParent(this);
    Panel1->SetBounds(4, 103, 286, 107);
    Panel1->SetBevelOuter(bvNone);
    Panel1->SetColor(clWhite);
    Panel1->SetCaption("Panel1");
    Panel1->SetEnabled(false);
    Panel1->SetTabOrder(1);

    Memo1 = new TMemo(this);
    Memo1->SetParent(Panel1);
    Memo1->SetBounds(5, 7, 273, 93);
    Memo1->SetBorderStyle(bsNone);
    Memo1->SetColor(clWhite);
    Memo1->SetTabOrder(0);
    const AssetData notice = LegalNotice();
    Memo1->Lines()->SetText(std::string(reinterpret_cast<const char*>(notice.data), notice.size));

    Help_Stato = new TFxStatusBar(this);
    Help_Stato->SetParent(this);
    ApplyMainWindowSettings(*Help_Stato);

    ImageList1 = new TImageList(this);
    for (int i = 0; i < kListIconCount; ++i) {
      const AssetData png = ListIcon(i);
      ImageList1->AddPng(png.data, png.size);
    }
    ListaProdotti->SetSmallImages(ImageList1);
    EndLoading();
    DoCreate();
  }

  TListView* ListaProdotti = nullptr;
  TImageList* ImageList1 = nullptr;
  TFxProgressFill* X_Progressivo = nullptr;
  TPanel* Panel1 = nullptr;
  TMemo* Memo1 = nullptr;
  TFxStatusBar* Help_Stato = nullptr;
  TImage* Image2 = nullptr;
};

}  // namespace testsupport
