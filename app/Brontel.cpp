// The update run and its feedback.
#include "app/Brontel.h"

#include "app/InstallFile.h"
#include "app/ServerProfiles.h"
#include "app/SignedUpdate.h"
#include "app/VersionFile.h"
#include "classlib/Application.h"
#include "classlib/ComCtrls.h"
#include "classlib/Screen.h"
#include "classlib/Timer.h"
#include "net/ftp/FtpClient.h"
#include "platform/CurrentDirectory.h"
#include "platform/SingleInstance.h"
#include "platform/Win32.h"
#include "widgets/FxProgressFill.h"
#include "widgets/FxStatusBar.h"

#include <iterator>

TX_Brontel* X_Brontel = nullptr;

namespace {

// The files of the update: where each lies below the remote root and the
// local directory, and what its row shows.
struct ProductFile {
  const char* remote;  // after the remote root
  const char* local;   // the file's name in DirCorrente
  const char* name;    // the row's name before any download
  const char* downloading;
  const char* done;
};

constexpr ProductFile kFiles[3] = {
    {"/Merindo/Merindo_SQL_Dalvessa.Exe", "Merindo_SQL_Dalvessa.Exe", "Merindo", "Merindo Download in Corso .....",
     "Merindo Download Terminato Correttamente"},
    {"/Merindo/Quillane.Exe", "Quillane.Exe", "Quillane.exe", "Quillane.exe Download in Corso .....",
     "Quillane.exe Download Terminato Correttamente"},
    {"/Merindo/ntwdblib.dll", "ntwdblib.dll", "ntwdblib.dll", "ntwdblib.dll Download in Corso .....",
     "ntwdblib.dll Download Terminato Correttamente"},
};

constexpr const char* kVersionRemote = "/Merindo/Versione.Txt";
constexpr const char* kVersionLocal = "\\Versione.Txt";
constexpr const char* kCurrentVersionLocal = "\\VersioneAttuale.Txt";
constexpr const char* kLaunchPath = "\\Merindo_SQL_Dalvessa.exe";
constexpr const char* kProductFolder = "/Merindo";

// The text of the failure being handled (inside a catch block).
std::string CurrentFailure() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "an unknown failure";
  }
}

// What the log says of a setting that may be off.
std::string Limit(std::int64_t value, const char* unit) {
  return value ? IntToStr(value) + unit : std::string("off");
}

}  // namespace

void TX_Brontel::Abandon(const std::string& step) {
  std::string failure = CurrentFailure();
  // What the socket component's own texts leave out.
  if (failure == "Connection Failed") {
    std::string reason;
    FtpClient1->LookupErrorMessage(static_cast<std::uint16_t>(FtpClient1->LastErrorNo), reason);
    if (!reason.empty()) failure += " (" + reason + ")";
  } else if (failure == "Null Remote Address") {
    failure += " (no address found for " + FtpClient1->Host + ")";
  }
  // The guards end a wait as a cancel does; say which ended it.
  const std::string seconds = IntToStr(StallTimeOut / 1000) + " s";
  if (FtpClient1->TimedOut) failure += " (stall guard: no reply for " + seconds + ")";
  else if (FtpClient1->DataTimedOut())
    failure += " (stall guard: less than " + IntToStr(MinRate ? MinRate : 1) + " bytes in " + seconds + ")";
  Registro.Line("failed", step + ": " + failure);
  TimerAvvia->SetEnabled(true);
}

void TX_Brontel::Receive(const std::string& remote, const std::string& local, std::optional<std::uint64_t> limit) {
  const DWORD start = GetTickCount();
  ReceiveFile(*FtpClient1, remote, local, limit);
  const unsigned ms = static_cast<unsigned>(GetTickCount() - start);
  const std::int64_t bytes = FtpClient1->BytesCaptured();
  Registro.Line("download", Format("%s, %lld bytes in %u.%03u s (%s)", remote.c_str(), static_cast<long long>(bytes),
                                   ms / 1000, ms % 1000,
                                   ms ? (IntToStr(bytes * 1000 / ms / 1024) + " KiB/s").c_str() : "at once"));
}

void TX_Brontel::OpenLog() {
  Registro.Open(DirCorrente);
  Registro.Line("start", Format("Merindo launcher %s in %s; %s mode, stall guard %s, rate guard %s, release key %s",
                                LAUNCHER_VERSION, DirCorrente.c_str(), FtpClient1->Passive ? "passive" : "active",
                                Limit(StallTimeOut / 1000, " s").c_str(),
                                Limit(MinRate, " bytes").c_str(),
                                ChiaveRilascio.empty() ? "none" : ChiaveRilascio.c_str()));
  if (!Ripristino.empty()) Registro.Line("recover", Ripristino);
  // The client's protocol lines: the commands it sends (the password
  // replaced) and the replies it judges.
  FtpClient1->ReportLevel = 1;
  FtpClient1->OnStatus = [this](TComponent*, const std::string& text) {
    Registro.Line("ftp", text.compare(0, 4, "PASS") == 0 ? std::string("PASS ****") : text);
  };
}

