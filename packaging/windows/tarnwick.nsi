; Installer for Tarnwick on 64-bit Windows, made by scripts/build-windows.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=x.y.z -DSTAGE=<folder with the
;            portable package> -DUNINSTALL_LIST=<generated .nsh>
;            -DICON=<.ico> -DLICENSE=<licence text, UTF-16LE with BOM>
;            -DOUTFILE=<setup.exe> tarnwick.nsi
; It installs for all users into Program Files, adds a Start-menu entry, opens
; .cmdat files with the program and registers an uninstaller with Windows that
; removes exactly what was installed.
;
; It installs only into a new or empty folder or over an earlier installation
; (never among someone else's files, which it would overwrite and its
; uninstaller would delete); exit code 2 when refused. A folder outside
; Program Files gets Program Files' permissions, since the all-users .cmdat
; association runs its tarnwick.exe for every user. An earlier .cmdat
; association is kept and given back on uninstall.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define PRODUCT "Tarnwick Free"
!define PUBLISHER "Tarnwick"
!define EXE "tarnwick.exe"
!define PROGID "Tarnwick.Project"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick"
!define CMDAT_KEY "Software\Classes\.cmdat"
; Where the ProgID that .cmdat had before us is kept until the uninstall.
!define PREVIOUS_PROGID "PreviousCmdatProgId"
!define STARTMENU_DIR "$SMPROGRAMS\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tarnwick"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; No "run now" box: started from here the program would run elevated, and
; with an administrator's settings when another account gave the rights.

!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the fallback; Windows' display language picks the other.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString DirInUse ${LANG_ENGLISH} "The folder $INSTDIR already holds files that are not an earlier installation of ${PRODUCT}. Installing there would overwrite them, and uninstalling would delete them.$\r$\nChoose a new or empty folder."
LangString DirInUse ${LANG_JAPANESE} "フォルダー $INSTDIR には、${PRODUCT} の以前のインストールではないファイルがあります。ここにインストールするとそれらを上書きし、アンインストールで削除してしまいます。$\r$\n新しいフォルダーか空のフォルダーを選んでください。"
LangString InstalledElsewhere ${LANG_ENGLISH} "${PRODUCT} is already installed in $R9. Install into that folder, or uninstall it first."
LangString InstalledElsewhere ${LANG_JAPANESE} "${PRODUCT} は既に $R9 にインストールされています。そのフォルダーにインストールするか、先にアンインストールしてください。"
LangString PermissionsFailed ${LANG_ENGLISH} "The permissions of $INSTDIR could not be set so that only administrators may change the program. Nothing was installed."
LangString PermissionsFailed ${LANG_JAPANESE} "$INSTDIR のアクセス許可を、管理者だけがプログラムを変更できるように設定できませんでした。何もインストールしていません。"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${PUBLISHER}"

; Explorer caches file type icons and handlers until told that they changed.
!macro NotifyAssociationsChanged
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

; $INSTDIR as a full path without a trailing backslash, so that folders
; compare equal however they were typed.
Function NormalizeInstDir
  GetFullPathName $0 "$INSTDIR"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
  StrCpy $0 "$INSTDIR" "" -1
  ${If} $0 == "\"
    StrLen $0 "$INSTDIR"
    ${If} $0 > 3 ; a drive's root keeps its backslash
      StrCpy $INSTDIR "$INSTDIR" -1
    ${EndIf}
  ${EndIf}
FunctionEnd

