; Per-user installer for Quorvane: no administrator rights, a Start menu
; entry, and an uninstaller that removes exactly what was put down. It speaks
; Simplified Chinese or English, as the system does (English elsewhere).
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
BrandingText "${APP} ${VERSION}"
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

; English first: the language of systems that speak neither.
LoadLanguageFile "${NSISDIR}\Contrib\Language files\English.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\SimpChinese.nlf"

LangString QvAbout ${LANG_ENGLISH} "Quorvane turns JPEG pictures into hexadecimal text and back. Setup installs it for you alone, without administrator rights, into the folder below."
LangString QvAbout ${LANG_SIMPCHINESE} "Quorvane 可以把 JPEG 图片转换成十六进制文本，也可以把十六进制文本还原成图片。安装程序只为您一人安装，不需要管理员权限，安装到下面的文件夹。"
LangString QvRunning ${LANG_ENGLISH} "Quorvane is running. Close it, then choose OK to go on, or Cancel to stop."
LangString QvRunning ${LANG_SIMPCHINESE} "Quorvane 正在运行。请先关闭它，再点“确定”继续；点“取消”停止。"
LangString QvNotWritable ${LANG_ENGLISH} "You cannot write to this folder. Choose a folder of your own, such as the one proposed."
LangString QvNotWritable ${LANG_SIMPCHINESE} "您无法写入这个文件夹。请选择一个属于您自己的文件夹，例如建议的文件夹。"

DirText "$(QvAbout)"

Page directory "" "" CheckInstallDir
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

; A per-user install goes where the user can write: a folder refused here
; (another user's, or Program Files without administrator rights) would only
; fail half-way through the copying.
Function CheckInstallDir
  ; A folder made only for this check goes again: the user may still go back.
  StrCpy $1 "made"
  IfFileExists "$INSTDIR\*.*" 0 +2
    StrCpy $1 ""
  ClearErrors
  CreateDirectory "$INSTDIR"
  FileOpen $0 "$INSTDIR\quorvane-setup.tmp" w
  IfErrors 0 writable
    StrCmp $1 "" +2
      RMDir "$INSTDIR"
    MessageBox MB_OK|MB_ICONSTOP "$(QvNotWritable)"
    Abort
  writable:
  FileClose $0
  Delete "$INSTDIR\quorvane-setup.tmp"
  StrCmp $1 "" +2
    RMDir "$INSTDIR"
FunctionEnd

; The system refuses to replace a program that is running: ask the user to
; close it (a silent run stops with exit code 2 instead) rather than fail on
; the first file.
!macro QV_CLOSE_RUNNING_COPIES un
Function ${un}CloseRunningCopies
  retry:
  ClearErrors
  IfFileExists "$INSTDIR\quorvane.exe" 0 +3
    FileOpen $0 "$INSTDIR\quorvane.exe" a
    FileClose $0
  IfFileExists "$INSTDIR\quorvane-hex.exe" 0 +3
    FileOpen $0 "$INSTDIR\quorvane-hex.exe" a
    FileClose $0
  IfErrors 0 free
    MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION "$(QvRunning)" /SD IDCANCEL IDOK retry
    SetErrorLevel 2
    Quit
  free:
FunctionEnd
!macroend
!insertmacro QV_CLOSE_RUNNING_COPIES ""
!insertmacro QV_CLOSE_RUNNING_COPIES "un."

; An older version goes first, through its own uninstaller, so that files the
; new one no longer ships do not stay behind (files the user added do).
Function RemoveOlderVersion
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  StrCmp $0 "" done
  IfFileExists "$0\Uninstall.exe" 0 done
  ExecWait '"$0\Uninstall.exe" /S _?=$0'
  Delete "$0\Uninstall.exe"
  done:
FunctionEnd

Section "Install"
  Call CloseRunningCopies
  Call RemoveOlderVersion
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
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  !insertmacro QV_REGISTER_OPEN_WITH
SectionEnd

Section "Uninstall"
  Call un.CloseRunningCopies
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
