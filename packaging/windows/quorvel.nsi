; The Windows installer: a per-user installation (no administrator needed),
; so that the profile beside the programs stays the user's to write.
; The time service is a component an administrator chooses: the installed
; quorvel-cli installs it, elevated (Windows asks), into a folder of its own
; that only administrators may change. "/S /SERVICE" chooses it silently.
; makensis -DVERSION=1.0.0 -DSOURCE=<folder with the files> -DOUTFILE=<setup.exe> [-DAMD64] quorvel.nsi
Unicode true
!ifdef AMD64
  Target amd64-unicode
!endif
!include "MUI2.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Quorvel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Quorvel"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "LegalCopyright" "The Quorvel developers"

!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

Section "Quorvel" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${SOURCE}\Quorvel.exe"
  File "${SOURCE}\Quorcfg.exe"
  File "${SOURCE}\quorvel-cli.exe"
  File "${SOURCE}\README.txt"
  File "${SOURCE}\LICENSES.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Quorvel"
  CreateShortCut "$SMPROGRAMS\Quorvel\Quorvel.lnk" "$INSTDIR\Quorvel.exe"
  ; The settings program edits the profile beside the main program.
  CreateShortCut "$SMPROGRAMS\Quorvel\Quorvel Settings.lnk" "$INSTDIR\Quorcfg.exe" '-profile="$INSTDIR\Quorvel.INI"'

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Quorvel developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quorvel.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Time service (administrator)" SecService
  ; Installing it lets every user of this PC set the clock from a server
  ; they name.
  ExecShellWait "runas" "$INSTDIR\quorvel-cli.exe" "install-service" SW_HIDE
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "TimeService" 1
SectionEnd

LangString DESC_SecMain ${LANG_ENGLISH} "The programs, their Start-menu entries and the uninstaller."
LangString DESC_SecService ${LANG_ENGLISH} "Lets every user of this PC set the clock from a server they name (asks for an administrator)."
LangString DESC_SecMain ${LANG_JAPANESE} "プログラム、スタートメニューの項目とアンインストーラー。"
LangString DESC_SecService ${LANG_JAPANESE} "このPCのすべてのユーザーが指定したサーバーから時計を合わせられるようにします（管理者が必要です）。"
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} $(DESC_SecMain)
  !insertmacro MUI_DESCRIPTION_TEXT ${SecService} $(DESC_SecService)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/SERVICE" $1
  IfErrors +2
    SectionSetFlags ${SecService} ${SF_SELECTED}
FunctionEnd

Section "Uninstall"
  ; The time service goes first, while its installer is still here.
  ReadRegDWORD $0 HKCU "${UNINSTALL_KEY}" "TimeService"
  StrCmp $0 1 0 +2
    ExecShellWait "runas" "$INSTDIR\quorvel-cli.exe" "remove-service" SW_HIDE
  Delete "$INSTDIR\Quorvel.exe"
  Delete "$INSTDIR\Quorcfg.exe"
  Delete "$INSTDIR\quorvel-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSES.txt"
  Delete "$SMPROGRAMS\Quorvel\Quorvel.lnk"
  Delete "$SMPROGRAMS\Quorvel\Quorvel Settings.lnk"
  RMDir "$SMPROGRAMS\Quorvel"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; The profile and the logs are the user's: they stay unless the user says
  ; otherwise (a silent uninstall keeps them).
  MessageBox MB_YESNO|MB_ICONQUESTION "Remove your settings and logs too (Quorvel.INI and its logs)?" /SD IDNO IDNO keep
    Delete "$INSTDIR\Quorvel.INI"
    Delete "$INSTDIR\Quorvel.log"
    Delete "$INSTDIR\Quorvel.sntp.log"
  keep:
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