void TX_Brontel::SetStatus(const std::string& text) { Help_Stato->Panels()->Items(0)->SetText(text); }

void TX_Brontel::SetRow(int row, const std::string& product, const std::string& version) {
  TListItem* item = ListaProdotti->Items()->Item(row);
  item->SubItems()->SetStrings(0, product);
  item->SubItems()->SetStrings(1, version);
}

void TX_Brontel::FormCreate(TObject*) {
  // The directory as the system returns it in 260 characters, cut to 255.
  // One that does not fit is taken as "." (this directory, relatively), so
  // that the local files are never looked for at the root of the disk; so
  // is one whose name the ANSI code page cannot hold (Greek letters on a
  // western Windows): its name comes with '?' or look-alike letters, which
  // lead to no folder, and every file step and the product's start would
  // fail, while the relative paths reach the files, and the product started
  // by one gets this folder as its own.
  char directory[260] = {};
  const DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
  DirCorrente = length > 0 && length < sizeof directory && platform::CurrentDirectoryHasAnsiName()
                    ? ShortString(directory)
                    : std::string(".");

  // Before anything else: an install that an earlier run left half-done is
  // rolled back to the files it kept (or, if every file was in place, its
  // kept files go). When that fails the journal stays, and the launch will
  // not start a product whose files may be mixed.
  try {
    Ripristino = TInstallation::FinishInterrupted(DirCorrente);
  } catch (...) {
    Ripristino = "an interrupted install could not be finished, the product will not be started: " + CurrentFailure();
  }

  // No window commands: no restore, minimise, maximise, size, move or close,
  // and no separator.
  HMENU menu = GetSystemMenu(Handle(), FALSE);
  for (int command : {SC_MAXIMIZE, SC_MINIMIZE, SC_RESTORE, 0, SC_SIZE, SC_CLOSE, SC_MOVE})
    DeleteMenu(menu, static_cast<UINT>(command), MF_BYCOMMAND);

  Application->SetTitle("Cavenor S.R.L. Software Update");
  ProfiloServer = "B";
}

void TX_Brontel::TimerConnessioneTimer(TObject*) {
  TimerConnessione->SetEnabled(false);
  if (FtpClient1->Connected) {
    try {
      FtpClient1->Disconnect();
    } catch (...) {
      TimerAvvia->SetEnabled(true);
    }
    return;
  }
  SetStatus(" Connessione in Corso .....");
  FtpClient1->Port = 21;
  if (ProfiloServer == "A") {
    FtpClient1->Host = ProfileA.Host;
    FtpClient1->UserID = ProfileA.UserID;
    FtpClient1->Password = ProfileA.Password;
  }
  if (ProfiloServer == "B") {
    FtpClient1->Host = ProfileB.Host;
    FtpClient1->UserID = ProfileB.UserID;
    FtpClient1->Password = ProfileB.Password;
  }
  FtpClient1->Vendor = 2411;
  // Not 0 (no end to any wait): a server that stops answering would hold the
  // launcher, and the user, away from the product for ever.
  FtpClient1->TimeOut = StallTimeOut;
  FtpClient1->MinRate = MinRate;
  Registro.Line("connect", FtpClient1->Host + " port " + IntToStr(FtpClient1->Port));
  try {
    FtpClient1->Connect();
  } catch (...) {
    Abandon("connection");
  }
}

void TX_Brontel::FtpClient1Connect(TObject*) {
  SetStatus(" Connesso");
  LetturaVersione();
}

