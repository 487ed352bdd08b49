; The Windows installer of Quillmoor.DLL: one 64-bit installer with both
; builds of the DLL, each registered by the regsvr32 of its own bitness, the
; ASCOM Chooser entries, write access for standard users to the options key,
; and an uninstaller listed in Add/Remove Programs; and, as a component on by
; default, the network server (quillmoor-alpaca.exe) as an automatic Windows
; service with its firewall rules and a Start-menu link to its setup page.
; Built by build.sh:
;   makensis -DVERSION=1.0.0.1 -DDLL64=... -DDLL32=... -DSERVER=... -DOUTFILE=... quillmoor.nsi
;
; Exit codes: 0 done; 1 cancelled by the user; 2 stopped (a DLL in use and
; the user chose Cancel); 3010 a DLL was in use during a silent install and
; is replaced at the next restart; 4 installed, but a DLL did not register.
; When both happen the result is 4: a restart does not mend a registration
; that failed, and 3010 counts as success to deployment tools, so it must not
; hide the failure. The pending replacement is still made at the next
; restart, and the details list both.

Unicode true
; The 64-bit stub runs under every 64-bit Windows and under 64-bit Wine, and
; from there starts both regsvr32s. A 32-bit Windows is not a target.
Target amd64-unicode
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include StrFunc.nsh
${StrStr}
${UnStrStr}

!ifndef VERSION | DLL64 | DLL32 | SERVER | OUTFILE
  !error "define VERSION, DLL64, DLL32, SERVER and OUTFILE"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmoor"
; The focuser's Chooser key is also the driver's options key: only its
; default value belongs to the installer.
!define FOCUSER_KEY "Software\ASCOM\Focuser Drivers\Quillmoor.Focuser"
!define WHEEL_KEY "Software\ASCOM\FilterWheel Drivers\Quillmoor.FilterWheel"
!define DLL_FOLDER "ASCOM\Focuser"
!define EXIT_RESTART_NEEDED 3010
!define EXIT_NOT_REGISTERED 4
; The network server.
!define SERVICE "QuillmoorAlpaca"
!define SERVER_EXE "quillmoor-alpaca.exe"
!define HTTP_PORT 11111
!define DISCOVERY_PORT 32227
!define RULE_HTTP "Quillmoor Alpaca server (HTTP)"
!define RULE_DISCOVERY "Quillmoor Alpaca server (discovery)"
!define SETUP_LINK "Quillmoor network server setup.url"

Name "Quillmoor ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quillmoor"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "Quillmoor ${VERSION}"
VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Quillmoor"
VIAddVersionKey /LANG=1033 "FileDescription" "Quillmoor ASCOM drivers setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "Zelk"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Zelk"

Var Shared64
Var Shared32
Var NotRegistered
Var ServerTrouble

!define MUI_WELCOMEPAGE_TITLE "Quillmoor ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "This installs the ASCOM drivers of the Quillmoor controller board: the focuser $\"Quillmoor driver$\" and the filter wheel $\"ZelkFilterWheel driver$\", for 64-bit and 32-bit imaging programs.$\r$\n$\r$\nYour driver settings are kept when you upgrade or uninstall.$\r$\n$\r$\nClose every program that uses the drivers before you go on."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; In the 64-bit stub under Wine, $COMMONFILES32 names the 64-bit folder; the
; registry has both right.
!macro FindCommonFiles
  SetRegView 64
  ReadRegStr $Shared64 HKLM "Software\Microsoft\Windows\CurrentVersion" "CommonFilesDir"
  ReadRegStr $Shared32 HKLM "Software\Microsoft\Windows\CurrentVersion" "CommonFilesDir (x86)"
  ${If} $Shared64 == ""
  ${OrIf} $Shared32 == ""
    MessageBox MB_OK|MB_ICONSTOP "The Common Files folders are not in the registry." /SD IDOK
    Abort
  ${EndIf}
!macroend

Function .onInit
  !insertmacro FindCommonFiles
FunctionEnd

Function un.onInit
  !insertmacro FindCommonFiles
FunctionEnd

; PlaceDll SOURCE FOLDER: the DLL unpacked beside the old one, then put in
; its place. A DLL that a running program has loaded cannot be replaced: the
; user may close that program and retry, or cancel; a silent install has the
; system replace it at the next restart.
!macro PlaceDll SOURCE FOLDER
  CreateDirectory "${FOLDER}"
  SetOverwrite on
  File "/oname=${FOLDER}\Quillmoor.DLL.new" "${SOURCE}"
  ${Do}
    ClearErrors
    Delete "${FOLDER}\Quillmoor.DLL"
    ${IfNot} ${Errors}
      Rename "${FOLDER}\Quillmoor.DLL.new" "${FOLDER}\Quillmoor.DLL"
      ${Break}
    ${EndIf}
    ${If} ${Silent}
      DetailPrint "${FOLDER}\Quillmoor.DLL is in use: it is replaced at the next restart."
      Rename /REBOOTOK "${FOLDER}\Quillmoor.DLL.new" "${FOLDER}\Quillmoor.DLL"
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${FOLDER}\Quillmoor.DLL is in use by a running program.$\r$\n$\r$\nClose the programs that use the Quillmoor drivers, then choose Retry." IDRETRY +3
    Delete "${FOLDER}\Quillmoor.DLL.new"
    Abort "Cancelled: ${FOLDER}\Quillmoor.DLL is in use."
  ${Loop}