; Leaves on the stack "ok", "in use" (the folder holds files that are not an
; earlier installation) or "elsewhere" (an installation in another folder,
; named in $R9, whose uninstaller would remove this one's registry entries).
Function CheckInstDir
  Call NormalizeInstDir
  ReadRegStr $R9 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R9 != ""
  ${AndIf} ${FileExists} "$R9\uninstall.exe"
    ; StrCmp ignores case, as Windows' paths do.
    ${If} $R9 == $INSTDIR
      Push "ok"
      Return
    ${EndIf}
    Push "elsewhere"
    Return
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\*.*"
    FindFirst $0 $1 "$INSTDIR\*.*"
    ${DoWhile} $1 != ""
      ${If} $1 != "."
      ${AndIf} $1 != ".."
        FindClose $0
        Push "in use"
        Return
      ${EndIf}
      FindNext $0 $1
    ${Loop}
    FindClose $0
  ${ElseIf} ${FileExists} "$INSTDIR"
    Push "in use" ; a file of that name
    Return
  ${EndIf}
  Push "ok"
FunctionEnd

; Says why a folder is refused; leaves the verdict's result in $0.
Function ExplainInstDir
  Call CheckInstDir
  Pop $0
  ${If} $0 == "in use"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(DirInUse)" /SD IDOK
  ${ElseIf} $0 == "elsewhere"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(InstalledElsewhere)" /SD IDOK
  ${EndIf}
FunctionEnd

Function DirectoryLeave
  Call ExplainInstDir
  ${If} $0 != "ok"
    Abort ; stays on the page
  ${EndIf}
FunctionEnd

Function .onInit
  SetShellVarContext all
  ; A silent install shows no directory page: its /D= folder is judged here,
  ; before anything is written.
  ${If} ${Silent}
    Call ExplainInstDir
    ${If} $0 != "ok"
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

; Program Files lets only administrators and the system change what is in it
; (everyone may read and run it). A folder elsewhere inherits what its parent
; allows, often writing for every user, who could then replace tarnwick.exe,
; which the all-users .cmdat association starts for every user. Such a
; folder gets the same rules, explicitly and not inherited, and
; administrators as its owner (an owner may always change the rules).
Function SecureInstDir
  StrLen $1 "$PROGRAMFILES64\"
  StrCpy $0 "$INSTDIR" $1
  ${If} $0 == "$PROGRAMFILES64\"
    Return
  ${EndIf}
  StrLen $1 "$PROGRAMFILES32\"
  StrCpy $0 "$INSTDIR" $1
  ${If} $0 == "$PROGRAMFILES32\"
    Return
  ${EndIf}
  ; Well-known SIDs, so that the names' language does not matter:
  ; S-1-5-32-544 Administrators, S-1-5-18 SYSTEM, S-1-5-32-545 Users,
  ; S-1-15-2-1 all application packages.
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR" /setowner *S-1-5-32-544'
  Pop $0
  ${If} $0 == 0
    ; Explicit entries someone added go; inherited ones follow the parent.
    nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR" /reset'
    Pop $0
  ${EndIf}
  ${If} $0 == 0
    nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX *S-1-15-2-1:(OI)(CI)RX'
    Pop $0
  ${EndIf}
  ${If} $0 != 0
    RMDir "$INSTDIR" ; only if it is still empty
    MessageBox MB_OK|MB_ICONSTOP "$(PermissionsFailed)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Install"
  ; Before any file, so that every file inherits the folder's rules.
  CreateDirectory "$INSTDIR"
  Call SecureInstDir
  SetOutPath "$INSTDIR"
  File /r "${STAGE}/*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "${STARTMENU_DIR}"
  CreateShortcut "${STARTMENU_DIR}\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

  ; Another program's association is kept until the uninstall gives it back
  ; (not overwritten by our own on a reinstall).
  ReadRegStr $0 HKLM "${CMDAT_KEY}" ""
  ${If} $0 != ""
  ${AndIf} $0 != "${PROGID}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "${PREVIOUS_PROGID}" "$0"
  ${EndIf}
  WriteRegStr HKLM "${CMDAT_KEY}" "" "${PROGID}"
  WriteRegNone HKLM "${CMDAT_KEY}\OpenWithProgids" "${PROGID}"
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "${PRODUCT} Project"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$\"$INSTDIR\${EXE}$\",0"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" "$\"$INSTDIR\${EXE}$\" $\"%1$\""
  !insertmacro NotifyAssociationsChanged

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$\"$INSTDIR\${EXE}$\",0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\uninstall.exe$\""
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\uninstall.exe$\" /S"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize 0 $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  !include "${UNINSTALL_LIST}"
  Delete "$INSTDIR\uninstall.exe"
  ; Only an empty folder goes: anything the user put there stays.
  RMDir /REBOOTOK "$INSTDIR"

  Delete "${STARTMENU_DIR}\${PRODUCT}.lnk"
  RMDir "${STARTMENU_DIR}"

  ; The extension is given back only while it still points at us: to the
  ; program that had it before, if that is still registered. Other values
  ; and other programs' OpenWithProgids entries stay; the key goes only when
  ; nothing is left in it.
  ReadRegStr $0 HKLM "${CMDAT_KEY}" ""
  ${If} $0 == "${PROGID}"
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "${PREVIOUS_PROGID}"
    ClearErrors
    ${If} $1 != ""
      EnumRegKey $2 HKCR "$1" 0
    ${EndIf}
    ${If} $1 != ""
    ${AndIfNot} ${Errors}
      WriteRegStr HKLM "${CMDAT_KEY}" "" "$1"
    ${Else}
      DeleteRegValue HKLM "${CMDAT_KEY}" ""
    ${EndIf}
  ${EndIf}
  DeleteRegValue HKLM "${CMDAT_KEY}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${CMDAT_KEY}\OpenWithProgids"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${CMDAT_KEY}"
  DeleteRegKey HKLM "Software\Classes\${PROGID}"
  !insertmacro NotifyAssociationsChanged

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