void TX_Brontel::LetturaVersione() {
  std::string RadiceRemota;
  if (ProfiloServer == "A") RadiceRemota = ProfileA.RemoteRoot;
  if (ProfiloServer == "B") RadiceRemota = ProfileB.RemoteRoot;
  std::string Aggiornato = "N";
  SetStatus(" Verifica Versione in Corso .....");
  for (int row = 0; row < 3; ++row) SetRow(row, kFiles[row].name, "");

  // Each guard is its own: a failure enables the launch and ends the check.
  try {
    if (FtpClient1->Connected) FtpClient1->ChangeDirectory(RadiceRemota);
  } catch (...) {
    Abandon("CWD " + RadiceRemota);
    return;
  }
  try {
    if (FtpClient1->Connected) FtpClient1->ChangeDirectory("Merindo");
  } catch (...) {
    Abandon("CWD Merindo");
    return;
  }
  try {
    if (FtpClient1->Connected) FtpClient1->SetTransferType(TypeLocal8);
    if (FtpClient1->Connected) Receive(RadiceRemota + kVersionRemote, DirCorrente + kVersionLocal, kMaxVersionFileBytes);
  } catch (...) {
    Abandon("the version file");
    return;
  }

  // The comparison has no guard of its own: a file error leaves through
  // OnConnect, Connect closes the connection and the connect guard launches.
  std::string VersioneServer, VersioneLocale;
  try {
    VersioneServer = ReadVersionFile(DirCorrente + kVersionLocal);
    if (!FileExists(DirCorrente + kCurrentVersionLocal))
      TFileStream(DirCorrente + kCurrentVersionLocal, TFileStream::Mode::Create);
    VersioneLocale = ReadVersionFile(DirCorrente + kCurrentVersionLocal);
  } catch (...) {
    Registro.Line("failed", "the version files: " + CurrentFailure());
    throw;
  }
  Registro.Line("version", "server \"" + VersioneServer + "\", installed \"" + VersioneLocale + "\": " +
                               (VersioneServer != VersioneLocale ? "update" : "no update"));

  if (VersioneServer != VersioneLocale) {
    // Signed releases: the vendor's description is checked before any file
    // comes. Signed or not, the files go in place together once all three
    // arrived (and passed); a failed install leaves every installed file as
    // it was and, like a failed row, no final status text.
    std::optional<TSignedUpdate> release;
    if (!ChiaveRilascio.empty()) {
      try {
        release.emplace(*FtpClient1, ChiaveRilascio, DirCorrente, RilascioMinimo);
        release->Fetch(RadiceRemota + kProductFolder, VersioneServer);
      } catch (...) {
        Abandon("release refused");
        return;
      }
      Registro.Line("release", Format("number %llu of version %s accepted",
                                      static_cast<unsigned long long>(release->Description().Number),
                                      release->Description().Version.c_str()));
    }
    TInstallation installation(DirCorrente, std::size(kFiles));
    Installazione = &installation;
    Rilascio = release ? &*release : nullptr;
    const struct Forget {
      TX_Brontel& form;
      ~Forget() {
        form.Installazione = nullptr;
        form.Rilascio = nullptr;
      }
    } forget{*this};
    const std::string versions[3] = {VersioneServer, "Versione 1.0", "Versione 8.00.194"};
    for (int row = 0; row < 3; ++row) {
      if (!DownloadRow(row, RadiceRemota, versions[row], Aggiornato)) return;
    }
    const std::size_t received = installation.ReceivedCount();
    try {
      if (release) release->Install(installation);
      else installation.Install();
    } catch (...) {
      Abandon("install");
      return;
    }
    if (received)
      Registro.Line("install", IntToStr(static_cast<std::int64_t>(received)) + " files in place" +
                                   (release ? ", release recorded" : ""));
  }

  X_Progressivo->SetPosition(0);
  if (Aggiornato == "S") SetStatus(" Aggiornamento Terminato Correttamente");
  if (Aggiornato == "N") SetStatus(" Nessuna Nuova Versione");
  TimerAvvia->SetEnabled(true);
}

bool TX_Brontel::DownloadRow(int row, const std::string& remoteRoot, const std::string& version,
                             std::string& updated) {
  const ProductFile& file = kFiles[row];
  RigaCorrente = row;
  TimerDownload->SetEnabled(true);
  SetRow(row, file.downloading, version);
  try {
    Screen->SetCursor(crAppStart);
    ListaProdotti->Items()->Item(row)->SetImageIndex(1);
    if (FtpClient1->Connected) FtpClient1->SetTransferType(TypeLocal8);
    if (FtpClient1->Connected) DownloadReplacing(remoteRoot + file.remote, file.local);
    Screen->SetCursor(crDefault);
    TimerDownload->SetEnabled(false);
    ListaProdotti->Items()->Item(row)->SetImageIndex(0);
    MessageBeep(MB_ICONASTERISK);
    updated = "S";
    SetRow(row, file.done, version);
  } catch (...) {
    Abandon(std::string("download of ") + file.local);
    return false;
  }
  return true;
}

void TX_Brontel::DownloadReplacing(const std::string& remote, const std::string& name) {
  const std::string partial = Installazione->Partial(name);
  if (Rilascio) Rilascio->Download(remote, partial);
  else Receive(remote, partial);
  Installazione->Received(name);
}

namespace {

// The system's error number for a failed ShellExecuteA: its result, except
// for the shell's own numbers, which mean other things as error numbers.
DWORD StartError(UINT_PTR result) {
  switch (result) {
    case 0: return ERROR_NOT_ENOUGH_MEMORY;  // out of memory or resources
    case SE_ERR_SHARE: return ERROR_SHARING_VIOLATION;
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC: return ERROR_NO_ASSOCIATION;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY: return ERROR_DDE_FAIL;
    case SE_ERR_DLLNOTFOUND: return ERROR_DLL_NOT_FOUND;
    default: return static_cast<DWORD>(result);
  }
}

}  // namespace