!macroend

;  StopServer PREFIX: stops the server's service, if there is one, and waits
; (20 s at most) until it has stopped and so let go of the port and of its
; program file. PREFIX is "" in the installer and "Un" in the uninstaller.
!macro StopServer PREFIX
  nsExec::ExecToStack '"$SYSDIR\sc.exe" stop ${SERVICE}'
  Pop $0
  Pop $1
  StrCpy $2 0
  ${Do}
    nsExec::ExecToStack '"$SYSDIR\sc.exe" query ${SERVICE}'
    Pop $0
    Pop $1
    ${If} $0 != 0  ; no such service
      ${Break}
    ${EndIf}
    ${${PREFIX}StrStr} $3 $1 "STOPPED"
    ${If} $3 != ""
      ${Break}
    ${EndIf}
    IntOp $2 $2 + 1
    ${If} $2 > 80
      DetailPrint "The ${SERVICE} service did not stop within 20 s."
      ${Break}
    ${EndIf}
    Sleep 250
  ${Loop}
!macroend

; Run COMMAND WHAT: a helper program whose failure is reported, not fatal.
!macro Run COMMAND WHAT
  nsExec::ExecToLog '${COMMAND}'
  Pop $0
  ${If} $0 != 0
    DetailPrint "${WHAT} failed ($0)."
    StrCpy $ServerTrouble "$ServerTrouble$\r$\n${WHAT} failed ($0)."
  ${EndIf}
!macroend

; RunRegsvr32 PROGRAM ARGUMENTS: a failure is told and remembered.
!macro RunRegsvr32 PROGRAM ARGUMENTS
  ClearErrors
  ExecWait '"${PROGRAM}" ${ARGUMENTS}' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    StrCpy $NotRegistered 1
    DetailPrint `${PROGRAM} ${ARGUMENTS} failed ($0)`
    MessageBox MB_OK|MB_ICONEXCLAMATION `Registration failed: ${PROGRAM} ${ARGUMENTS}` /SD IDOK
  ${EndIf}
!macroend

Section "Drivers" SecDrivers
  SectionIn RO
  ; Late-bound clients work without the ASCOM Platform; only its Chooser is missing then.
  SetRegView 32
  ClearErrors
  EnumRegKey $0 HKLM "Software\ASCOM\Platform" 0
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONINFORMATION "The ASCOM Platform is not installed. The drivers are installed all the same: programs that create them by name can use them, and the ASCOM Chooser lists them once the Platform is installed." /SD IDOK
  ${EndIf}

  !insertmacro PlaceDll "${DLL64}" "$Shared64\${DLL_FOLDER}"
  !insertmacro PlaceDll "${DLL32}" "$Shared32\${DLL_FOLDER}"

  ; Each DLL registers in the registry view of its own bitness.
  !insertmacro RunRegsvr32 "$WINDIR\System32\regsvr32.exe" '/s "$Shared64\${DLL_FOLDER}\Quillmoor.DLL"'
  !insertmacro RunRegsvr32 "$WINDIR\SysWOW64\regsvr32.exe" '/s "$Shared32\${DLL_FOLDER}\Quillmoor.DLL"'
  ; The options key, writable by the Users group.
  !insertmacro RunRegsvr32 "$WINDIR\System32\regsvr32.exe" '/s /n /i "$Shared64\${DLL_FOLDER}\Quillmoor.DLL"'

  SetRegView 32
  WriteRegStr HKLM "${FOCUSER_KEY}" "" "Quillmoor driver"
  WriteRegStr HKLM "${WHEEL_KEY}" "" "ZelkFilterWheel driver"

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  SetRegView 64
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quillmoor ASCOM drivers (focuser and filter wheel)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Zelk"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  SectionGetSize ${SecDrivers} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The program runs as an automatic service under LocalSystem, restarted 5 s
; after a failure. Its own settings (serial port, UniqueIDs) are that
; account's; the driver's options are the DLL's key, shared with the DLL.
Section "Network server (ASCOM Alpaca)" SecServer
  StrCpy $ServerTrouble ""
  SetOutPath "$INSTDIR"
  !insertmacro StopServer ""
  SetOverwrite on
  File "/oname=${SERVER_EXE}" "${SERVER}"
  StrCpy $4 '"\"$INSTDIR\${SERVER_EXE}\" --service"'
  nsExec::ExecToStack '"$SYSDIR\sc.exe" query ${SERVICE}'
  Pop $0
  Pop $1
  ${If} $0 == 0
    !insertmacro Run '"$SYSDIR\sc.exe" config ${SERVICE} binPath= $4 start= auto' "Updating the ${SERVICE} service"
  ${Else}
    !insertmacro Run '"$SYSDIR\sc.exe" create ${SERVICE} binPath= $4 start= auto DisplayName= "Quillmoor Alpaca server"' \
      "Registering the ${SERVICE} service"
  ${EndIf}
  !insertmacro Run '"$SYSDIR\sc.exe" description ${SERVICE} "Shares the Quillmoor board with ASCOM Alpaca clients on the network and on this computer"' \
    "Describing the ${SERVICE} service"
  !insertmacro Run '"$SYSDIR\sc.exe" failure ${SERVICE} reset= 86400 actions= restart/5000/restart/5000/restart/60000' \
    "Setting the ${SERVICE} service's restart after a failure"
  ; A server that cannot start reports an error of its own, which counts as a failure too.
  !insertmacro Run '"$SYSDIR\sc.exe" failureflag ${SERVICE} 1' "Setting the ${SERVICE} service's failure flag"
  !insertmacro Run '"$SYSDIR\sc.exe" start ${SERVICE}' "Starting the ${SERVICE} service"

  ; Rules of the same names are replaced, so that an upgrade leaves one of each.
  nsExec::ExecToLog '"$SYSDIR\netsh.exe" advfirewall firewall delete rule name="${RULE_HTTP}"'
  Pop $0
  nsExec::ExecToLog '"$SYSDIR\netsh.exe" advfirewall firewall delete rule name="${RULE_DISCOVERY}"'
  Pop $0
  !insertmacro Run '"$SYSDIR\netsh.exe" advfirewall firewall add rule name="${RULE_HTTP}" dir=in action=allow protocol=TCP localport=${HTTP_PORT}' \
    "Adding the firewall rule for TCP port ${HTTP_PORT}"
  !insertmacro Run '"$SYSDIR\netsh.exe" advfirewall firewall add rule name="${RULE_DISCOVERY}" dir=in action=allow protocol=UDP localport=${DISCOVERY_PORT}' \
    "Adding the firewall rule for UDP port ${DISCOVERY_PORT}"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Quillmoor"
  WriteINIStr "$SMPROGRAMS\Quillmoor\${SETUP_LINK}" "InternetShortcut" "URL" "http://localhost:${HTTP_PORT}/setup"
  ${If} $ServerTrouble != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "The network server is installed, but not everything went through:$ServerTrouble$\r$\n$\r$\nA firewall rule can be added by hand (TCP ${HTTP_PORT}, UDP ${DISCOVERY_PORT})." /SD IDOK
  ${EndIf}
