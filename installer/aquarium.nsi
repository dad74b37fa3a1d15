; The Aquarium screen saver's installer, built with makensis (Debian's nsis):
;   makensis -DSCR64=path/aquarium.scr -DSCR32=path/aquarium.scr -DOUTFILE=setup.exe aquarium.nsi
; Installs for the current user only (no administrator rights): the screen
; saver of the machine's word size and a read-me into
; %LOCALAPPDATA%\Programs\Aquarium, selects it as the user's screen saver,
; and registers an uninstaller that removes all of it again, gives back the
; screen saver chosen before, and removes the saver's settings.
Unicode true
!include "x64.nsh"

!define NAME "Aquarium"
!define VERSION "1.0.0"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Aquarium"
!define SETTINGS_KEY "Software\marevista_20110817"
!define DESKTOP_KEY "Control Panel\Desktop"

Name "${NAME}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Aquarium"
SetCompressor /SOLID lzma
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${NAME}"
VIAddVersionKey "FileDescription" "${NAME} screen saver installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "Aquarium developers"
VIAddVersionKey "LegalCopyright" "Aquarium developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  ${If} ${RunningX64}
    File "/oname=aquarium.scr" "${SCR64}"
  ${Else}
    File "/oname=aquarium.scr" "${SCR32}"
  ${EndIf}
  File "/oname=README.txt" "README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The screen saver chosen before, given back by the uninstaller.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "PreviousScreenSaver" "$0"
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$INSTDIR\aquarium.scr"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME} screen saver"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Aquarium developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\aquarium.scr,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ; Our screen saver is replaced by the one chosen before, if any.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 == "$INSTDIR\aquarium.scr"
    ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "PreviousScreenSaver"
    ${If} $1 == ""
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${Else}
      WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$1"
    ${EndIf}
  ${EndIf}
  Delete "$INSTDIR\aquarium.scr"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
