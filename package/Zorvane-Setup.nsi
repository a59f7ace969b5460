; The Windows setup of Zorvane: installs Zorvane.dll into the 32-bit program folder and
; registers it for 32-bit COM; on 64-bit (x64) Windows also the 64-bit Zorvane.dll into a
; folder of its own under the 64-bit program folder, registered for 64-bit COM; adds one
; entry to "Apps and features".
; Built by package/CMakeLists.txt:
;   makensis -INPUTCHARSET UTF8 -DVERSION=0.2.0.4 -DDLL=<Zorvane.dll> -DDLL64=<64-bit Zorvane.dll>
;            -DOUTFILE=<exe> Zorvane-Setup.nsi
;
; Exit codes of the setup (also with /S):
;   0  installed; Orbanel's type library VELTTypeLib 2.2 is registered
;   1  cancelled by the user; nothing changed
;   2  not installed: no administrator rights
;   3  installed, but VELTTypeLib 2.2 is not registered: Zorvane works once Orbanel is installed
;   4  not installed: a Zorvane.dll is in use (Orbanel, or a 64-bit program holding the 64-bit
;      one); an installed version stays as it was
;   5  files installed, but a Zorvane.dll could not be registered
;   6  not installed: a newer version is installed (with /S; with windows the user is asked,
;      and "No" is 1)
;   8  not installed: Windows older than Windows 7, the oldest that both DLLs are built for
;   9  not installed: an install folder's access could not be set (every folder the setup
;      installs into gets its own, inheriting nothing: administrators and SYSTEM full
;      control, users read and execute)
; Exit codes of uninstall.exe (/S; add _?=<folder> to wait for it and get its code):
;   0  removed
;   1  cancelled
;   2  no administrator rights
;   4  a Zorvane.dll in use; nothing removed
;   5  a Zorvane.dll could not be unregistered: it stays, registered, with the uninstaller
;      and its entry (the rest is removed)
;   7  a file could not be deleted: it stays, with the uninstaller and its entry
; A Zorvane.dll that is gone (deleted by hand) counts as unregistered once the keys naming it
; are removed.
; Every uninstall writes what it removed or left to %TEMP%\Zorvane-uninstall-<yyyymmdd>-<hhmmss>.log,
; a file of its own (-2, -3, ... added while the name is taken; what stands there is not opened).
;
; Signed when the build has a certificate: -DSIGN_FILE=<package/sign-file> signs the
; uninstaller as makensis makes it (keeping a copy in -DUNINSTALLER_COPY=<file>) and then the
; setup; the certificate comes from sign-file's environment.

!ifndef VERSION | DLL | DLL64 | OUTFILE
  !error "VERSION, DLL, DLL64 and OUTFILE must be defined (-DVERSION=0.2.0.4 -DDLL=... -DDLL64=... -DOUTFILE=...)"
!endif
!if "${DLL}" == ""
  !error "DLL must name a file"
!endif
!if "${DLL64}" == ""
  !error "DLL64 must name a file"
!endif

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include WordFunc.nsh
!include WinVer.nsh

!define PRODUCT "Zorvane"
!define PUBLISHER "Ulvmar"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorvane"
!define HOST_LIBID "{2EC5C0F2-8A43-4D51-A646-7DD36F74C612}"
!define CLSID "{77FF2106-F84A-48BA-8B6C-B6C224068A89}"
!define LIBID "{5FC8B42F-E199-4A7C-A91F-90AFF3F205CF}"
!define PROGID "Zorvane.clsVELTPlugIn"
; The class's default interface, which registering the type library records.
!define INTERFACE "{FEC77016-7A8D-425A-87BF-C61DE3C5A5F3}"
!define UNINSTALL_LOG_NAME "Zorvane-uninstall"
; The access list of every folder the setup installs into: administrators and SYSTEM full
; control, users read and execute (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE), for the folder,
; its subfolders and files; protected, so nothing is inherited.
!define FOLDER_ACCESS "O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"

!define EXIT_CANCELLED 1
!define EXIT_NO_ADMIN 2
!define EXIT_HOST_MISSING 3
!define EXIT_IN_USE 4
!define EXIT_NOT_REGISTERED 5
!define EXIT_NEWER_INSTALLED 6
!define EXIT_FILES_LEFT 7
!define EXIT_OLD_WINDOWS 8
!define EXIT_FOLDER_ACCESS 9

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"

!ifdef SIGN_FILE
  !ifndef UNINSTALLER_COPY
    !error "UNINSTALLER_COPY must name a file when SIGN_FILE is given"
  !endif
  !uninstfinalize '"${SIGN_FILE}" "%1" "${UNINSTALLER_COPY}"' = 0
  !finalize '"${SIGN_FILE}" "%1"' = 0
!endif

; Zorvane.dll is a 32-bit DLL: "Program Files (x86)" on 64-bit Windows.
InstallDir "$PROGRAMFILES32\${PRODUCT}"
BrandingText "${PUBLISHER}"

