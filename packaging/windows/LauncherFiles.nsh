; The launcher's list: the files merindo-launcher.exe itself writes in its
; working folder, the install folder. The uninstaller removes these and
; nothing else of the folder, so the product's own data stays; a reinstall
; touches none of them. Keep it to the launcher's names (app/InstallFile.h,
; app/Brontel.cpp, app/SignedUpdate.cpp, the run log's).

; A file of the launcher and what a run may leave beside it: the file a
; download is received in (kPartialSuffix) and the installed file kept aside
; while an install is in progress (kKeptSuffix). A new suffix goes here.
!macro RemoveLauncherFile NAME
  Delete "$INSTDIR\${NAME}"
  Delete "$INSTDIR\${NAME}.download"
  Delete "$INSTDIR\${NAME}.kept"
!macroend

!macro RemoveLauncherFiles
  ; the product, its companion and its library
  !insertmacro RemoveLauncherFile "Merindo_SQL_Dalvessa.Exe"
  !insertmacro RemoveLauncherFile "Quillane.Exe"
  !insertmacro RemoveLauncherFile "ntwdblib.dll"
  ; the server's version file and the one recorded here
  !insertmacro RemoveLauncherFile "Versione.Txt"
  !insertmacro RemoveLauncherFile "VersioneAttuale.Txt"
  ; the release record of signed releases
  !insertmacro RemoveLauncherFile "RilascioAttuale.Txt"
  ; the journal of an install in progress (kJournalName)
  !insertmacro RemoveLauncherFile "InstallazioneInCorso.Txt"
  ; the run log and the one before it
  !insertmacro RemoveLauncherFile "merindo-launcher.log"
  !insertmacro RemoveLauncherFile "merindo-launcher.log.1"
  ; the signed release's description and signature, only ever received
  Delete "$INSTDIR\Rilascio.Txt.download"
  Delete "$INSTDIR\Rilascio.Sig.download"
!macroend
