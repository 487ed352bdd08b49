; The Windows installer of Quillmoor.DLL: one 64-bit installer with both
; builds of the DLL, each registered by the regsvr32 of its own bitness, the
; ASCOM Chooser entries, write access for standard users to the options key,
; and an uninstaller listed in Add/Remove Programs. Built by build.sh:
;   makensis -DVERSION=1.0.0.1 -DDLL64=... -DDLL32=... -DOUTFILE=... quillmoor.nsi
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

!ifndef VERSION | DLL64 | DLL32 | OUTFILE
  !error "define VERSION, DLL64, DLL32 and OUTFILE"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmoor"
; The focuser's Chooser key is also the driver's options key: only its
; default value belongs to the installer.
!define FOCUSER_KEY "Software\ASCOM\Focuser Drivers\Quillmoor.Focuser"
!define WHEEL_KEY "Software\ASCOM\FilterWheel Drivers\Quillmoor.FilterWheel"
!define DLL_FOLDER "ASCOM\Focuser"
!define EXIT_RESTART_NEEDED 3010
!define EXIT_NOT_REGISTERED 4

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

!define MUI_WELCOMEPAGE_TITLE "Quillmoor ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "This installs the ASCOM drivers of the Quillmoor controller board: the focuser $\"Quillmoor driver$\" and the filter wheel $\"ZelkFilterWheel driver$\", for 64-bit and 32-bit imaging programs.$\r$\n$\r$\nYour driver settings are kept when you upgrade or uninstall.$\r$\n$\r$\nClose every program that uses the drivers before you go on."
!insertmacro MUI_PAGE_WELCOME
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

Function .onInstSuccess
  ${If} $NotRegistered == 1
    SetErrorLevel ${EXIT_NOT_REGISTERED}
  ${ElseIf} ${RebootFlag}
    SetErrorLevel ${EXIT_RESTART_NEEDED}
  ${EndIf}
FunctionEnd

; Uninstalling keeps the options values and the logs.
Section "Uninstall"
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
