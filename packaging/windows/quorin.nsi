; The installer of Quorin and Quorind for 64-bit Windows, built by tools/windows/package.sh:
;   makensis -DVERSION=1.0.0 -DFILE_VERSION=1.0.0.0 -DPROGRAMS=<folder of the programs>
;            -DUNINSTALL_FILES=<its files as Delete lines> -DICON=<.ico> -DOUTFILE=<setup.exe>
;            quorin.nsi
; Installs both programs into Program Files for every user, with Start-menu entries, and
; registers the uninstaller in "Apps & features". /S installs, or uninstalls, silently.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"

!define NAME "Quorin"
!define PUBLISHER "Quorin maintainers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorin"
!define START_MENU "$SMPROGRAMS\Quorin"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quorin"

VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${NAME}"
VIAddVersionKey /LANG=0 "FileDescription" "Installazione di Quorin e Quorind"
VIAddVersionKey /LANG=0 "FileVersion" "${FILE_VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${FILE_VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Italian"

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "Quorin richiede Windows a 64 bit." /SD IDOK
        Abort
    ${EndIf}
    ; Program Files, the Start menu of all users and the registry's 64-bit view, not the
    ; 32-bit ones a 32-bit installer would otherwise get.
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section "Quorin"
    SetOutPath "$INSTDIR"
    File /r "${PROGRAMS}/*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "${START_MENU}"
    CreateShortcut "${START_MENU}\Quorin.lnk" "$INSTDIR\Quorin.exe" "" "$INSTDIR\Quorin.exe" 0 \
        SW_SHOWNORMAL "" "Lettura sensore"
    CreateShortcut "${START_MENU}\Quorind.lnk" "$INSTDIR\Quorind.exe" "" "$INSTDIR\Quorind.exe" 0 \
        SW_SHOWNORMAL "" "Lettura sensore, con i dati ricevuti"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quorin e Quorind"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$\"$INSTDIR\Quorin.exe$\",0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\uninstall.exe$\""
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\uninstall.exe$\" /S"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section "Uninstall"
    Delete "${START_MENU}\Quorin.lnk"
    Delete "${START_MENU}\Quorind.lnk"
    RMDir "${START_MENU}"
    ; Only what the installer put there, so that a folder the user chose keeps its other files.
    !include "${UNINSTALL_FILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