; Product, version and publisher; no legal notice, as in the DLL's own block.
!pragma warning disable 9100
VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
!macro VERSION_STRINGS LANG DESCRIPTION
  VIAddVersionKey /LANG=${LANG} "ProductName" "${PRODUCT}"
  VIAddVersionKey /LANG=${LANG} "CompanyName" "${PUBLISHER}"
  VIAddVersionKey /LANG=${LANG} "ProductVersion" "${VERSION}"
  VIAddVersionKey /LANG=${LANG} "FileVersion" "${VERSION}"
  VIAddVersionKey /LANG=${LANG} "FileDescription" "${DESCRIPTION}"
!macroend

Var HostMissing
Var Updating
Var Folder64
Var Note64
Var InstalledVersion
Var Left      ; what the uninstaller left, a line each
Var LeftItem  ; the file the next such line is about
Var LogFile   ; where the uninstaller wrote its log
Var Problem   ; the folder whose access could not be set
Var ProblemCode
Var MadeInstDir
Var MadeFolder64

;--------------------------------
; Pages and languages

!define MUI_ABORTWARNING
!define MUI_UNABORTWARNING
; The language chooser opens on the system's language (or the one chosen last time).
!define MUI_LANGDLL_ALWAYSSHOW
!define MUI_LANGDLL_WINDOWTITLE "${PRODUCT} ${VERSION}"
!define MUI_LANGDLL_INFO "Sprache / Language:"
!define MUI_LANGDLL_REGISTRY_ROOT HKLM
!define MUI_LANGDLL_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MUI_LANGDLL_REGISTRY_VALUENAME "Installer Language"

!define MUI_WELCOMEPAGE_TEXT "$(WelcomeText)$Note64$Updating$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipDirectoryOnUpdate
!define MUI_DIRECTORYPAGE_TEXT_TOP "$(DirectoryText)"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_RESERVEFILE_LANGDLL

!insertmacro VERSION_STRINGS ${LANG_GERMAN} "Installation von ${PRODUCT}"
!insertmacro VERSION_STRINGS ${LANG_ENGLISH} "${PRODUCT} Setup"

