; The setup program of Kopirko for 64-bit Windows, built on Linux with NSIS (scripts/windows-package).
;
; The program keeps KOPIRKO.ini, backuplista.ini and version.txt beside itself, so it is installed for the user
; who runs the setup, into a folder that user can write (not under Program Files), without administrator
; rights. Uninstalling removes what the setup put there and keeps the user's settings; backups are never
; touched (they live in the destination folder the user chose).
;
; Defined on the makensis command line:
;   VERSION  the program's version, "1.0.16"
;   STAGE    the folder holding Kopirko.exe and everything it needs beside it
;   ICON     the program's icon (src/app/Kopirko.ico)
;   FILES    a list of "Delete" and "RMDir" lines for everything in STAGE, made with it, for the uninstaller
;   OUTFILE  where the setup program is written

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"
!include "x64.nsh"

!define PRODUCT "Kopirko"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Kopirko.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Croatian"

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_OK|MB_ICONSTOP "Kopirko radi samo na 64-bitnom Windowsu (Windows 10 ili 11)."
        Abort
    ${EndIf}
FunctionEnd

Section "Kopirko" SecProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    ; Everything the program needs beside itself: Qt, the C++ runtime, the database helper.
    File /r "${STAGE}/*.*"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; The Start menu entry starts the program in its own folder, where its settings live.
    CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Kopirko.exe" "" "$INSTDIR\Kopirko.exe" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Kopirko.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The option the help text on the "O programu" page names: start with Windows, for this user.
Section "Neka se ovaj program pokrece sa startovanjem Windowsa" SecAutostart
    WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\Kopirko.exe"'
SectionEnd

Section "Uninstall"
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"

    ; Only what the setup installed. KOPIRKO.ini, backuplista.ini and version.txt stay, and with them the
    ; folder; nothing outside it is touched.
    !include "${FILES}"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd
