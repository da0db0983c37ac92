; The Kelvane installer for one architecture, made by packaging/windows/CMakeLists.txt with
;   makensis -DVERSION=1.0.0 -DARCH=x64|x86 -DSTAGE=<folder of the files> -DICON=<.ico> -DOUTFILE=<.exe>
; A per-user install that needs no administrator rights: the user's own programs folder, Start menu
; and Uninstall key (Settings, Apps). /S installs and uninstalls silently; the uninstaller keeps the
; user's settings unless its "My Kelvane settings" box is ticked, or /REMOVESETTINGS is given.
Unicode true
!if "${ARCH}" == "x64"
  Target amd64-unicode
!else
  Target x86-unicode
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define PUBLISHER "Orvalle Software Inc."
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvane"
!define SETTINGS_KEY "Software\${PUBLISHER}\Kelvane"

Name "Kelvane"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Kelvane"
; An update goes where the last install went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Kelvane ${VERSION} (${ARCH})"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Kelvane"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "Kelvane ${VERSION} setup (${ARCH})"
VIAddVersionKey "LegalCopyright" "Copyright 2026 ${PUBLISHER}"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\kelvane.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Kelvane"

!insertmacro MUI_PAGE_LICENSE "${STAGE}/license.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
; The box that removes the user's settings too; left alone, they are kept for a later install.
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_COMPONENTSPAGE_TEXT_TOP "Kelvane will be removed from your computer. What you entered in it is kept, for a later install, unless you tick My Kelvane settings."
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Kelvane" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}/kelvane.exe"
  File "${STAGE}/kelvane-cli.exe"
  File "${STAGE}/kelvane.html"
  File "${STAGE}/license.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Kelvane.lnk" "$INSTDIR\kelvane.exe" "" "$INSTDIR\kelvane.exe" 0 \
    SW_SHOWNORMAL "" "Generates repetitive text from a block, variables and counters"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Kelvane"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kelvane.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "https://www.orvalle.example/"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as Settings, Apps shows it.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "un.Kelvane and its Start menu entry" UnSecProgram
  SectionIn RO
  StrCpy $0 "kelvane.exe"
  Call un.EnsureClosed
  StrCpy $0 "kelvane-cli.exe"
  Call un.EnsureClosed
  Delete "$SMPROGRAMS\Kelvane.lnk"
  Delete "$INSTDIR\kelvane.exe"
  Delete "$INSTDIR\kelvane-cli.exe"
  Delete "$INSTDIR\kelvane.html"
  Delete "$INSTDIR\license.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: a folder the user chose may hold files of theirs.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.My Kelvane settings" UnSecSettings
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\${PUBLISHER}"
SectionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${UnSecSettings} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

; Stops the uninstall, before anything is removed, while the program $0 of the install folder runs
; (a running program's file cannot be opened for writing); asks to close it and retry first, unless
; silent.
Function un.EnsureClosed
  retry:
  ${If} ${FileExists} "$INSTDIR\$0"
    ClearErrors
    FileOpen $1 "$INSTDIR\$0" a
    ${If} ${Errors}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$0 is still running. Close it, then press Retry." \
        /SD IDCANCEL IDRETRY retry
      Abort "$0 is still running: Kelvane was not removed."
    ${EndIf}
    FileClose $1
  ${EndIf}
FunctionEnd