LangString WelcomeText ${LANG_GERMAN} "Dieser Assistent installiert ${PRODUCT} ${VERSION}, das Plugin für Orbanel, und registriert es bei Windows.$\r$\n$\r$\nVoraussetzung: Windows 7 oder neuer, 32 oder 64 Bit.$\r$\n$\r$\nBitte beenden Sie Orbanel vor der Installation."
LangString WelcomeText ${LANG_ENGLISH} "This wizard installs ${PRODUCT} ${VERSION}, the plug-in for Orbanel, and registers it with Windows.$\r$\n$\r$\nRequires Windows 7 or later, 32- or 64-bit.$\r$\n$\r$\nPlease quit Orbanel before installing."
LangString OldWindows ${LANG_GERMAN} "${PRODUCT} braucht Windows 7 oder neuer. Auf dieser älteren Windows-Version lässt es sich nicht laden; es wird nichts installiert."
LangString OldWindows ${LANG_ENGLISH} "${PRODUCT} needs Windows 7 or later. It cannot be loaded on this older version of Windows; nothing is installed."
LangString Note64 ${LANG_GERMAN} "$\r$\n$\r$\nFür 64-Bit-Programme kommt das 64-Bit-Plugin in einen eigenen Ordner:$\r$\n$Folder64"
LangString Note64 ${LANG_ENGLISH} "$\r$\n$\r$\nFor 64-bit programs, the 64-bit plug-in goes into a folder of its own:$\r$\n$Folder64"
LangString DirectoryText ${LANG_GERMAN} "${PRODUCT} wird in den folgenden Ordner installiert. Er erhält eigene Zugriffsrechte, die nichts erben: Administratoren und SYSTEM dürfen alles, Benutzer nur lesen und ausführen. $_CLICK"
LangString DirectoryText ${LANG_ENGLISH} "Setup will install ${PRODUCT} in the following folder. It gets access rights of its own that inherit nothing: administrators and SYSTEM have full control, users may only read and run. $_CLICK"
LangString FolderProtected ${LANG_GERMAN} "Zugriffsrechte von $Problem: Administratoren und SYSTEM Vollzugriff, Benutzer Lesen und Ausführen, nichts geerbt (${FOLDER_ACCESS})"
LangString FolderProtected ${LANG_ENGLISH} "Access rights of $Problem: administrators and SYSTEM full control, users read and execute, nothing inherited (${FOLDER_ACCESS})"
LangString FolderAccessFailed ${LANG_GERMAN} "Die Zugriffsrechte des Ordners $Problem ließen sich nicht setzen (Windows-Fehler $ProblemCode).$\r$\n$\r$\nIn einem Ordner, in dem andere Benutzer Dateien ändern oder ablegen können, ist ${PRODUCT} nicht sicher; es wird nichts installiert. Bitte wählen Sie einen anderen Ordner."
LangString FolderAccessFailed ${LANG_ENGLISH} "The access rights of the folder $Problem could not be set (Windows error $ProblemCode).$\r$\n$\r$\nIn a folder where other users can change or place files, ${PRODUCT} is not safe; nothing is installed. Please choose another folder."
LangString UpdateNote ${LANG_GERMAN} "$\r$\n$\r$\nDie installierte Version in $INSTDIR wird ersetzt."
LangString UpdateNote ${LANG_ENGLISH} "$\r$\n$\r$\nThe version installed in $INSTDIR will be replaced."
LangString NewerInstalled ${LANG_GERMAN} "In $INSTDIR ist eine neuere Version von ${PRODUCT} installiert: $InstalledVersion.$\r$\n$\r$\nDiese Installation würde sie durch die ältere Version ${VERSION} ersetzen.$\r$\n$\r$\nTrotzdem installieren?"
LangString NewerInstalled ${LANG_ENGLISH} "A newer version of ${PRODUCT} is installed in $INSTDIR: $InstalledVersion.$\r$\n$\r$\nThis setup would replace it with the older version ${VERSION}.$\r$\n$\r$\nInstall anyway?"
LangString HostMissing ${LANG_GERMAN} "Orbanel ist auf diesem Computer nicht installiert: Die Typbibliothek VELTTypeLib 2.2 von Orbanel ist nicht registriert.$\r$\n$\r$\n${PRODUCT} ist ein Plugin für Orbanel und arbeitet erst, wenn Orbanel installiert ist.$\r$\n$\r$\nTrotzdem installieren?"
LangString HostMissing ${LANG_ENGLISH} "Orbanel is not installed on this computer: its type library VELTTypeLib 2.2 is not registered.$\r$\n$\r$\n${PRODUCT} is a plug-in for Orbanel and works only once Orbanel is installed.$\r$\n$\r$\nInstall anyway?"
LangString InUse ${LANG_GERMAN} "Zorvane.dll wird gerade verwendet, vermutlich von Orbanel:$\r$\n$INSTDIR\Zorvane.dll$\r$\n$\r$\nBitte beenden Sie Orbanel und klicken Sie auf Wiederholen. Abbrechen lässt die installierte Version unverändert."
LangString InUse ${LANG_ENGLISH} "Zorvane.dll is in use, probably by Orbanel:$\r$\n$INSTDIR\Zorvane.dll$\r$\n$\r$\nPlease quit Orbanel and click Retry. Cancel leaves the installed version as it is."
LangString UnInUse ${LANG_GERMAN} "Zorvane.dll wird gerade verwendet, vermutlich von Orbanel:$\r$\n$INSTDIR\Zorvane.dll$\r$\n$\r$\nBitte beenden Sie Orbanel und klicken Sie auf Wiederholen. Abbrechen entfernt nichts."
LangString UnInUse ${LANG_ENGLISH} "Zorvane.dll is in use, probably by Orbanel:$\r$\n$INSTDIR\Zorvane.dll$\r$\n$\r$\nPlease quit Orbanel and click Retry. Cancel removes nothing."
LangString InUse64 ${LANG_GERMAN} "Das 64-Bit-Plugin wird gerade von einem 64-Bit-Programm verwendet:$\r$\n$Folder64\Zorvane.dll$\r$\n$\r$\nBitte beenden Sie das Programm und klicken Sie auf Wiederholen. Abbrechen lässt die installierte Version unverändert."
LangString InUse64 ${LANG_ENGLISH} "The 64-bit plug-in is in use by a 64-bit program:$\r$\n$Folder64\Zorvane.dll$\r$\n$\r$\nPlease quit that program and click Retry. Cancel leaves the installed version as it is."
LangString UnInUse64 ${LANG_GERMAN} "Das 64-Bit-Plugin wird gerade von einem 64-Bit-Programm verwendet:$\r$\n$Folder64\Zorvane.dll$\r$\n$\r$\nBitte beenden Sie das Programm und klicken Sie auf Wiederholen. Abbrechen entfernt nichts."
LangString UnInUse64 ${LANG_ENGLISH} "The 64-bit plug-in is in use by a 64-bit program:$\r$\n$Folder64\Zorvane.dll$\r$\n$\r$\nPlease quit that program and click Retry. Cancel removes nothing."
LangString NoAdmin ${LANG_GERMAN} "Für die Installation von ${PRODUCT} sind Administratorrechte nötig."
LangString NoAdmin ${LANG_ENGLISH} "Installing ${PRODUCT} needs administrator rights."
LangString UnNoAdmin ${LANG_GERMAN} "Für das Entfernen von ${PRODUCT} sind Administratorrechte nötig."
LangString UnNoAdmin ${LANG_ENGLISH} "Removing ${PRODUCT} needs administrator rights."
LangString NotRegistered ${LANG_GERMAN} "Zorvane.dll wurde installiert, ließ sich aber nicht registrieren. Orbanel findet das Plugin so nicht."
LangString NotRegistered ${LANG_ENGLISH} "Zorvane.dll was installed but could not be registered. Orbanel will not find the plug-in."
LangString NotRegistered64 ${LANG_GERMAN} "Das 64-Bit-Plugin $Folder64\Zorvane.dll wurde installiert, ließ sich aber nicht registrieren. 64-Bit-Programme finden es so nicht."
LangString NotRegistered64 ${LANG_ENGLISH} "The 64-bit plug-in $Folder64\Zorvane.dll was installed but could not be registered. 64-bit programs will not find it."
LangString UnNotUnregistered ${LANG_GERMAN} "Nicht abgemeldet: $LeftItem ist weiter registriert und bleibt deshalb liegen."
LangString UnNotUnregistered ${LANG_ENGLISH} "Not unregistered: $LeftItem is still registered and therefore stays."
LangString UnNotDeleted ${LANG_GERMAN} "Nicht gelöscht: $LeftItem"
LangString UnNotDeleted ${LANG_ENGLISH} "Not deleted: $LeftItem"
LangString UnLeft ${LANG_GERMAN} "${PRODUCT} wurde nicht vollständig entfernt:$\r$\n$\r$\n$Left$\r$\nDer Eintrag zum Entfernen bleibt, damit Sie es später wiederholen können."
LangString UnLeft ${LANG_ENGLISH} "${PRODUCT} was not removed completely:$\r$\n$\r$\n$Left$\r$\nThe uninstall entry stays so that you can try again later."
LangString UnLogIn ${LANG_GERMAN} "Das Protokoll steht in $LogFile."
LangString UnLogIn ${LANG_ENGLISH} "The log is in $LogFile."
LangString UnRemoved ${LANG_GERMAN} "${PRODUCT} ${VERSION} wurde aus $INSTDIR entfernt."
LangString UnRemoved ${LANG_ENGLISH} "${PRODUCT} ${VERSION} was removed from $INSTDIR."
LangString UnExitCode ${LANG_GERMAN} "Rückgabewert"
LangString UnExitCode ${LANG_ENGLISH} "Exit code"