SectionEnd

LangString DESC_Drivers ${LANG_ENGLISH} "The focuser and filter wheel drivers for ASCOM programs, 64-bit and 32-bit."
LangString DESC_Server ${LANG_ENGLISH} "Shares the board with several programs and with other computers: a Windows service that serves it to ASCOM Alpaca clients, such as the ASCOM Chooser's Alpaca devices and NINA. It holds the port only while a network client is connected."
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDrivers} $(DESC_Drivers)
  !insertmacro MUI_DESCRIPTION_TEXT ${SecServer} $(DESC_Server)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInstSuccess
  ${If} $NotRegistered == 1
    SetErrorLevel ${EXIT_NOT_REGISTERED}
  ${ElseIf} ${RebootFlag}
    SetErrorLevel ${EXIT_RESTART_NEEDED}
  ${EndIf}
FunctionEnd

; Uninstalling keeps the options values and the logs, and the server's settings.
Section "Uninstall"
  !insertmacro StopServer "Un"
  nsExec::ExecToLog '"$SYSDIR\sc.exe" delete ${SERVICE}'
  Pop $0
  nsExec::ExecToLog '"$SYSDIR\netsh.exe" advfirewall firewall delete rule name="${RULE_HTTP}"'
  Pop $0
  nsExec::ExecToLog '"$SYSDIR\netsh.exe" advfirewall firewall delete rule name="${RULE_DISCOVERY}"'
  Pop $0
  Delete /REBOOTOK "$INSTDIR\${SERVER_EXE}"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Quillmoor\${SETUP_LINK}"
  RMDir "$SMPROGRAMS\Quillmoor"
  ExecWait '"$WINDIR\System32\regsvr32.exe" /s /u "$Shared64\${DLL_FOLDER}\Quillmoor.DLL"'
  ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" /s /u "$Shared32\${DLL_FOLDER}\Quillmoor.DLL"'
  Delete /REBOOTOK "$Shared64\${DLL_FOLDER}\Quillmoor.DLL"
  Delete /REBOOTOK "$Shared32\${DLL_FOLDER}\Quillmoor.DLL"
  ; The folders stay when other drivers are in them.
  RMDir "$Shared64\${DLL_FOLDER}"
  RMDir "$Shared64\ASCOM"
  RMDir "$Shared32\${DLL_FOLDER}"
  RMDir "$Shared32\ASCOM"

  SetRegView 32
  DeleteRegValue HKLM "${FOCUSER_KEY}" ""
  DeleteRegValue HKLM "${WHEEL_KEY}" ""
  DeleteRegKey /ifempty HKLM "${WHEEL_KEY}"

  SetRegView 64
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
