; The installer of Quorin and Quorind for 64-bit Windows, built by tools/windows/make-installer.sh:
;   makensis -DVERSION=1.0.0 -DFILE_VERSION=1.0.0.0 -DPROGRAMS=<folder of the programs>
;            -DUNINSTALL_FILES=<its files as Delete lines> -DICON=<.ico> -DOUTFILE=<setup.exe>
;            [-DCOMPRESSOR=zlib] quorin.nsi
; Installs both programs into Program Files for every user, with Start-menu entries, and
; registers the uninstaller in "Apps & features". /S installs, or uninstalls, silently. Where
; Quorin is installed already, it installs into that folder, after the previous uninstaller has
; removed the files of the older version. While Quorin or Quorind runs, the installer and the
; uninstaller refuse, and change nothing.

Unicode true
; A 64-bit installer, as the programs are: Windows starts it only where they can run.
Target amd64-unicode
!ifndef COMPRESSOR
!define COMPRESSOR lzma
!endif
SetCompressor /SOLID ${COMPRESSOR}
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define NAME "Quorin"
!define PUBLISHER "Quorin maintainers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorin"
!define START_MENU "$SMPROGRAMS\Quorin"
; Held by Quorin and Quorind while they run (window/program.cpp).
!define RUNNING_MUTEX "Global\Quorin-Running"
; Windows's SYNCHRONIZE access right, all OpenMutexW needs to find the mutex.
!define SYNCHRONIZE 0x00100000
!define ERROR_ACCESS_DENIED 5
; The status of an installer or uninstaller that refused to run.
!define REFUSED 2

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quorin"

VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${NAME}"
VIAddVersionKey /LANG=0 "FileDescription" "Installazione di Quorin e Quorind"
VIAddVersionKey /LANG=0 "FileVersion" "${FILE_VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${FILE_VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}, GPL-3.0-or-later"

; The folder of the installation found in "Apps & features", empty when there is none.
Var InstalledFolder

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_PAGE_CUSTOMFUNCTION_PRE skipFolderOnUpgrade
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Italian"

; Refuses, with a message and status REFUSED and before anything is changed, while Quorin or
; Quorind runs: their files cannot be replaced or removed then. A mutex that exists but may not
; be opened (a reader of another user) counts as running too.
!macro RefuseWhileRunning un what
Function ${un}refuseWhileRunning
    System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${RUNNING_MUTEX}") p .r0 ?e'
    Pop $1
    ${If} $0 P<> 0
        System::Call 'kernel32::CloseHandle(p r0)'
    ${ElseIf} $1 <> ${ERROR_ACCESS_DENIED}
        Return
    ${EndIf}
    ; A line continued with \ would keep the next line's indent in the text.
    MessageBox MB_ICONSTOP "Quorin o Quorind è aperto su questo PC. Chiudi il programma, poi avvia di nuovo ${what}." /SD IDOK
    SetErrorLevel ${REFUSED}
    Quit
FunctionEnd
!macroend
!insertmacro RefuseWhileRunning "" "l'installazione"
!insertmacro RefuseWhileRunning "un." "la disinstallazione"

Function .onInit
    ; Program Files, the Start menu of all users and the registry's 64-bit view.
    SetRegView 64
    SetShellVarContext all
    Call refuseWhileRunning
    ReadRegStr $InstalledFolder HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $InstalledFolder != ""
    ${AndIf} ${FileExists} "$InstalledFolder\uninstall.exe"
        StrCpy $INSTDIR $InstalledFolder
    ${Else}
        StrCpy $InstalledFolder ""
    ${EndIf}
FunctionEnd

; An upgrade goes where the installed version is: one copy, one entry in "Apps & features".
Function skipFolderOnUpgrade
    ${If} $InstalledFolder != ""
        Abort
    ${EndIf}
FunctionEnd

Section "Quorin"
    ${If} $InstalledFolder != ""
        ; The previous uninstaller removes what the older version installed, files this version
        ; no longer ships included. With _?= it runs where it is, and ExecWait waits for it.
        DetailPrint "Rimozione della versione installata in $InstalledFolder"
        ExecWait '"$InstalledFolder\uninstall.exe" /S _?=$InstalledFolder' $0
        ${If} $0 != 0
            MessageBox MB_ICONSTOP "Non è stato possibile rimuovere la versione installata in $InstalledFolder (codice $0). Disinstallala da Impostazioni, App, poi avvia di nuovo l'installazione." /SD IDOK
            SetErrorLevel ${REFUSED}
            Abort
        ${EndIf}
        ; Running where it is, it could not remove itself.
        Delete "$InstalledFolder\uninstall.exe"
    ${EndIf}

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
    Call un.refuseWhileRunning
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
