// The launcher's window and the update run.
//
// One second after the window was created the run connects by FTP with
// server profile "B", changes into the product folder, fetches the server's
// version file and compares its last non-blank line with the local one; when
// they differ it downloads the product, its companion program and the
// database client library. Then, whatever happened, it starts the product and
// ends the program. Every failure is swallowed without a message and leads
// straight to the launch; so does any network wait in which nothing arrives
// for StallTimeOut, and a transfer that receives less than MinRate bytes in
// that time. The three files are received beside the installed ones and put
// in place together only when all arrived (app/InstallFile.h); an install
// that an earlier run left half-done is finished before anything else, and
// the product is never started while the installed files may be mixed. The
// whole check and the downloads run inside the FTP client's Connect, from its
// OnConnect event; every wait pumps messages, so the feedback handlers, the
// icon animation and painting run meanwhile.
#pragma once

#include "app/RunLog.h"
#include "classlib/Forms.h"

#include <cstdint>
#include <optional>
#include <string>

class TFtpClient;
class TFxProgressFill;
class TFxStatusBar;
class TImage;
class TImageList;
class TListView;
class TMemo;
class TPanel;
class TTimer;
class TInstallation;
class TSignedUpdate;

class TX_Brontel : public TForm {
 public:
  // Creates every component, applies the stored settings, then FormCreate.
  explicit TX_Brontel(TComponent* owner);

  // ---- components, in declaration order
  TListView* ListaProdotti = nullptr;
  TImageList* ImageList1 = nullptr;
  TTimer* TimerDownload = nullptr;
  TTimer* TimerConnessione = nullptr;
  TFtpClient* FtpClient1 = nullptr;
  TTimer* TimerAvvia = nullptr;
  TFxProgressFill* X_Progressivo = nullptr;
  TPanel* Panel1 = nullptr;
  TMemo* Memo1 = nullptr;
  TFxStatusBar* Help_Stato = nullptr;
  TImage* Image2 = nullptr;
  // The process's current directory, read once by FormCreate: the base of
  // every local path. At most 255 characters.
  std::string DirCorrente;
  // The list row whose icon TimerDownload animates.
  std::int32_t RigaCorrente = 0;
  // The server profile letter; FormCreate sets "B".
  std::string ProfiloServer;
  // The stall guard, in milliseconds: any network wait of the update run in
  // which nothing arrives for this long fails its step, and the run goes on
  // to the launch as after any other failure (0: the waits have no end).
  // The program entry sets it from the build setting
  // LAUNCHER_STALL_TIMEOUT_S; it becomes FtpClient1's TimeOut.
  std::int32_t StallTimeOut = 0;
  // The rate guard: a transfer that receives fewer bytes than this in a
  // StallTimeOut period fails as a silent one does (0: any byte counts). The
  // program entry sets it from LAUNCHER_MIN_RATE; it becomes FtpClient1's
  // MinRate.
  std::int32_t MinRate = 0;
  // The vendor's public key for signed releases (64 hexadecimal digits), or
  // empty: then the run is as it always was. The program entry sets the key
  // the program was built with (LAUNCHER_RELEASE_KEY).
  std::string ChiaveRilascio;
  // The lowest signed release number accepted (LAUNCHER_RELEASE_MIN).
  std::uint64_t RilascioMinimo = 0;
  // What the run did, for the vendor's support (see app/RunLog.h): closed,
  // and so silent, until OpenLog.
  TRunLog Registro;

  // Opens the run log in DirCorrente and writes the run's first lines: the
  // launcher and its settings, and what FormCreate found of an interrupted
  // install. From then on the run writes a line per step, FtpClient1's
  // protocol lines among them (with ReportLevel 1; the password is never
  // written).
  void OpenLog();

  // ---- handlers, in declaration order
  // The version check and the downloads (run by FtpClient1Connect).
  void LetturaVersione();
  void FormCreate(TObject* Sender);
  void TimerDownloadTimer(TObject* Sender);
  void TimerConnessioneTimer(TObject* Sender);
  void FtpClient1Connect(TObject* Sender);
  void TimerAvviaTimer(TObject* Sender);
  void FtpClient1Disconnect(TObject* Sender);
  void FtpClient1PacketRecvd(TObject* Sender);
  void FtpClient1PacketSent(TObject* Sender);
  void FtpClient1TransactionStart(TObject* Sender);
  void FtpClient1TransactionStop(TObject* Sender);

 private:
  void LoadStoredSettings();
  // Call inside a catch block: logs the failure being handled as the failed
  // step's, and enables the launch.
  void Abandon(const std::string& step);
  // Receives remote into local (ReceiveFile) and logs its size, time and rate.
  void Receive(const std::string& remote, const std::string& local, std::optional<std::uint64_t> limit = {});
  // Text of status panel 0.
  void SetStatus(const std::string& text);
  void SetRow(int row, const std::string& product, const std::string& version);
  // One row of the update: false when it failed (the run then goes to the
  // launch).
  bool DownloadRow(int row, const std::string& remoteRoot, const std::string& version, std::string& updated);
  // Receives remote beside the working folder's file of that name, for the
  // install of the update (Installazione); in a signed update the file is
  // checked too (see app/SignedUpdate.h). A failed transfer removes what it
  // received.
  void DownloadReplacing(const std::string& remote, const std::string& name);

  // The update being downloaded, and its signed release, if any, while
  // LetturaVersione downloads one.
  TInstallation* Installazione = nullptr;
  TSignedUpdate* Rilascio = nullptr;
  // What FormCreate did about an install an earlier run left, for the log.
  std::string Ripristino;
};

// The bar position for a received block: received x 100 / total, truncated
// toward zero, exact for any two 32-bit counts, at most 100; none (the bar
// stays where it is) when received equals total or total is 0.
std::optional<int> ProgressPosition(std::int32_t received, std::int32_t total);

// The program's one window.
extern TX_Brontel* X_Brontel;

// What a launcher is built with (app/CMakeLists.txt).
struct TLauncherSettings {
  std::int32_t StallTimeOutS = 0;  // LAUNCHER_STALL_TIMEOUT_S (0: no guard)
  std::int32_t MinRate = 0;        // LAUNCHER_MIN_RATE, bytes per StallTimeOutS (0: none)
  std::string ReleaseKey;          // LAUNCHER_RELEASE_KEY, empty for none
  std::uint64_t ReleaseMin = 0;    // LAUNCHER_RELEASE_MIN
  bool Passive = false;            // LAUNCHER_FTP_PASSIVE: data connections opened by PASV
  bool Log = false;                // LAUNCHER_LOG: the run log (see TX_Brontel::OpenLog)
};

// The program entry: ends at once (exit code 0, nothing touched) when
// another launcher runs in the current directory, after bringing that one's
// window to the front on Windows; otherwise initialises the application,
// creates the window with the settings (see TX_Brontel::StallTimeOut,
// MinRate, ChiaveRilascio, RilascioMinimo, FtpClient1's Passive, and the run
// log when it is on), runs the message loop until the run ends, frees the
// window. Returns the exit code.
int LauncherMain(const TLauncherSettings& settings);
