; The launcher's list: the files merindo-launcher.exe itself writes in its
; working folder, the install folder. The uninstaller removes these and
; nothing else of the folder, so the product's own data stays. Keep it to
; the launcher's names (app/Brontel.cpp, app/SignedUpdate.cpp,
; app/InstallFile.h); a reinstall touches none of them.

; A file of the launcher and what a run of it may leave beside it: the file
; a download is received in before it takes the file's place
; (kPartialSuffix). A new suffix of the launcher's goes here.
!macro RemoveLauncherFile NAME
  Delete "$INSTDIR\${NAME}"
  Delete "$INSTDIR\${NAME}.download"
!macroend

!macro RemoveLauncherFiles
  ; the product, its companion and its library, downloaded
  !insertmacro RemoveLauncherFile "Merindo_SQL_Dalvessa.Exe"
  !insertmacro RemoveLauncherFile "Quillane.Exe"
  !insertmacro RemoveLauncherFile "ntwdblib.dll"
  ; the server's version file and the one recorded here
  !insertmacro RemoveLauncherFile "Versione.Txt"
  !insertmacro RemoveLauncherFile "VersioneAttuale.Txt"
  ; the release record of signed releases
  !insertmacro RemoveLauncherFile "RilascioAttuale.Txt"
  ; the run log and the one before it
  !insertmacro RemoveLauncherFile "merindo-launcher.log"
  !insertmacro RemoveLauncherFile "merindo-launcher.log.1"
  ; the signed release's description and signature are only received
  Delete "$INSTDIR\Rilascio.Txt.download"
  Delete "$INSTDIR\Rilascio.Sig.download"
!macroend
