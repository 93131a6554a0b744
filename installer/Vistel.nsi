; Vistel-Setup: puts the saver into the system folder, offers to make it the current screen
; saver, opens the screen-saver settings and registers an uninstaller. /S installs silently
; with the defaults (Vistel becomes the current saver; the uninstaller keeps the settings files
; unless given /REMOVESETTINGS).
;
;   makensis -DTARGET=x86-ansi -DSAVER32=... -DSAVER64=... -DOUTFILE=... Vistel.nsi
;
; x86-ansi is the shipped installer: it runs on Windows 95 to 11. amd64-unicode makes the same
; installer as a 64-bit program (Windows x64, and the tests' 64-bit Wine). makensis works in
; this folder: relative paths start here.

!ifndef TARGET
    !define TARGET x86-ansi
!endif
Target ${TARGET}
!ifndef SAVER32
    !define SAVER32 "../build/win32/Vistel.scr"
!endif
!ifndef SAVER64
    !define SAVER64 "../build/win64/Vistel.scr"
!endif
!ifndef OUTFILE
    !define OUTFILE "../build/Vistel-Setup.exe"
!endif

!define PRODUCT "Vistel Screen Saver"
!define VERSION 1.2.0.0
!define PUBLISHER "Corvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vistel"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATE_AND_SEND 3

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include WinVer.nsh
!include FileFunc.nsh

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Vistel"
; The saver goes into the system folder, which only an administrator may change.
RequestExecutionLevel admin
ManifestSupportedOS all
ManifestDPIAware true
SetCompressor /SOLID lzma
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion ${VERSION}
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey FileDescription "${PRODUCT} Setup"
VIAddVersionKey FileVersion ${VERSION}
VIAddVersionKey ProductVersion ${VERSION}
VIAddVersionKey LegalCopyright "Copyright ${PUBLISHER}"

!define MUI_ICON "../res/Vistel.ico"
!define MUI_UNICON "../res/Vistel.ico"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Open the screen-saver settings"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenSaverSettings
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

Var Saver ; where the saver lives: its long name

; The saver's place, the same for installer and uninstaller: on x64 Windows the 64-bit saver in
; the real system folder; elsewhere the 32-bit one (on other 64-bit Windows, such as ARM64, in
; the folder Windows gives 32-bit programs). Redirection stays off while the files are handled.
!macro FindSaver
    StrCpy $Saver "$SYSDIR\Vistel.scr"
    !if ${NSIS_PTR_SIZE} <= 4 ; a 64-bit installer runs on 64-bit Windows only
    ${If} ${RunningX64}
    !endif
        SetRegView 64
        ${DisableX64FSRedirection}
        ${IfNot} ${IsNativeAMD64}
            StrCpy $Saver "$WINDIR\SysWOW64\Vistel.scr"
        ${EndIf}
    !if ${NSIS_PTR_SIZE} <= 4
    ${EndIf}
    !endif
!macroend

; The user's screen-saver setting: system.ini on Windows 95/98/Me, the registry elsewhere.
!macro ReadSaverSetting un
    Function ${un}ReadSaverSetting
        ${If} ${IsNT}
            ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
        ${Else}
            ReadINIStr $0 "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE"
        ${EndIf}
    FunctionEnd
!macroend
!insertmacro ReadSaverSetting ""
!insertmacro ReadSaverSetting "un."

Function .onInit
    !insertmacro FindSaver
FunctionEnd

Section "Vistel Screen Saver" SecSaver
    SectionIn RO
    ${If} ${IsNativeAMD64}
        SetOutPath "$SYSDIR"
        File "/oname=Vistel.scr" "${SAVER64}"
    ${Else}
        ${GetParent} $Saver $0
        SetOutPath $0
        File "/oname=Vistel.scr" "${SAVER32}"
    ${EndIf}
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Uninstall.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    SectionGetSize ${SecSaver} $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Make Vistel the current screen saver" SecCurrent
    ${If} ${IsNT}
        WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $Saver
    ${Else}
        ; Windows 95/98/Me run the saver by its short name.
        GetFullPathName /SHORT $0 $Saver
        WriteINIStr "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE" $0
    ${EndIf}
    System::Call "user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATE_AND_SEND})"
SectionEnd

Function OpenSaverSettings
    ; The system's own control panel and rundll32: on 64-bit Windows a 32-bit one would not list
    ; the 64-bit saver. The second tab of the display settings is the screen saver's.
    ${If} ${IsNT}
        Exec '"$SYSDIR\rundll32.exe" shell32.dll,Control_RunDLL desk.cpl,,1'
    ${Else}
        Exec '"$WINDIR\rundll32.exe" shell32.dll,Control_RunDLL desk.cpl,,1'
    ${EndIf}
FunctionEnd

Section "un.Vistel Screen Saver"
    SectionIn RO
    ; The screen-saver setting is reset only while it still names this saver.
    Call un.ReadSaverSetting
    GetFullPathName /SHORT $1 $Saver
    ${If} $0 != ""
        ${If} $0 == $Saver
        ${OrIf} $0 == $1
            ${If} ${IsNT}
                DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
            ${Else}
                DeleteINIStr "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE"
            ${EndIf}
            System::Call "user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 0, p 0, i ${SPIF_UPDATE_AND_SEND})"
        ${EndIf}
    ${EndIf}
    ; A saver that is running right now goes at the next start of Windows.
    Delete /REBOOTOK $Saver
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd

; Not chosen unless asked: the settings files the saver wrote (the pictures are never touched).
Section /o "un.Remove my Vistel settings" SecSettings
    Delete "$WINDIR\Vistel.ini"
    SetShellVarContext current
    Delete "$APPDATA\Vistel\Vistel.ini"
    RMDir "$APPDATA\Vistel"
    ${If} $LOCALAPPDATA != ""
        Delete "$LOCALAPPDATA\VirtualStore\Windows\Vistel.ini"
    ${EndIf}
SectionEnd

Function un.onInit
    !insertmacro FindSaver
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVESETTINGS" $1
    ${IfNot} ${Errors}
        SectionSetFlags ${SecSettings} ${SF_SELECTED}
    ${EndIf}
FunctionEnd
