; The Windows setup of Zorvane, for all users of the computer or for the current user only.
; For all users (elevated): Zorvane.dll into the 32-bit program folder, registered for 32-bit
; COM, and on 64-bit (x64) Windows the 64-bit Zorvane.dll into a folder of its own under the
; 64-bit program folder, registered for 64-bit COM; one entry in "Apps and features" (HKLM).
; For the current user only (no elevation asked): both into %LOCALAPPDATA%\Programs\Zorvane
; (the 64-bit one in x64\), registered for that user (regsvr32 /n /i:user, below
; HKCU\Software\Classes), the entry under HKCU.
; The mode is chosen on a page of its own, or by /AllUsers or /CurrentUser (with /S too);
; without either, an installed Zorvane's mode (the user's own first), else all users: an update
; keeps its mode. The setup runs with the rights it was started with; for all users without
; administrator rights it starts itself again elevated (Windows asks) and ends with that
; copy's exit code. Its uninstaller does the same, its mode given by its entry's command line.
; Built by package/CMakeLists.txt:
;   makensis -INPUTCHARSET UTF8 -DVERSION=0.2.0.4 -DDLL=<Zorvane.dll> -DDLL64=<64-bit Zorvane.dll>
;            -DOUTFILE=<exe> Zorvane-Setup.nsi
;
; Exit codes of the setup (also with /S):
;   0  installed; Orbanel's type library VELTTypeLib 2.2 is registered
;   1  cancelled by the user; nothing changed
;   2  not installed: for all users, and no administrator rights (elevation refused or failed;
;      from the mode's page, the page shows again instead)
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
;   2  not removed: installed for all users, and no administrator rights
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
; No elevation asked up front: for the current user none is needed.
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include WordFunc.nsh
!include WinVer.nsh
!include nsDialogs.nsh

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
; The access list of every folder the setup installs into, for the folder, its subfolders and
; files, protected so that nothing is inherited. For all users: administrators and SYSTEM full
; control, users read and execute (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE). For the current
; user: that user (owner too; <user> stands for the SID), administrators and SYSTEM full
; control, other users nothing.
!define FOLDER_ACCESS_ALL_USERS "O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
!define FOLDER_ACCESS_CURRENT_USER "O:<user>D:PAI(A;OICI;FA;;;<user>)(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)"

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

; No InstallDir: the folder comes with the mode (ApplyMode), unless /D= gives one.
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

Var Mode       ; AllUsers or CurrentUser
Var ModeGiven  ; 1 when the command line chose it
Var Elevated   ; 1 in the copy that a copy without administrator rights started elevated
Var ElevationFromPage ; 1 while the mode's page asks for elevation
Var ElevationRefused  ; 1 when it was refused there
Var GivenDir   ; the folder /D= gave, if any
Var UserName
Var FolderAccess ; the access list of every install folder, as a security descriptor string
Var DirectoryWhom   ; what the directory page says of the mode
Var DirectoryRights
Var RegisterSwitches ; regsvr32's for this mode: DllRegisterServer, or DllInstall "user"
Var ModeAllUsersButton
Var ModeCurrentUserButton
Var ShownVersion ; of an installation shown on the mode page
Var ShownFolder
Var HostMissing
Var Installed ; 1 when the mode has an installation to update
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
!define MUI_CUSTOMFUNCTION_GUIINIT GuiInit
!define MUI_CUSTOMFUNCTION_UNGUIINIT un.GuiInit
; The language chooser opens on the system's language (or the one chosen last time).
!define MUI_LANGDLL_ALWAYSSHOW
!define MUI_LANGDLL_WINDOWTITLE "${PRODUCT} ${VERSION}"
!define MUI_LANGDLL_INFO "Sprache / Language:"
; Kept in the mode's own uninstall entry.
!define MUI_LANGDLL_REGISTRY_ROOT SHCTX
!define MUI_LANGDLL_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MUI_LANGDLL_REGISTRY_VALUENAME "Installer Language"

!define MUI_WELCOMEPAGE_TEXT "$(WelcomeText)$Note64$Updating$\r$\n$\r$\n$_CLICK"
!define MUI_PAGE_CUSTOMFUNCTION_PRE WelcomePre
!insertmacro MUI_PAGE_WELCOME
Page custom ModePage ModePageLeave
!define MUI_PAGE_CUSTOMFUNCTION_PRE DirectoryPre
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
LangString ModeTitle ${LANG_GERMAN} "Für wen installieren"
LangString ModeTitle ${LANG_ENGLISH} "Choose Users"
LangString ModeSubtitle ${LANG_GERMAN} "Wählen Sie, wer ${PRODUCT} ${VERSION} verwenden kann."
LangString ModeSubtitle ${LANG_ENGLISH} "Choose who can use ${PRODUCT} ${VERSION}."
LangString ModeText ${LANG_GERMAN} "${PRODUCT} lässt sich für alle Benutzer dieses Computers installieren oder nur für Sie."
LangString ModeText ${LANG_ENGLISH} "${PRODUCT} can be installed for all users of this computer, or for you only."
LangString ModeAllUsers ${LANG_GERMAN} "Für alle Benutzer dieses Computers (braucht Administratorrechte)"
LangString ModeAllUsers ${LANG_ENGLISH} "For all users of this computer (needs administrator rights)"
LangString ModeCurrentUser ${LANG_GERMAN} "Nur für mich ($UserName), ohne Administratorrechte"
LangString ModeCurrentUser ${LANG_ENGLISH} "For me only ($UserName), without administrator rights"
LangString ModeInstalled ${LANG_GERMAN} "$\r$\nInstalliert: Version $ShownVersion in $ShownFolder"
LangString ModeInstalled ${LANG_ENGLISH} "$\r$\nInstalled: version $ShownVersion in $ShownFolder"
LangString ModeElevatedHost ${LANG_GERMAN} "Ein als Administrator gestartetes Orbanel lädt kein Plugin, das nur für einen Benutzer installiert ist; es braucht die Installation für alle Benutzer."
LangString ModeElevatedHost ${LANG_ENGLISH} "Orbanel started as administrator loads no plug-in installed for one user only; it needs the installation for all users."
LangString DirectoryText ${LANG_GERMAN} "${PRODUCT} wird $DirectoryWhom in den folgenden Ordner installiert. Er erhält eigene Zugriffsrechte, die nichts erben: $DirectoryRights $_CLICK"
LangString DirectoryText ${LANG_ENGLISH} "Setup will install ${PRODUCT} $DirectoryWhom in the following folder. It gets access rights of its own that inherit nothing: $DirectoryRights $_CLICK"
LangString WhomAllUsers ${LANG_GERMAN} "für alle Benutzer"
LangString WhomAllUsers ${LANG_ENGLISH} "for all users"
LangString WhomCurrentUser ${LANG_GERMAN} "nur für Sie"
LangString WhomCurrentUser ${LANG_ENGLISH} "for you only"
LangString RightsAllUsers ${LANG_GERMAN} "Administratoren und SYSTEM dürfen alles, Benutzer nur lesen und ausführen."
LangString RightsAllUsers ${LANG_ENGLISH} "administrators and SYSTEM have full control, users may only read and run."
LangString RightsCurrentUser ${LANG_GERMAN} "Sie, Administratoren und SYSTEM dürfen alles, andere Benutzer nichts."
LangString RightsCurrentUser ${LANG_ENGLISH} "you, administrators and SYSTEM have full control, other users none."
LangString ProtectedAllUsers ${LANG_GERMAN} "Zugriffsrechte von $Problem: Administratoren und SYSTEM Vollzugriff, Benutzer Lesen und Ausführen, nichts geerbt ($FolderAccess)"
LangString ProtectedAllUsers ${LANG_ENGLISH} "Access rights of $Problem: administrators and SYSTEM full control, users read and execute, nothing inherited ($FolderAccess)"
LangString ProtectedCurrentUser ${LANG_GERMAN} "Zugriffsrechte von $Problem: $UserName, Administratoren und SYSTEM Vollzugriff, sonst niemand, nichts geerbt ($FolderAccess)"
LangString ProtectedCurrentUser ${LANG_ENGLISH} "Access rights of $Problem: $UserName, administrators and SYSTEM full control, nobody else, nothing inherited ($FolderAccess)"
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
LangString NoAdmin ${LANG_GERMAN} "Für die Installation von ${PRODUCT} für alle Benutzer sind Administratorrechte nötig. Nur für Sie lässt es sich ohne sie installieren."
LangString NoAdmin ${LANG_ENGLISH} "Installing ${PRODUCT} for all users needs administrator rights. For you only, it installs without them."
LangString UnNoAdmin ${LANG_GERMAN} "${PRODUCT} ist für alle Benutzer installiert; für das Entfernen sind Administratorrechte nötig."
LangString UnNoAdmin ${LANG_ENGLISH} "${PRODUCT} is installed for all users; removing it needs administrator rights."
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

; Sets $Folder64, where the 64-bit plug-in lives: for all users its own folder under the
; 64-bit program folder, or "x64" inside $INSTDIR should $INSTDIR be that very folder (both
; files are named Zorvane.dll); for the current user "x64" inside $INSTDIR, as the user's
; program folder is one for both kinds. Empty where there is no 64-bit plug-in: on 32-bit
; Windows, and on ARM64 Windows, whose own 64-bit programs (the script hosts among them) are
; ARM64 code.
!macro SET_FOLDER64 UN
  Function ${UN}SetFolder64
    StrCpy $Folder64 ""
    ${If} ${RunningX64}
    ${AndIfNot} ${IsNativeARM64}
      StrCpy $Folder64 "$PROGRAMFILES64\${PRODUCT}"
      ${If} $Folder64 == $INSTDIR
      ${OrIf} $Mode == "CurrentUser"
        StrCpy $Folder64 "$INSTDIR\x64"
      ${EndIf}
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro SET_FOLDER64 ""
!insertmacro SET_FOLDER64 "un."

; USER_PROGRAM_FOLDER <variable>: the user's own program folder, %LOCALAPPDATA%\Programs.
!macro USER_PROGRAM_FOLDER VAR
  GetKnownFolderPath ${VAR} {5CD7AEE2-2219-4A67-B85D-6C9CE15660CB} ; FOLDERID_UserProgramFiles
  ${If} ${VAR} == ""
    StrCpy ${VAR} "$LOCALAPPDATA\Programs"
  ${EndIf}
!macroend

; Reads the switches both programs take: /AllUsers or /CurrentUser (sets $Mode and
; $ModeGiven), and those a copy started elevated gets from the one that started it:
; /Elevated, and /LANGID=<its language>, left in $0 (empty without).
!macro READ_SWITCHES UN
  Function ${UN}ReadSwitches
    Push $1
    ${GetParameters} $1
    StrCpy $ModeGiven 0
    ClearErrors
    ${GetOptions} $1 "/CurrentUser" $0
    ${IfNot} ${Errors}
      StrCpy $Mode "CurrentUser"
      StrCpy $ModeGiven 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $1 "/AllUsers" $0
    ${IfNot} ${Errors}
      StrCpy $Mode "AllUsers"
      StrCpy $ModeGiven 1
    ${EndIf}
    StrCpy $Elevated 0
    ClearErrors
    ${GetOptions} $1 "/Elevated" $0
    ${IfNot} ${Errors}
      StrCpy $Elevated 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $1 "/LANGID=" $0
    ${If} ${Errors}
      StrCpy $0 ""
    ${EndIf}
    Pop $1
  FunctionEnd
!macroend
!insertmacro READ_SWITCHES ""
!insertmacro READ_SWITCHES "un."

; SetShellVarContext for $Mode: SHCTX, the uninstall entry's and the classes' root, is HKLM for
; all users and HKCU for the current user; and regsvr32's switches for the mode.
!macro USE_MODE UN
  Function ${UN}UseMode
    ${If} $Mode == "CurrentUser"
      SetShellVarContext current
      StrCpy $RegisterSwitches "/s /n /i:user"
    ${Else}
      SetShellVarContext all
      StrCpy $RegisterSwitches "/s"
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro USE_MODE ""
!insertmacro USE_MODE "un."

; For all users, without administrator rights: runs this program again elevated ("runas":
; Windows asks for consent, or for an administrator's password), for all users, in this
; language, with the same command line, waits for it and quits with its exit code. The copy so
; started that still has no administrator rights says so and quits with exit code 2. Refused
; (no consent, or that copy's exit code 2), it quits with exit code 2 too, but from the mode's
; page ($ElevationFromPage 1), where the user may choose the current user instead, it
; returns with $ElevationRefused 1.
!macro ELEVATE_FOR_ALL_USERS UN MESSAGE
  Function ${UN}ElevateForAllUsers
    ${If} $Mode != "AllUsers"
      Return
    ${EndIf}
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 == "Admin"
      Return
    ${EndIf}
    ${If} $Elevated == 1
      MessageBox MB_OK|MB_ICONSTOP "${MESSAGE}" /SD IDOK
      SetErrorLevel ${EXIT_NO_ADMIN}
      Quit
    ${EndIf}
    ; The same command line, but that NSIS keeps /D= and _?= out of it: they go last again.
    ${GetParameters} $1
    !if "${UN}" == "un."
      StrCpy $1 "$1 _?=$INSTDIR"
    !else
      ${If} $GivenDir != ""
        StrCpy $1 "$1 /D=$GivenDir"
      ${EndIf}
    !endif
    ; SHELLEXECUTEINFOW (60 bytes in a 32-bit process), SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC
    System::Call '*(i 60, i 0x140, p $HWNDPARENT, w "runas", w "$EXEPATH", w "/AllUsers /Elevated /LANGID=$LANGUAGE $1", p 0, i 1, p 0, p 0, p 0, p 0, i 0, p 0, p 0) p .r2'
    System::Call 'shell32::ShellExecuteExW(p r2) i .r0'
    ${If} $0 == 0
      System::Free $2
      MessageBox MB_OK|MB_ICONSTOP "${MESSAGE}" /SD IDOK
      StrCpy $0 ${EXIT_NO_ADMIN}
    ${Else}
      System::Call '*$2(i, i, p, p, p, p, p, i, p, p, p, p, i, p, p .r3)'
      System::Free $2
      HideWindow
      System::Call 'kernel32::WaitForSingleObject(p r3, i -1)'
      System::Call 'kernel32::GetExitCodeProcess(p r3, *i .r0)'
      System::Call 'kernel32::CloseHandle(p r3)'
    ${EndIf}
    ${If} $0 == ${EXIT_NO_ADMIN}
    ${AndIf} $ElevationFromPage == 1
      ShowWindow $HWNDPARENT ${SW_SHOW}
      BringToFront
      StrCpy $ElevationRefused 1
      Return
    ${EndIf}
    SetErrorLevel $0
    Quit
  FunctionEnd
!macroend
!insertmacro ELEVATE_FOR_ALL_USERS "" "$(NoAdmin)"
!insertmacro ELEVATE_FOR_ALL_USERS "un." "$(UnNoAdmin)"

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

; Gives a folder (made first where it is missing) an access list of its own, $FolderAccess,
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
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "$FolderAccess", i 1, *p .r1, p 0) i .r2 ?e'
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

; FOLDER_ACCESS_FOR <SID>: $FolderAccess for the current user, that user being the SID.
!macro FOLDER_ACCESS_FOR SID
  ${WordReplace} "${FOLDER_ACCESS_CURRENT_USER}" "<user>" "${SID}" "+" $FolderAccess
!macroend

; INSTALLED_NOTE <HKLM or HKCU> <variable>: the mode page's note on the version installed
; under that root, or nothing.
!macro INSTALLED_NOTE ROOT VAR
  ReadRegStr $ShownVersion ${ROOT} "${UNINSTALL_KEY}" "DisplayVersion"
  ReadRegStr $ShownFolder ${ROOT} "${UNINSTALL_KEY}" "InstallLocation"
  StrCpy ${VAR} ""
  ${If} $ShownFolder != ""
    StrCpy ${VAR} "$(ModeInstalled)"
  ${EndIf}
!macroend

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
  ${AndIf} $Mode == "CurrentUser"
    DetailPrint "$(ProtectedCurrentUser)"
  ${ElseIf} $ProblemCode == 0
    DetailPrint "$(ProtectedAllUsers)"
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
  StrCpy $GivenDir $INSTDIR
  System::Call 'advapi32::GetUserNameW(w .r0, *i ${NSIS_MAX_STRLEN})'
  StrCpy $UserName $0

  ; The mode: the command line's, else an installation's (the user's own first), else all users.
  StrCpy $Mode "AllUsers"
  Call ReadSwitches
  ${If} $ModeGiven == 0
    ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $1 != ""
      StrCpy $Mode "CurrentUser"
    ${EndIf}
  ${EndIf}
  Call UseMode
  ${If} $0 != ""
    StrCpy $LANGUAGE $0 ; as the copy that started this one had it
  ${Else}
    !insertmacro MUI_LANGDLL_DISPLAY
  ${EndIf}
  Call ApplyMode
  ; The same question the plug-in asks at run time: can VELTTypeLib 2.2 be loaded?
  System::Call 'oleaut32::LoadRegTypeLib(g "${HOST_LIBID}", i 2, i 2, i 0, *p .r1) i .r0'
  ${If} $0 == 0
    System::Call '$1->2()' ; ITypeLib::Release
    StrCpy $HostMissing 0
  ${Else}
    StrCpy $HostMissing 1
  ${EndIf}
  ; Its texts come in the language just chosen only once .onInit has returned: with windows
  ; the checks wait for them.
  ${If} ${Silent}
    Call Checks
  ${EndIf}
FunctionEnd

Function GuiInit
  Call Checks
FunctionEnd

; What is checked before the pages: first Windows itself, as on an older one nothing that
; follows would help; whether Orbanel is there (asked once: not again by an elevated copy);
; and, without windows or with the mode given, the mode, as there is no mode page to leave.
Function Checks
  ${IfNot} ${AtLeastWin7}
    MessageBox MB_OK|MB_ICONSTOP "$(OldWindows)" /SD IDOK
    SetErrorLevel ${EXIT_OLD_WINDOWS}
    Quit
  ${EndIf}
  ${If} $HostMissing == 1
  ${AndIf} $Elevated == 0
    MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(HostMissing)" /SD IDYES IDYES install_anyway
    SetErrorLevel ${EXIT_CANCELLED}
    Quit
    install_anyway:
  ${EndIf}
  ${If} ${Silent}
  ${OrIf} $ModeGiven == 1
    Call ConfirmMode
  ${EndIf}
FunctionEnd

; Everything that follows from the mode: the classes' and the entry's root, where an installed
; Zorvane of this mode is (an update stays there), else the folder /D= gave or the mode's own,
; the 64-bit folder and the access list of the folders.
Function ApplyMode
  Call UseMode
  ReadRegStr $InstalledVersion SHCTX "${UNINSTALL_KEY}" "DisplayVersion"
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  StrCpy $Installed 0
  ${If} $0 != ""
    StrCpy $INSTDIR $0
    StrCpy $Installed 1
  ${ElseIf} $GivenDir != ""
    StrCpy $INSTDIR $GivenDir
  ${ElseIf} $Mode == "CurrentUser"
    !insertmacro USER_PROGRAM_FOLDER $INSTDIR
    StrCpy $INSTDIR "$INSTDIR\${PRODUCT}"
  ${Else}
    ; Zorvane.dll is a 32-bit DLL: "Program Files (x86)" on 64-bit Windows.
    StrCpy $INSTDIR "$PROGRAMFILES32\${PRODUCT}"
  ${EndIf}
  Call SetFolder64
  ${If} $Mode == "CurrentUser"
    Call UserSid
    Pop $0
    !insertmacro FOLDER_ACCESS_FOR $0
  ${Else}
    StrCpy $FolderAccess "${FOLDER_ACCESS_ALL_USERS}"
  ${EndIf}
FunctionEnd

; What the pages say of the mode, in the language chosen: set where a page shows it.
Function SetPageTexts
  StrCpy $Updating ""
  ${If} $Installed == 1
    StrCpy $Updating "$(UpdateNote)"
  ${EndIf}
  StrCpy $Note64 ""
  ${If} $Folder64 != ""
    StrCpy $Note64 "$(Note64)"
  ${EndIf}
  ${If} $Mode == "CurrentUser"
    StrCpy $DirectoryWhom "$(WhomCurrentUser)"
    StrCpy $DirectoryRights "$(RightsCurrentUser)"
  ${Else}
    StrCpy $DirectoryWhom "$(WhomAllUsers)"
    StrCpy $DirectoryRights "$(RightsAllUsers)"
  ${EndIf}
FunctionEnd

; The mode is settled: a newer installed version only when the user says so, never silently
; (asked once: not again by an elevated copy); then for all users the rights it needs.
Function ConfirmMode
  ${VersionCompare} "$InstalledVersion" "${VERSION}" $0
  ${If} $Elevated == 0
  ${AndIf} $InstalledVersion != ""
  ${AndIf} $0 == 1
    MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(NewerInstalled)" /SD IDNO IDYES replace_newer
    ${If} ${Silent}
      SetErrorLevel ${EXIT_NEWER_INSTALLED}
    ${Else}
      SetErrorLevel ${EXIT_CANCELLED}
    ${EndIf}
    Quit
    replace_newer:
  ${EndIf}
  Call ElevateForAllUsers
FunctionEnd

; Pushes the string form of this process's user's SID (S-1-5-21-...).
Function UserSid
  Push $0
  Push $1
  Push $2
  Push $3
  System::Call 'kernel32::GetCurrentProcess() p .r0'
  System::Call 'advapi32::OpenProcessToken(p r0, i 0x8, *p .r1)' ; TOKEN_QUERY
  System::Call 'advapi32::GetTokenInformation(p r1, i 1, p 0, i 0, *i .r2)' ; TokenUser: its size
  System::Alloc $2
  Pop $3
  System::Call 'advapi32::GetTokenInformation(p r1, i 1, p r3, i r2, *i .r2)'
  System::Call 'kernel32::CloseHandle(p r1)'
  System::Call '*$3(p .r1)' ; TOKEN_USER.User.Sid
  System::Call 'advapi32::ConvertSidToStringSidW(p r1, *p .r2)'
  System::Call 'kernel32::lstrcpynW(w .r0, p r2, i ${NSIS_MAX_STRLEN})'
  System::Call 'kernel32::LocalFree(p r2)'
  System::Free $3
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The elevated copy opens past the pages that the copy starting it showed.
Function WelcomePre
  ${If} $Elevated == 1
    Abort
  ${EndIf}
  Call SetPageTexts
FunctionEnd

; The mode's own page: for all users, or for the current user only, each with the version
; installed so, if any; skipped when the command line chose, or in the elevated copy.
Function ModePage
  ${If} $ModeGiven == 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "$(ModeTitle)" "$(ModeSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 20u "$(ModeText)"
  Pop $0
  !insertmacro INSTALLED_NOTE HKLM $1
  ${NSD_CreateFirstRadioButton} 10u 24u -10u 26u "$(ModeAllUsers)$1"
  Pop $ModeAllUsersButton
  !insertmacro INSTALLED_NOTE HKCU $1
  ${NSD_CreateAdditionalRadioButton} 10u 54u -10u 26u "$(ModeCurrentUser)$1"
  Pop $ModeCurrentUserButton
  ${NSD_CreateLabel} 0 90u 100% 30u "$(ModeElevatedHost)"
  Pop $0
  ${If} $Mode == "CurrentUser"
    ${NSD_Check} $ModeCurrentUserButton
  ${Else}
    ${NSD_Check} $ModeAllUsersButton
  ${EndIf}
  nsDialogs::Show
FunctionEnd

; Elevation refused for all users: the page stays, for the current user to be chosen.
Function ModePageLeave
  ${NSD_GetState} $ModeCurrentUserButton $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $Mode "CurrentUser"
  ${Else}
    StrCpy $Mode "AllUsers"
  ${EndIf}
  Call ApplyMode
  StrCpy $ElevationFromPage 1
  StrCpy $ElevationRefused 0
  Call ConfirmMode
  StrCpy $ElevationFromPage 0
  ${If} $ElevationRefused == 1
    Abort
  ${EndIf}
FunctionEnd

; An update stays in its folder.
Function DirectoryPre
  ${If} $Installed == 1
    Abort
  ${EndIf}
  Call SetPageTexts
FunctionEnd

; REGISTER_DLL <registry view> <file> <message>: registers the file for this mode; unless
; regsvr32 succeeds and the mode's classes in that view then name the file, the message is
; shown and the exit code is 5.
!macro REGISTER_DLL VIEW FILE MESSAGE
  ClearErrors
  ExecWait '"$SYSDIR\regsvr32.exe" $RegisterSwitches "${FILE}"' $0
  ${IfNot} ${Errors}
  ${AndIf} $0 == 0
    SetRegView ${VIEW}
    ReadRegStr $0 SHCTX "Software\Classes\CLSID\${CLSID}\InprocServer32" ""
    SetRegView 32
  ${EndIf}
  ${If} $0 != "${FILE}"
    MessageBox MB_OK|MB_ICONSTOP "${MESSAGE}" /SD IDOK
    DetailPrint "${MESSAGE}"
    SetErrorLevel ${EXIT_NOT_REGISTERED}
  ${EndIf}
!macroend

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
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$Mode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$Mode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/M=Zorvane.dll /S=0K /G=0" $0 $1 $2
  ${GetSize} "$INSTDIR" "/M=uninstall.exe /S=0K /G=0" $1 $2 $3
  IntOp $0 $0 + $1
  ${If} $Folder64 != ""
    ${GetSize} "$Folder64" "/M=Zorvane.dll /S=0K /G=0" $1 $2 $3
    IntOp $0 $0 + $1
  ${EndIf}
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; Each DLL registered by the regsvr32 of its kind: for all users by DllRegisterServer, for
  ; the current user by DllInstall "user". This setup is a 32-bit process: the regsvr32 in
  ; its System32 is the 32-bit one on any Windows; the 64-bit one is there once this thread's
  ; view of System32 is not redirected to SysWOW64.
  !insertmacro REGISTER_DLL 32 "$INSTDIR\Zorvane.dll" "$(NotRegistered)"
  ${If} $Folder64 != ""
    ${DisableX64FSRedirection}
    !insertmacro REGISTER_DLL 64 "$Folder64\Zorvane.dll" "$(NotRegistered64)"
    ${EnableX64FSRedirection}
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
  ; The mode: its entry's command line gives it; else the user's own entry naming this
  ; folder says the current user, and all users otherwise.
  StrCpy $Mode "AllUsers"
  Call un.ReadSwitches
  ${If} $ModeGiven == 0
    ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $1 == $INSTDIR
      StrCpy $Mode "CurrentUser"
    ${EndIf}
  ${EndIf}
  Call un.UseMode
  ${If} $0 != ""
    StrCpy $LANGUAGE $0
  ${Else}
    !insertmacro MUI_UNGETLANGUAGE
  ${EndIf}
  ; With windows, once its texts are in the language just chosen.
  ${If} ${Silent}
    Call un.ElevateForAllUsers
  ${EndIf}
FunctionEnd

Function un.GuiInit
  Call un.ElevateForAllUsers
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
      ExecWait '"$SYSDIR\regsvr32.exe" /u $RegisterSwitches "$Folder64\Zorvane.dll"'
      ${EnableX64FSRedirection}
    ${Else}
      !insertmacro FORGET_MISSING 64 32 win64 "$Folder64\Zorvane.dll"
    ${EndIf}
    !insertmacro FORGET_DLL 64 win64 "$Folder64\Zorvane.dll"
    RMDir "$Folder64"
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\Zorvane.dll"
    ExecWait '"$SYSDIR\regsvr32.exe" /u $RegisterSwitches "$INSTDIR\Zorvane.dll"'
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
  ; The user's program folder, which the setup may have made for it, when nothing is left in it.
  ${If} $Mode == "CurrentUser"
    !insertmacro USER_PROGRAM_FOLDER $0
    ${GetParent} "$INSTDIR" $1
    ${If} $1 == $0
      RMDir $0
    ${EndIf}
  ${EndIf}
  ${If} $Left == ""
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    ; Likewise the user's list of uninstall entries.
    ${If} $Mode == "CurrentUser"
      ${GetParent} "${UNINSTALL_KEY}" $0
      DeleteRegKey /ifempty SHCTX $0
    ${EndIf}
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
