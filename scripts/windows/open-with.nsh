; "Open with" for .jpg and .jpeg, for the current user alone: the program's
; application entry, a file type of its own listed under each extension, and
; their removal. Nothing here changes which program opens a picture by default.
!define QV_CLASSES "Software\Classes"
!define QV_PROGID "Quorvane.jpg"

!macro QV_OPEN_WITH_EXTENSION ext
  WriteRegStr HKCU "${QV_CLASSES}\${ext}\OpenWithProgids" "${QV_PROGID}" ""
  WriteRegStr HKCU "${QV_CLASSES}\Applications\quorvane.exe\SupportedTypes" "${ext}" ""
!macroend

!macro QV_REGISTER_OPEN_WITH
  WriteRegStr HKCU "${QV_CLASSES}\Applications\quorvane.exe" "FriendlyAppName" "${APP}"
  WriteRegStr HKCU "${QV_CLASSES}\Applications\quorvane.exe\shell\open\command" "" '"$INSTDIR\quorvane.exe" "%1"'
  WriteRegStr HKCU "${QV_CLASSES}\${QV_PROGID}" "" "JPEG"
  WriteRegStr HKCU "${QV_CLASSES}\${QV_PROGID}\DefaultIcon" "" "$INSTDIR\quorvane.exe,0"
  WriteRegStr HKCU "${QV_CLASSES}\${QV_PROGID}\shell\open\command" "" '"$INSTDIR\quorvane.exe" "%1"'
  !insertmacro QV_OPEN_WITH_EXTENSION ".jpg"
  !insertmacro QV_OPEN_WITH_EXTENSION ".jpeg"
!macroend

!macro QV_FORGET_EXTENSION ext
  DeleteRegValue HKCU "${QV_CLASSES}\${ext}\OpenWithProgids" "${QV_PROGID}"
  ; The extension's keys go only when they were there for us alone.
  DeleteRegKey /ifempty HKCU "${QV_CLASSES}\${ext}\OpenWithProgids"
  DeleteRegKey /ifempty HKCU "${QV_CLASSES}\${ext}"
!macroend

!macro QV_UNREGISTER_OPEN_WITH
  !insertmacro QV_FORGET_EXTENSION ".jpg"
  !insertmacro QV_FORGET_EXTENSION ".jpeg"
  DeleteRegKey HKCU "${QV_CLASSES}\${QV_PROGID}"
  DeleteRegKey HKCU "${QV_CLASSES}\Applications\quorvane.exe"
!macroend