;--------------------------------
; Helpers

; Pushes 1 when nobody holds the file open or loaded (a program that loaded the DLL keeps
; it from being opened for writing), else 0. A missing file counts as free.
!macro FILE_IS_FREE UN
  Function ${UN}FileIsFree
    Exch $0
    Push $1
    ${If} ${FileExists} $0
      System::Call 'kernel32::CreateFileW(w r0, i 0x40000000, i 0, p 0, i 3, i 0x80, p 0) p .r1'
      ${If} $1 P= -1
        StrCpy $0 0
      ${Else}
        System::Call 'kernel32::CloseHandle(p r1)'
        StrCpy $0 1
      ${EndIf}
    ${Else}
      StrCpy $0 1
    ${EndIf}
    Pop $1
    Exch $0
  FunctionEnd
!macroend
!insertmacro FILE_IS_FREE ""
!insertmacro FILE_IS_FREE "un."

; REQUIRE_FREE <"" or un.> <file> <message>: asks to quit the program holding the file
; (Retry) until it is free; Cancel ends with exit code 4 before anything has changed.
!macro REQUIRE_FREE UN FILE MESSAGE
  Push "${FILE}"
  Call ${UN}FileIsFree
  Pop $0
  ${DoWhile} $0 == 0
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${MESSAGE}" /SD IDCANCEL IDRETRY`
      SetErrorLevel ${EXIT_IN_USE}
      DetailPrint "${MESSAGE}"
      !if "${UN}" == "un."
        StrCpy $Left "${MESSAGE}$\r$\n"
      !endif
      Abort
    ${EndIf}
    Push "${FILE}"
    Call ${UN}FileIsFree
    Pop $0
  ${Loop}
!macroend

; Sets $Folder64, where the 64-bit plug-in lives: its own folder under the 64-bit program
; folder, or "x64" inside $INSTDIR should $INSTDIR be that very folder (both files are
; named Zorvane.dll). Empty where there is no 64-bit plug-in: on 32-bit Windows, and on
; ARM64 Windows, whose own 64-bit programs (the script hosts among them) are ARM64 code.
!macro SET_FOLDER64 UN
  Function ${UN}SetFolder64
    StrCpy $Folder64 ""
    ${If} ${RunningX64}
    ${AndIfNot} ${IsNativeARM64}
      StrCpy $Folder64 "$PROGRAMFILES64\${PRODUCT}"
      ${If} $Folder64 == $INSTDIR
        StrCpy $Folder64 "$INSTDIR\x64"
      ${EndIf}
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro SET_FOLDER64 ""
!insertmacro SET_FOLDER64 "un."

!macro REQUIRE_ADMIN MESSAGE
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "${MESSAGE}" /SD IDOK
    SetErrorLevel ${EXIT_NO_ADMIN}
    Quit
  ${EndIf}
!macroend

