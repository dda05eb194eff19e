; The Windows installer of Orvatone Zave. Built by the windows-package target:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.07 -DSTAGE=<folder with zave.exe>
;            [-DWITH_ZAVECTL] [-DWITH_HELP] -DOUTFILE=<installer.exe> zave.nsi
; Silent use: installer.exe /S [/D=folder]; Uninstall.exe /S.

; A 64-bit installer for the 64-bit program (it also runs where only 64-bit
; Windows programs can, such as a plain 64-bit Wine).
Target amd64-unicode
!include "MUI2.nsh"

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef STAGE
  !error "STAGE is not defined"
!endif
!ifndef OUTFILE
  !error "OUTFILE is not defined"
!endif

!define PRODUCT "Orvatone Zave"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvatoneZave"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "FileDescription" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "Orvatone"

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\zave.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "${PRODUCT}"
  SetOutPath "$INSTDIR"
  File "${STAGE}\zave.exe"
!ifdef WITH_ZAVECTL
  File "${STAGE}\zavectl.exe"
!endif
!ifdef WITH_HELP
  File "${STAGE}\help.chm"
!endif
!ifdef WITH_TRANSLATIONS
  SetOutPath "$INSTDIR\translations"
  File "${STAGE}\translations\qtbase_ru.qm"
  SetOutPath "$INSTDIR"
!endif
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The working folder of the shortcut is $INSTDIR: the program finds its
  ; help file there.
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\zave.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Удалить ${PRODUCT}.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Orvatone"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zave.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Удалить ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  Delete "$INSTDIR\zave.exe"
  Delete "$INSTDIR\zavectl.exe"
  Delete "$INSTDIR\help.chm"
  Delete "$INSTDIR\Uninstall.exe"
  Delete "$INSTDIR\translations\qtbase_ru.qm"
  RMDir "$INSTDIR\translations"
  ; Only when empty: documents the operator saved here stay.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
