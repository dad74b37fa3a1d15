; The Aquarium screen saver's installer, built with makensis (Debian's nsis):
;   makensis -DSCR64=path/aquarium.scr -DSCR32=path/aquarium.scr -DOUTFILE=setup.exe aquarium.nsi
; Installs the screen saver of the machine's word size in one of two ways,
; chosen on the first page or with /AllUsers or /CurrentUser (the default):
; - for the current user (no administrator rights): the screen saver, a
;   read-me and the uninstaller in %LOCALAPPDATA%\Programs\Aquarium;
; - for everyone (administrator): the screen saver in the system folder of
;   the machine's word size, where the Screen Saver Settings list always
;   finds it, and the read-me and the uninstaller in Program Files\Aquarium.
; Either way it becomes the installing user's screen saver, the Start menu
; gets "Aquarium settings" (and, for the current user, an entry that makes
; it the screen saver again: the list shows a screen saver outside the
; system folders only while it is the chosen one), and the uninstaller
; removes all of it again, gives back the screen saver chosen before and
; removes the user's settings of the saver. The uninstaller takes the same
; switches; without one it removes the installation it belongs to.
Unicode true

!define NAME "Aquarium"
!define VERSION "1.0.0"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Aquarium"
!define SETTINGS_KEY "Software\marevista_20110817"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SETTINGS_LINK "Aquarium settings.lnk"
!define CHOOSE_LINK "Make Aquarium the screen saver.lnk"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_DEFAULT_CURRENTUSER
!define MULTIUSER_INSTALLMODE_INSTDIR "Aquarium"
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODEPAGE_TEXT_TOP "Install Aquarium only for you, or for everyone on this computer.$\r$\n$\r$\nInstalled for you, it is in the Screen Saver Settings list only while it is your screen saver; after you choose another one, the Start menu's $\"Make Aquarium the screen saver$\" brings it back. Installed for everyone, it stays in the list."
!define MULTIUSER_INSTALLMODEPAGE_TEXT_ALLUSERS "For everyone on this computer (needs administrator rights)"
!define MULTIUSER_INSTALLMODEPAGE_TEXT_CURRENTUSER "Only for me"
!include "MultiUser.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

Name "${NAME}"
OutFile "${OUTFILE}"
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

!insertmacro MULTIUSER_PAGE_INSTALLMODE
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var Scr          ; where the screen saver goes
Var ModeSwitch   ; the uninstaller's switch for this installation

Function .onInit
  ; The uninstall entry of an installation for everyone belongs in the
  ; registry view of the machine's word size.
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  !insertmacro MULTIUSER_INIT
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "/oname=README.txt" "README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ${If} $MultiUser.InstallMode == "AllUsers"
    StrCpy $Scr "$SYSDIR\aquarium.scr"
    StrCpy $ModeSwitch "/AllUsers"
    ${If} ${RunningX64}
      ; The 64-bit system folder, which this 32-bit installer otherwise
      ; does not see.
      ${DisableX64FSRedirection}
      File "/oname=$Scr" "${SCR64}"
      CreateShortCut "$SMPROGRAMS\${SETTINGS_LINK}" "$Scr" "/c" "$Scr" 0
      ${EnableX64FSRedirection}
    ${Else}
      File "/oname=$Scr" "${SCR32}"
      CreateShortCut "$SMPROGRAMS\${SETTINGS_LINK}" "$Scr" "/c" "$Scr" 0
    ${EndIf}
  ${Else}
    StrCpy $Scr "$INSTDIR\aquarium.scr"
    StrCpy $ModeSwitch "/CurrentUser"
    ${If} ${RunningX64}
      File "/oname=aquarium.scr" "${SCR64}"
    ${Else}
      File "/oname=aquarium.scr" "${SCR32}"
    ${EndIf}
    CreateShortCut "$SMPROGRAMS\${SETTINGS_LINK}" "$Scr" "/c" "$Scr" 0
    ; What "Install" in a screen saver's context menu does.
    CreateShortCut "$SMPROGRAMS\${CHOOSE_LINK}" "$SYSDIR\rundll32.exe" "desk.cpl,InstallScreenSaver $Scr" "$Scr" 0
  ${EndIf}

  ; The screen saver chosen before, given back by the uninstaller (kept
  ; from the first installation when this one replaces it).
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 != $Scr
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "PreviousScreenSaver" "$0"
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$Scr"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${NAME} screen saver"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Aquarium developers"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$Scr,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" $ModeSwitch'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S $ModeSwitch'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  !insertmacro MULTIUSER_UNINIT
  ; Started without a switch from the folder of the installation for
  ; everyone, it removes that one.
  ${UnStrStr} $0 $MultiUser.Parameters "/AllUsers"
  ${UnStrStr} $1 $MultiUser.Parameters "/CurrentUser"
  ${If} $0 == ""
  ${AndIf} $1 == ""
    ReadRegStr $2 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $2 != ""
    ${AndIf} $2 == $INSTDIR
      ${If} $MultiUser.Privileges == "Admin"
      ${OrIf} $MultiUser.Privileges == "Power"
        Call un.MultiUser.InstallMode.AllUsers
      ${Else}
        MessageBox MB_OK|MB_ICONSTOP "Removing ${NAME} for everyone needs administrator rights." /SD IDOK
        Quit
      ${EndIf}
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ${If} $MultiUser.InstallMode == "AllUsers"
    StrCpy $Scr "$SYSDIR\aquarium.scr"
  ${Else}
    StrCpy $Scr "$INSTDIR\aquarium.scr"
  ${EndIf}

  ; Our screen saver is replaced by the one chosen before, if any.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 == $Scr
    ReadRegStr $1 SHCTX "${UNINSTALL_KEY}" "PreviousScreenSaver"
    ${If} $1 == ""
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${Else}
      WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$1"
    ${EndIf}
  ${EndIf}

  ${If} $MultiUser.InstallMode == "AllUsers"
  ${AndIf} ${RunningX64}
    ${DisableX64FSRedirection}
    Delete "$Scr"
    ${EnableX64FSRedirection}
  ${Else}
    Delete "$Scr"
  ${EndIf}
  Delete "$SMPROGRAMS\${SETTINGS_LINK}"
  Delete "$SMPROGRAMS\${CHOOSE_LINK}"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