; Swaps <folder>\Zorvane.dll.new in for <folder>\Zorvane.dll in one step; pushes 1, or 0
; when the old file is loaded and the user cancels.
; MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH: refused while the old file is loaded.
Function SwapIn
  Exch $1 ; the message
  Exch
  Exch $2 ; the folder
  Push $0
  ${Do}
    System::Call 'kernel32::MoveFileExW(w "$2\Zorvane.dll.new", w "$2\Zorvane.dll", i 0x9) i .r0'
    ${If} $0 <> 0
      StrCpy $0 1
      ${Break}
    ${EndIf}
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$1" /SD IDCANCEL IDRETRY`
      DetailPrint "$1"
      StrCpy $0 0
      ${Break}
    ${EndIf}
  ${Loop}
  StrCpy $1 $0
  Pop $0
  Pop $2
  Exch $1
FunctionEnd

;--------------------------------
; Setup

; Gives a folder (made first where it is missing) an access list of its own, FOLDER_ACCESS,
; which inherits nothing; Windows passes it on to the files and folders within in place of
; what they inherited. A folder made under a drive's root would otherwise keep what the root
; grants every user there (to change files), and with it a user could swap Zorvane.dll or
; uninstall.exe, or plant a DLL that the host, regsvr32 or the elevated uninstaller loads.
; Pushes 0, or the Windows error.
Function ProtectFolder
  Exch $0 ; the folder, then the answer
  Push $1
  Push $2
  Push $3
  CreateDirectory $0
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${FOLDER_ACCESS}", i 1, *p .r1, p 0) i .r2 ?e'
  Pop $3
  ${If} $2 == 0
    StrCpy $0 $3
  ${Else}
    System::Call 'advapi32::GetSecurityDescriptorOwner(p r1, *p .r2, *i 0)'
    System::Call 'advapi32::GetSecurityDescriptorDacl(p r1, *i 0, *p .r3, *i 0)'
    ; OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION
    System::Call 'advapi32::SetNamedSecurityInfoW(w r0, i 1, i 0x80000005, p r2, p 0, p r3, p 0) i .r0'
    System::Call 'kernel32::LocalFree(p r1)'
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; PROTECT_INSTALL_FOLDER <folder> <made flag>: ProtectFolder, or the setup stops (exit code 9)
; with nothing installed, taking away the folders this run made.
!macro PROTECT_INSTALL_FOLDER FOLDER MADE
  StrCpy ${MADE} 0
  ${IfNot} ${FileExists} "${FOLDER}\*.*"
    StrCpy ${MADE} 1
  ${EndIf}
  StrCpy $Problem "${FOLDER}"
  Push "${FOLDER}"
  Call ProtectFolder
  Pop $ProblemCode
  ${If} $ProblemCode == 0
    DetailPrint "$(FolderProtected)"
  ${Else}
    MessageBox MB_OK|MB_ICONSTOP "$(FolderAccessFailed)" /SD IDOK
    DetailPrint "$(FolderAccessFailed)"
    ${If} $MadeFolder64 == 1
      RMDir $Folder64
    ${EndIf}
    ${If} $MadeInstDir == 1
      RMDir $INSTDIR
    ${EndIf}
    SetErrorLevel ${EXIT_FOLDER_ACCESS}
    Abort
  ${EndIf}
!macroend

Function .onInit
  ; Writes from this 32-bit process land in the 32-bit registry view on 64-bit Windows,
  ; where a 32-bit host looks up its COM classes.
  SetRegView 32
  ; The machine's registry and folders: SHCTX is HKLM.
  SetShellVarContext all
  !insertmacro MUI_LANGDLL_DISPLAY
  ; Before anything else: on an older Windows nothing that follows would help.
  ${IfNot} ${AtLeastWin7}
    MessageBox MB_OK|MB_ICONSTOP "$(OldWindows)" /SD IDOK
    SetErrorLevel ${EXIT_OLD_WINDOWS}
    Quit
  ${EndIf}
  !insertmacro REQUIRE_ADMIN "$(NoAdmin)"

  ; An installed Zorvane is replaced where it is: one entry, one registration.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
    StrCpy $Updating "$(UpdateNote)"
    ; A newer one only when the user says so, never silently.
    ReadRegStr $InstalledVersion HKLM "${UNINSTALL_KEY}" "DisplayVersion"
    ${VersionCompare} "$InstalledVersion" "${VERSION}" $0
    ${If} $0 == 1
      MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(NewerInstalled)" /SD IDNO IDYES replace_newer
      ${If} ${Silent}
        SetErrorLevel ${EXIT_NEWER_INSTALLED}
      ${Else}
        SetErrorLevel ${EXIT_CANCELLED}
      ${EndIf}
      Quit
      replace_newer:
    ${EndIf}
  ${EndIf}
  Call SetFolder64
  ${If} $Folder64 != ""
    StrCpy $Note64 "$(Note64)"
  ${EndIf}

  ; The same question the plug-in asks at run time: can VELTTypeLib 2.2 be loaded?
  System::Call 'oleaut32::LoadRegTypeLib(g "${HOST_LIBID}", i 2, i 2, i 0, *p .r1) i .r0'
  ${If} $0 == 0
    System::Call '$1->2()' ; ITypeLib::Release
    StrCpy $HostMissing 0
  ${Else}
    StrCpy $HostMissing 1
    MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(HostMissing)" /SD IDYES IDYES install_anyway
    SetErrorLevel ${EXIT_CANCELLED}
    Quit
    install_anyway:
  ${EndIf}