void TX_Brontel::TimerAvviaTimer(TObject*) {
  SetStatus(" Attendere Avvio Procedura .......");
  const std::string launchPath = DirCorrente + kLaunchPath;
  if (!FileExists(launchPath)) {
    Registro.Line("launch", launchPath + " not found, nothing started");
  } else if (TInstallation::Mixed(DirCorrente)) {
    Registro.Line("launch", "not started: the journal of an install says its files may be mixed");
  } else {
    const auto result =
        reinterpret_cast<UINT_PTR>(ShellExecuteA(Handle(), "Open", launchPath.c_str(), "", "", SW_HIDE));
    // A product that does not start is said before the window goes: else
    // the user sees it vanish and nothing come.
    if (result <= 32) {
      const std::string reason = SysErrorMessage(StartError(result));
      Registro.Line("launch", launchPath + " failed to start: " + reason);
      // The box's own message loop would run this handler again.
      TimerAvvia->SetEnabled(false);
      const std::string text = "Impossibile avviare Merindo: " + reason;
      MessageBoxA(Handle(), text.c_str(), Application->Title().c_str(), MB_OK | MB_ICONHAND);
    } else {
      Registro.Line("launch", launchPath + " started");
    }
  }
  Registro.Line("end", "the launcher ends");
  Application->Terminate();
}

void TX_Brontel::FtpClient1Disconnect(TObject*) { SetStatus(" Disconnesso"); }

void TX_Brontel::FtpClient1TransactionStart(TObject*) { SetStatus(" Inizio Trasnsazione"); }

void TX_Brontel::FtpClient1TransactionStop(TObject*) { SetStatus(" Fine Trasnsazione"); }

namespace {

// " <count> Bytes di <total><ending>" with the regional thousands separator.
std::string BytesText(std::int32_t count, std::int32_t total, const char* ending) {
  std::string text = " ";
  text += FormatThousands(count);
  text += " Bytes di ";
  text += FormatThousands(total);
  text += ending;
  return text;
}

}  // namespace

std::optional<int> ProgressPosition(std::int32_t received, std::int32_t total) {
  if (received == total || total == 0) return std::nullopt;
  const std::int64_t percent = static_cast<std::int64_t>(received) * 100 / total;
  return static_cast<int>(percent > 100 ? 100 : percent);
}

void TX_Brontel::FtpClient1PacketRecvd(TObject*) {
  const std::int32_t received = FtpClient1->BytesRecvd();
  const std::int32_t total = FtpClient1->BytesTotal;
  if (const auto position = ProgressPosition(received, total)) X_Progressivo->SetPosition(*position);
  SetStatus(BytesText(received, total, " Ricevuti"));
}

// The client never raises OnPacketSent (nothing is uploaded). Were it
// raised, the sent-bytes text goes to the status bar's only panel: a panel 1
// does not exist, and addressing it would fail inside an event handler.
void TX_Brontel::FtpClient1PacketSent(TObject*) {
  SetStatus(BytesText(FtpClient1->BytesSent(), FtpClient1->BytesTotal, " Trasferiti"));
}

void TX_Brontel::TimerDownloadTimer(TObject*) {
  TListItem* item = ListaProdotti->Items()->Item(RigaCorrente);
  const int index = item->ImageIndex();
  if (index >= 1 && index <= 5) item->SetImageIndex(index == 5 ? 1 : index + 1);
}

int LauncherMain(const TLauncherSettings& settings) {
  // Two launchers in one folder would download into the same files, and one
  // could put in place what the other still writes: a second one leaves the
  // run, the files and the product's start to the first.
  platform::InstanceClaim claim;
  if (!claim.Held()) return 0;
  try {
    Application->Initialize();
    while (!X_Brontel) Application->CreateForm(X_Brontel);
    claim.SetWindow(X_Brontel->Handle());
    X_Brontel->StallTimeOut = settings.StallTimeOutS * 1000;
    X_Brontel->MinRate = settings.MinRate;
    X_Brontel->ChiaveRilascio = settings.ReleaseKey;
    X_Brontel->RilascioMinimo = settings.ReleaseMin;
    X_Brontel->FtpClient1->Passive = settings.Passive;
    if (settings.Log) X_Brontel->OpenLog();
    Application->Run();
  } catch (const std::exception& e) {
    Application->HandleException(nullptr, e);
    Application->DestroyComponents();
    return 1;
  }
  Application->DestroyComponents();
  X_Brontel = nullptr;
  return 0;
}
