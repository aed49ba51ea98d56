; Installer for Tarnwick on 64-bit Windows, made by scripts/build-windows.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=x.y.z -DSTAGE=<folder with the
;            portable package> -DUNINSTALL_LIST=<generated .nsh>
;            -DICON=<.ico> -DLICENSE=<licence text, UTF-16LE with BOM>
;            -DOUTFILE=<setup.exe> tarnwick.nsi
; It installs for all users into Program Files, adds a Start-menu entry, opens
; .cmdat files with the program and registers an uninstaller with Windows that
; removes exactly what was installed.

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
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the fallback; Windows' display language picks the other.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

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

Function .onInit
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File /r "${STAGE}/*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "${STARTMENU_DIR}"
  CreateShortcut "${STARTMENU_DIR}\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

  WriteRegStr HKLM "Software\Classes\.cmdat" "" "${PROGID}"
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

  ; The extension is released only while it still points at us.
  ReadRegStr $0 HKLM "Software\Classes\.cmdat" ""
  ${If} $0 == "${PROGID}"
    DeleteRegKey HKLM "Software\Classes\.cmdat"
  ${EndIf}
  DeleteRegKey HKLM "Software\Classes\${PROGID}"
  !insertmacro NotifyAssociationsChanged

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