FunctionEnd

Function SkipDirectoryOnUpdate
  ${If} $Updating != ""
    Abort
  ${EndIf}
FunctionEnd

Section "Zorvane"
  ; The directory page may have moved $INSTDIR.
  Call SetFolder64

  ; Both DLLs free before anything changes.
  !insertmacro REQUIRE_FREE "" "$INSTDIR\Zorvane.dll" "$(InUse)"
  ${If} $Folder64 != ""
    !insertmacro REQUIRE_FREE "" "$Folder64\Zorvane.dll" "$(InUse64)"
  ${EndIf}

  ; Every folder gets its access list before a file goes there; the 64-bit one may lie
  ; within $INSTDIR.
  StrCpy $MadeFolder64 0
  !insertmacro PROTECT_INSTALL_FOLDER $INSTDIR $MadeInstDir
  ${If} $Folder64 != ""
    !insertmacro PROTECT_INSTALL_FOLDER $Folder64 $MadeFolder64
  ${EndIf}

  ; Each new DLL goes in beside the old one first; the renames below swap them in one step
  ; each, so a failure at any point leaves the old files whole.
  ${If} $Folder64 != ""
    ; A 32-bit process can write under the 64-bit program folder: only System32 is
    ; redirected.
    SetOutPath $Folder64
    File "/oname=Zorvane.dll.new" "${DLL64}"
  ${EndIf}
  SetOutPath $INSTDIR
  File "/oname=Zorvane.dll.new" "${DLL}"

  ; The 32-bit one is swapped first and its old file kept until the 64-bit one is in too,
  ; so that a Cancel in between puts it back.
  Delete "$INSTDIR\Zorvane.dll.old"
  ${If} $Folder64 != ""
  ${AndIf} ${FileExists} "$INSTDIR\Zorvane.dll"
    CopyFiles /SILENT "$INSTDIR\Zorvane.dll" "$INSTDIR\Zorvane.dll.old"
  ${EndIf}
  Push $INSTDIR
  Push "$(InUse)"
  Call SwapIn
  Pop $0
  ${If} $0 == 1
  ${AndIf} $Folder64 != ""
    Push $Folder64
    Push "$(InUse64)"
    Call SwapIn
    Pop $0
    ${If} $0 == 0
    ${AndIf} ${FileExists} "$INSTDIR\Zorvane.dll.old"
      System::Call 'kernel32::MoveFileExW(w "$INSTDIR\Zorvane.dll.old", w "$INSTDIR\Zorvane.dll", i 0x9) i'
    ${ElseIf} $0 == 0
      Delete "$INSTDIR\Zorvane.dll" ; a first installation: nothing was there before
    ${EndIf}
  ${EndIf}
  Delete "$INSTDIR\Zorvane.dll.old"
  ${If} $0 == 0
    Delete "$INSTDIR\Zorvane.dll.new"
    ${If} $Folder64 != ""
      Delete "$Folder64\Zorvane.dll.new"
      RMDir $Folder64
    ${EndIf}
    RMDir $INSTDIR
    SetErrorLevel ${EXIT_IN_USE}
    Abort
  ${EndIf}

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/M=Zorvane.dll /S=0K /G=0" $0 $1 $2
  ${GetSize} "$INSTDIR" "/M=uninstall.exe /S=0K /G=0" $1 $2 $3
  IntOp $0 $0 + $1
  ${If} $Folder64 != ""
    ${GetSize} "$Folder64" "/M=Zorvane.dll /S=0K /G=0" $1 $2 $3
    IntOp $0 $0 + $1
  ${EndIf}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; This setup is a 32-bit process, so DllRegisterServer runs as 32-bit code and writes
  ; the 32-bit registration, whatever the bitness of Windows.
  ClearErrors
  RegDLL "$INSTDIR\Zorvane.dll"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "$(NotRegistered)" /SD IDOK
    DetailPrint "$(NotRegistered)"
    SetErrorLevel ${EXIT_NOT_REGISTERED}
  ${EndIf}
  ; The 64-bit DLL only loads into a 64-bit process: the 64-bit regsvr32, which is the one
  ; in System32 once this thread's view of System32 is not redirected to SysWOW64.
  ${If} $Folder64 != ""
    ${DisableX64FSRedirection}
    ClearErrors
    ExecWait '"$SYSDIR\regsvr32.exe" /s "$Folder64\Zorvane.dll"' $0
    ${EnableX64FSRedirection}
    ${IfNot} ${Errors}
    ${AndIf} $0 == 0
      ; And the 64-bit classes now name this file.
      SetRegView 64
      ReadRegStr $0 HKCR "CLSID\${CLSID}\InprocServer32" ""
      SetRegView 32
    ${EndIf}
    ${If} $0 != "$Folder64\Zorvane.dll"
      MessageBox MB_OK|MB_ICONSTOP "$(NotRegistered64)" /SD IDOK
      DetailPrint "$(NotRegistered64)"
      SetErrorLevel ${EXIT_NOT_REGISTERED}
    ${EndIf}
  ${EndIf}
  GetErrorLevel $0
  ${If} $0 != ${EXIT_NOT_REGISTERED}
  ${AndIf} $HostMissing == 1
    SetErrorLevel ${EXIT_HOST_MISSING}
  ${EndIf}
