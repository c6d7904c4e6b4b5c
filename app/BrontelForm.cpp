// The window's stored description: its components, their places and
// settings, applied as the window is created.
#include "app/Assets.h"
#include "app/Brontel.h"
#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Jpeg.h"
#include "classlib/StdCtrls.h"
#include "classlib/Timer.h"
#include "net/ftp/FtpClient.h"
#include "widgets/FxProgressFill.h"
#include "widgets/FxStatusBar.h"
#include "widgets/MainWindowWidgets.h"

TX_Brontel::TX_Brontel(TComponent* owner) : TForm(owner) {
  LoadStoredSettings();
  DoCreate();  // FormCreate, once every component has its stored settings
}

void TX_Brontel::LoadStoredSettings() {
  BeginLoading();

  // The window: 592 x 256 client pixels (designed at 96 pixels per inch),
  // fixed single border, system menu and minimise box only, centred on the
  // desktop when shown.
  SetCaption("Cavenor S.R.L. Software Update");
  SetClientWidth(592);
  SetClientHeight(256);
  SetBorderStyle(bsSingle);
  SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize});
  SetPosition(poScreenCenter);
  SetColor(clWhite);
  const AssetData windowIcon = WindowIcon(16);  // the program's own icon
  Icon()->LoadFromMemory(windowIcon.data, windowIcon.size);
  Font()->SetName("MS Sans Serif");
  Font()->SetHeight(-11);
  Font()->SetColor(clWindowText);
  Font()->SetCharset(kDefaultCharset);
  Font()->SetStyle({});
  OnCreate = TNotifyEvent(this, &TX_Brontel::FormCreate);

  // The components in stored order, which is their creation and stacking
  // order.
  X_Progressivo = new TFxProgressFill(this);
  X_Progressivo->SetParent(this);
  X_Progressivo->SetBounds(0, 214, 592, 20);
  X_Progressivo->SetAlign(alBottom);
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
    item->SetCaption("");
    item->SubItems()->Add("");
    item->SubItems()->Add("");
    item->SetImageIndex(row == 0 ? 6 : -1);
  }
  ListaProdotti->SetViewStyle(vsReport);
  ListaProdotti->SetTabOrder(0);

  Panel1 = new TPanel(this);
  Panel1->SetParent(this);
  Panel1->SetBounds(4, 103, 286, 107);
  Panel1->SetBevelOuter(bvNone);
  Panel1->SetColor(clWhite);
  Panel1->SetCaption("Panel1");
  Panel1->SetEnabled(false);  // neither it nor its memo takes focus or input
  Panel1->SetTabOrder(1);

  Memo1 = new TMemo(this);
  Memo1->SetParent(Panel1);
  Memo1->SetBounds(5, 7, 273, 93);
  Memo1->SetBorderStyle(bsNone);
  Memo1->SetColor(clWhite);
  const AssetData notice = LegalNotice();
  Memo1->Lines()->SetText(std::string(reinterpret_cast<const char*>(notice.data), notice.size));
  Memo1->SetTabOrder(0);

  Help_Stato = new TFxStatusBar(this);
  Help_Stato->SetParent(this);
  Help_Stato->SetBounds(0, 234, 592, 22);
  Help_Stato->SetAlign(alBottom);
  ApplyMainWindowSettings(*Help_Stato);

  ImageList1 = new TImageList(this);
  ImageList1->SetWidth(16);
  ImageList1->SetHeight(16);
  for (int i = 0; i < kListIconCount; ++i) {
    const AssetData icon = ListIcon(i);
    ImageList1->AddPng(icon.data, icon.size);
  }
  ListaProdotti->SetSmallImages(ImageList1);

  TimerDownload = new TTimer(this);
  TimerDownload->SetEnabled(false);
  TimerDownload->SetInterval(300);
  TimerDownload->SetOnTimer(TNotifyEvent(this, &TX_Brontel::TimerDownloadTimer));

  TimerConnessione = new TTimer(this);
  TimerConnessione->SetInterval(1000);
  TimerConnessione->SetOnTimer(TNotifyEvent(this, &TX_Brontel::TimerConnessioneTimer));

  FtpClient1 = new TFtpClient(this);
  FtpClient1->Port = 21;
  FtpClient1->ReportLevel = 0;
  FtpClient1->Vendor = 2411;
  FtpClient1->ParseList = false;
  FtpClient1->ProxyPort = 0;
  FtpClient1->Passive = false;
  FtpClient1->FirewallType = TFirewallType::FtSite;
  FtpClient1->FWAuthenticate = false;
  FtpClient1->OnConnect = TNotifyEvent(this, &TX_Brontel::FtpClient1Connect);
  FtpClient1->OnDisconnect = TNotifyEvent(this, &TX_Brontel::FtpClient1Disconnect);
  FtpClient1->OnPacketRecvd = TNotifyEvent(this, &TX_Brontel::FtpClient1PacketRecvd);
  FtpClient1->OnPacketSent = TNotifyEvent(this, &TX_Brontel::FtpClient1PacketSent);
  FtpClient1->OnTransactionStart = TNotifyEvent(this, &TX_Brontel::FtpClient1TransactionStart);
  FtpClient1->OnTransactionStop = TNotifyEvent(this, &TX_Brontel::FtpClient1TransactionStop);

  TimerAvvia = new TTimer(this);
  TimerAvvia->SetEnabled(false);
  TimerAvvia->SetInterval(1000);
  TimerAvvia->SetOnTimer(TNotifyEvent(this, &TX_Brontel::TimerAvviaTimer));

  EndLoading();
}
