; Per-user installer for Quorvane: no administrator rights, a Start menu
; entry, and an uninstaller that removes exactly what was put down.
; Made by package.sh, which passes VERSION, FILES_NSH, SIZE_KB, ICON, OUTFILE.
; A 64-bit installer for a 64-bit program: it also runs where only 64-bit
; programs can (Wine without its 32-bit part).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define APP "Quorvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane"
!include "${FILES_NSH}"
!include "${__FILEDIR__}/open-with.nsh"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${APP} ${VERSION} setup"
VIAddVersionKey "CompanyName" "Quorvane developers"
VIAddVersionKey "LegalCopyright" "Quorvane developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  !insertmacro QV_INSTALL_FILES
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\quorvane.exe" "" "$INSTDIR\quorvane.exe" 0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Quorvane developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quorvane.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  !insertmacro QV_REGISTER_OPEN_WITH
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\${APP}.lnk"
  !insertmacro QV_UNINSTALL_FILES
  Delete "$INSTDIR\Uninstall.exe"
  ; Only an empty folder goes: files the user put there stay.
  RMDir "$INSTDIR"
  ; The per-user programs folder too, when nothing else is in it.
  RMDir "$LOCALAPPDATA\Programs"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  !insertmacro QV_UNREGISTER_OPEN_WITH
SectionEnd