SectionEnd

;--------------------------------
; Uninstaller

Function un.onInit
  SetRegView 32
  SetShellVarContext all
  !insertmacro MUI_UNGETLANGUAGE
  !insertmacro REQUIRE_ADMIN "$(UnNoAdmin)"
FunctionEnd

; A line for what the uninstaller left (the text on the stack), shown and logged at its end.
Function un.NoteLeft
  Exch $0
  DetailPrint $0
  StrCpy $Left "$Left$0$\r$\n"
  Pop $0
FunctionEnd

; The log, for a silent uninstall above all: what was left, or that nothing was; and the
; exit code. It goes to a file made for this run in %TEMP%, its name holding the time. This may
; run elevated or as SYSTEM, whose Temp folder every user may create files in: a name that is
; taken (by a file, or by a link to someone else's file) is never opened but passed over for
; the next, CREATE_NEW with FILE_FLAG_OPEN_REPARSE_POINT. Sets $LogFile, empty without a log.
Function un.WriteLog
  GetErrorLevel $1
  ${If} $1 == -1 ; never set
    StrCpy $1 0
  ${EndIf}
  ${GetTime} "" "L" $2 $3 $4 $5 $6 $7 $8
  StrCpy $2 "$TEMP\${UNINSTALL_LOG_NAME}-$4$3$2-$6$7$8"
  StrCpy $LogFile "$2.log"
  StrCpy $3 1
  ${Do}
    System::Call 'kernel32::CreateFileW(w "$LogFile", i 0x40000000, i 0, p 0, i 1, i 0x00200080, p 0) p .r0'
    ${If} $0 P<> -1
      ${Break}
    ${EndIf}
    IntOp $3 $3 + 1
    ${If} $3 > 99
      StrCpy $LogFile ""
      Return
    ${EndIf}
    StrCpy $LogFile "$2-$3.log"
  ${Loop}
  ${If} $Left == ""
    FileWriteUTF16LE /BOM $0 "$(UnRemoved)$\r$\n"
  ${Else}
    FileWriteUTF16LE /BOM $0 $Left
  ${EndIf}
  FileWriteUTF16LE $0 "$(UnExitCode): $1$\r$\n"
  FileClose $0
  DetailPrint "$(UnLogIn)"
FunctionEnd

; FORGET_MISSING <registry view> <the other view> <type library platform> <file>: a Zorvane.dll
; that is gone (deleted by hand, say) cannot unregister itself, so the keys that name it are
; removed here as its unregistration would remove them: the class in this view, the
; programmatic identifier unless the other view still holds the class, and the library's
; entry of this kind, with the library's other keys and its interface once no kind is left.
; Keys that name another copy stay.
!macro FORGET_MISSING VIEW OTHER_VIEW PLATFORM FILE
  SetRegView ${VIEW}
  ReadRegStr $0 SHCTX "Software\Classes\CLSID\${CLSID}\InprocServer32" ""
  ${If} $0 == "${FILE}"
    DeleteRegKey SHCTX "Software\Classes\CLSID\${CLSID}"
    StrCpy $1 ""
    ${If} ${RunningX64}
      SetRegView ${OTHER_VIEW}
      ReadRegStr $1 SHCTX "Software\Classes\CLSID\${CLSID}\InprocServer32" ""
      SetRegView ${VIEW}
    ${EndIf}
    ${If} $1 == ""
      DeleteRegKey SHCTX "Software\Classes\${PROGID}"
    ${EndIf}
  ${EndIf}
  ReadRegStr $0 SHCTX "Software\Classes\TypeLib\${LIBID}\1.0\0\${PLATFORM}" ""
  ${If} $0 == "${FILE}"
    DeleteRegKey SHCTX "Software\Classes\TypeLib\${LIBID}\1.0\0\${PLATFORM}"
    DeleteRegKey /ifempty SHCTX "Software\Classes\TypeLib\${LIBID}\1.0\0"
    Call un.ForgetLibraryIfUnused
  ${EndIf}
  SetRegView 32
!macroend

!macro FORGET_INTERFACE VIEW
  SetRegView ${VIEW}
  ReadRegStr $0 SHCTX "Software\Classes\Interface\${INTERFACE}\TypeLib" ""
  ${If} $0 == "${LIBID}"
    DeleteRegKey SHCTX "Software\Classes\Interface\${INTERFACE}"
  ${EndIf}
!macroend

; With no kind of the library left registered (only FLAGS and HELPDIR beside), the rest of its
; keys go, as UnRegisterTypeLib removes them, and its interface's in either view.
Function un.ForgetLibraryIfUnused
  StrCpy $1 0
  ${Do}
    EnumRegKey $0 SHCTX "Software\Classes\TypeLib\${LIBID}\1.0" $1
    ${If} $0 == ""
      ${Break}
    ${ElseIf} $0 != "FLAGS"
    ${AndIf} $0 != "HELPDIR"
      Return
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
  DeleteRegKey SHCTX "Software\Classes\TypeLib\${LIBID}\1.0"
  DeleteRegKey /ifempty SHCTX "Software\Classes\TypeLib\${LIBID}"
  !insertmacro FORGET_INTERFACE 32
  ${If} ${RunningX64}
    !insertmacro FORGET_INTERFACE 64
  ${EndIf}
FunctionEnd

; FORGET_DLL <registry view> <type library platform> <file>, after the file's unregistration:
; while the registry still names the file (the class's server in that view, or the type
; library's path), the file stays, so that the registration keeps a file to unregister
; with; else the file is deleted. Either failure is noted and sets the exit code, a failed
; unregistration before a file left.
!macro FORGET_DLL VIEW PLATFORM FILE
  SetRegView ${VIEW}
  ReadRegStr $0 SHCTX "Software\Classes\CLSID\${CLSID}\InprocServer32" ""
  ReadRegStr $1 SHCTX "Software\Classes\TypeLib\${LIBID}\1.0\0\${PLATFORM}" ""
  SetRegView 32
  StrCpy $LeftItem "${FILE}"
  ${If} $0 == "${FILE}"
  ${OrIf} $1 == "${FILE}"
    Push "$(UnNotUnregistered)"
    Call un.NoteLeft
    SetErrorLevel ${EXIT_NOT_REGISTERED}
  ${Else}
    Delete "${FILE}"
    ${If} ${FileExists} "${FILE}"
      Push "$(UnNotDeleted)"
      Call un.NoteLeft
      GetErrorLevel $0
      ${If} $0 != ${EXIT_NOT_REGISTERED}
        SetErrorLevel ${EXIT_FILES_LEFT}
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

Section "Uninstall"
  Call un.SetFolder64
  !insertmacro REQUIRE_FREE "un." "$INSTDIR\Zorvane.dll" "$(UnInUse)"
  ${If} $Folder64 != ""
    !insertmacro REQUIRE_FREE "un." "$Folder64\Zorvane.dll" "$(UnInUse64)"
  ${EndIf}
  StrCpy $Left ""

  ; Only what the setup wrote: each DLL's own registration, the files, the folders if
  ; nothing else is left in them, and the uninstall entry. Orbanel's keys stay.
  ${If} $Folder64 != ""
    ${If} ${FileExists} "$Folder64\Zorvane.dll"
      ${DisableX64FSRedirection}
      ExecWait '"$SYSDIR\regsvr32.exe" /u /s "$Folder64\Zorvane.dll"'
      ${EnableX64FSRedirection}
    ${Else}
      !insertmacro FORGET_MISSING 64 32 win64 "$Folder64\Zorvane.dll"
    ${EndIf}
    !insertmacro FORGET_DLL 64 win64 "$Folder64\Zorvane.dll"
    RMDir "$Folder64"
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\Zorvane.dll"
    UnRegDLL "$INSTDIR\Zorvane.dll"
  ${Else}
    !insertmacro FORGET_MISSING 32 64 win32 "$INSTDIR\Zorvane.dll"
  ${EndIf}
  !insertmacro FORGET_DLL 32 win32 "$INSTDIR\Zorvane.dll"

  ; With anything left, the uninstaller and its entry stay for another try. Run in place
  ; (_?=), it cannot delete itself: that file is the caller's.
  ${If} $Left == ""
    Delete "$INSTDIR\uninstall.exe"
    ${If} ${FileExists} "$INSTDIR\uninstall.exe"
    ${AndIf} $EXEPATH != "$INSTDIR\uninstall.exe"
      StrCpy $LeftItem "$INSTDIR\uninstall.exe"
      Push "$(UnNotDeleted)"
      Call un.NoteLeft
      SetErrorLevel ${EXIT_FILES_LEFT}
    ${EndIf}
  ${EndIf}
  RMDir "$INSTDIR"
  ${If} $Left == ""
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ${EndIf}

  Call un.WriteLog
  ${If} $Left != ""
    ${If} $LogFile != ""
      MessageBox MB_OK|MB_ICONEXCLAMATION "$(UnLeft)$\r$\n$\r$\n$(UnLogIn)" /SD IDOK
    ${Else}
      MessageBox MB_OK|MB_ICONEXCLAMATION "$(UnLeft)" /SD IDOK
    ${EndIf}
  ${EndIf}
SectionEnd

; Refused before anything was removed (a Zorvane.dll in use): the log says so too.
Function un.onUninstFailed
  Call un.WriteLog
FunctionEnd
