; The customer's installer of the launcher: per user, without administrator
; rights, into a folder the launcher can write, since the launcher downloads
; and replaces the product's files in its working folder. scripts/package-windows
; compiles it once per Windows build:
;
;   makensis -DPRODUCT_NSH=<build>/packaging/windows/Product.nsh -DARCH=x86|x64
;            -DLAUNCHER=<merindo-launcher.exe to pack> -DOUTFILE=<installer>
;            [-DSIGN=<command that signs the file named as its argument>]
;            packaging/windows/Merindo.nsi
;
; /S installs silently, /D=<folder> (last, unquoted) names the folder.

!if "${ARCH}" == "x64"
  Target amd64-unicode
!else if "${ARCH}" == "x86"
  Target x86-unicode
!else
  !error "ARCH is x86 or x64, not ${ARCH}"
!endif

!include "${PRODUCT_NSH}"
!include "LauncherFiles.nsh"
!include MUI2.nsh
!include FileFunc.nsh

!define LAUNCHER_EXE "merindo-launcher.exe"
!define UNINSTALLER "Disinstalla.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
; Windows' folder for programs installed per user.
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; A reinstall goes where the last install went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
BrandingText "${COMPANY}"
ManifestSupportedOS all

; The uninstaller is signed before it is packed, so that what the customer
; runs to uninstall is signed as the installer is.
!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
!endif

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "Questo programma installerà ${PRODUCT} ${VERSION} per l'utente corrente: \
  non servono i diritti di amministratore.$\r$\n$\r$\nAl primo avvio ${PRODUCT} scaricherà \
  l'ultima versione del programma.$\r$\n$\r$\nPer proseguire, seleziona 'Avanti'."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Avvia ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartLauncher
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Italian"

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileDescription" "Installazione di ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "LegalCopyright" "© ${COMPANY}"

; Over an earlier install this replaces the launcher and the uninstaller and
; leaves every file the launcher wrote (product, version files, release
; record, log) as it was.
Section
  ; The shortcuts' working folder is the output folder: the launcher works in
  ; its current folder.
  SetOutPath "$INSTDIR"
  File "/oname=${LAUNCHER_EXE}" "${LAUNCHER}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${LAUNCHER_EXE}"
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\${LAUNCHER_EXE}"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${LAUNCHER_EXE},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, the folder as it is now (with the product after a reinstall).
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function StartLauncher
  ; Exec starts the program in the output folder.
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\${LAUNCHER_EXE}"'
FunctionEnd

Section Uninstall
  Delete "$INSTDIR\${LAUNCHER_EXE}"
  !insertmacro RemoveLauncherFiles
  Delete "$INSTDIR\${UNINSTALLER}"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Whatever else the folder holds is the product's own data: the folder goes
  ; only when nothing is left, and not while it is the current folder.
  SetOutPath "$TEMP"
  RMDir "$INSTDIR"
SectionEnd
