; Zelvo's per-user installer (NSIS 3). No administrator rights: everything goes
; under the user's profile and HKEY_CURRENT_USER.
;
;   makensis -DZELVO_EXE=<path of zelvo.exe> [-DOUTFILE=<setup path>] installer/zelvo.nsi
;
; tips.txt, help.html and the icon are taken from res/ beside this folder.
;
; Installer switches:   /S silent, /D=<folder> install folder (last on the line).
; Uninstaller switches: /S silent; skins (images.ini and the bitmaps it lists)
;                       are removed unless /KEEPSKINS is given. Without /S the
;                       uninstaller asks, unless /KEEPSKINS is given.

Unicode true
Target amd64-unicode

!ifndef ZELVO_EXE
  !error "Give the program to package: makensis -DZELVO_EXE=<path of zelvo.exe>"
!endif
!ifndef OUTFILE
  !define OUTFILE "zelvo-setup.exe"
!endif

!define VERSION "1.11"
!define PUBLISHER "Zelvo"
; makensis works in this script's folder, so paths given on its command line must be absolute.
!define RES "../res"
!define UNINSTALLER "uninstall.exe"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zelvo"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define TOOLBAR_KEY "Software\Microsoft\Internet Explorer\Toolbar"
!define TIP_PROFILE "$WINDIR\ZELVO.INI"
; The tray menu's Exit command: Zelvo removes its tray icon and ends.
!define ID_EXIT 32771
!define SYNCHRONIZE 0x00100000
!define IDCANCEL 2

Name "Zelvo ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Zelvo"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "Zelvo"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Zelvo ${VERSION} Setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include TextFunc.nsh
!include WinMessages.nsh

!define MUI_ICON "${RES}/zelvo.ico"
!define MUI_UNICON "${RES}/zelvo.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Zelvo"
!define MUI_FINISHPAGE_RUN_FUNCTION StartZelvo

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; After the language, which brings a branding text of its own.
BrandingText "Zelvo ${VERSION}"

LangString StillRunning ${LANG_ENGLISH} "Zelvo is still running. Close its windows (or choose Exit from its tray icon's menu), then click Retry."
LangString KeepSkins ${LANG_ENGLISH} "Keep your skins?$\r$\n$\r$\nYes keeps images.ini and the skin bitmaps in $INSTDIR, so a later install into the same folder finds them again. No deletes them."

Var KeepSkins

; Asks every running Zelvo to exit and waits until it has: files of a running
; program cannot be replaced or deleted. A Quick Tip window is closed first,
; because Zelvo ends only after its modal dialogs return.
!macro DEFINE_CLOSE_ZELVO prefix
Function ${prefix}CloseZelvo
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $1 0
  pass:
    FindWindow $0 "" "  Quick Tip"
    ${If} $0 <> 0
      SendMessage $0 ${WM_COMMAND} ${IDCANCEL} 0 /TIMEOUT=5000
      ; Closing the tip shown at start-up lets Zelvo go on to open its window.
      ${For} $2 1 30
        Sleep 100
        FindWindow $0 "" "Zelvo"
        ${If} $0 <> 0
          ${ExitFor}
        ${EndIf}
      ${Next}
      Goto next
    ${EndIf}
    FindWindow $0 "" "Zelvo"
    ${If} $0 = 0
      Goto done
    ${EndIf}
    System::Call "user32::GetWindowThreadProcessId(p r0, *i .r2)"
    System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r2) p .r3"
    SendMessage $0 ${WM_COMMAND} ${ID_EXIT} 0 /TIMEOUT=5000
    ${If} $3 != 0
      System::Call "kernel32::WaitForSingleObject(p r3, i 5000)"
      System::Call "kernel32::CloseHandle(p r3)"
    ${Else}
      Sleep 1000
    ${EndIf}
  next:
    IntOp $1 $1 + 1
    ${If} $1 < 6
      Goto pass
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunning)" /SD IDCANCEL IDRETRY retry
    Abort
  retry:
    StrCpy $1 0
    Goto pass
  done:
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_ZELVO ""
!insertmacro DEFINE_CLOSE_ZELVO "un."

Function StartZelvo
  ; The shortcut's start-in folder is the program folder; starting from here matches it.
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\zelvo.exe"'
FunctionEnd

Section "Zelvo"
  Call CloseZelvo
  SetOutPath "$INSTDIR"
  File "/oname=zelvo.exe" "${ZELVO_EXE}"
  File "${RES}/tips.txt"
  File "${RES}/help.html"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The working folder of a shortcut is the output path when it is made.
  CreateShortcut "$SMPROGRAMS\Zelvo.lnk" "$INSTDIR\zelvo.exe" "" "$INSTDIR\zelvo.exe" 0

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "Zelvo"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\zelvo.exe"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

; Pushes 1 when the path on the stack (optionally opening with a quote, as a
; command line does) names a file directly in the program folder, else 0.
; The program stores its folder in lower case; StrCmp ignores case.
Function un.InProgramFolder
  Exch $0
  Push $1
  Push $2
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
  ${EndIf}
  StrLen $2 "$INSTDIR\"
  StrCpy $1 $0 $2
  ${If} $1 != "$INSTDIR\"
    StrCpy $0 0
    Goto done
  ${EndIf}
  StrCpy $0 $0 "" $2
  StrCpy $1 0
  ${Do}
    StrCpy $2 $0 1 $1
    ${If} $2 == ""
      StrCpy $0 1
      Goto done
    ${EndIf}
    ${If} $2 == "\"
      StrCpy $0 0
      Goto done
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
  done:
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

!macro DELETE_IF_OURS key value
  ReadRegStr $0 HKCU "${key}" "${value}"
  ${If} $0 != ""
    Push $0
    Call un.InProgramFolder
    Pop $0
    ${If} $0 == 1
      DeleteRegValue HKCU "${key}" "${value}"
    ${EndIf}
  ${EndIf}
!macroend

; Deletes the bitmaps listed in section [Images] of images.ini (lines
; "name=path"), then the list itself. Only files in the program folder go:
; a hand-edited line naming a picture elsewhere leaves that picture alone.
Function un.DeleteSkins
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $2 0
  ClearErrors
  FileOpen $0 "$INSTDIR\images.ini" r
  ${IfNot} ${Errors}
    ${Do}
      ClearErrors
      FileRead $0 $1
      ${If} ${Errors}
        ${ExitDo}
      ${EndIf}
      ${TrimNewLines} $1 $1
      StrCpy $3 $1 1
      ${If} $3 == "["
        ${If} $1 == "[Images]"
          StrCpy $2 1
        ${Else}
          StrCpy $2 0
        ${EndIf}
        ${Continue}
      ${EndIf}
      ${If} $2 = 1
        Push $1
        Call un.SkinPath
        Pop $1
        ${If} $1 != ""
          Delete "$1"
        ${EndIf}
      ${EndIf}
    ${Loop}
    FileClose $0
  ${EndIf}
  Delete "$INSTDIR\images.ini"
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; From one line "name=path" of images.ini pushes the path when it is a .bmp
; directly in the program folder, else an empty string.
Function un.SkinPath
  Exch $0
  Push $1
  Push $2
  StrCpy $1 0
  ${Do}
    StrCpy $2 $0 1 $1
    ${If} $2 == ""
      StrCpy $0 ""
      Goto done
    ${EndIf}
    IntOp $1 $1 + 1
  ${LoopUntil} $2 == "="
  StrCpy $0 $0 "" $1
  StrCpy $1 $0 "" -4
  ${If} $1 != ".bmp"
    StrCpy $0 ""
    Goto done
  ${EndIf}
  Push $0
  Call un.InProgramFolder
  Pop $1
  ${If} $1 != 1
    StrCpy $0 ""
  ${EndIf}
  done:
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

Function un.onInit
  StrCpy $KeepSkins 0
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/KEEPSKINS" $1
  ${IfNot} ${Errors}
    StrCpy $KeepSkins 1
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.CloseZelvo

  ${If} $KeepSkins = 0
  ${AndIf} ${FileExists} "$INSTDIR\images.ini"
    MessageBox MB_YESNO|MB_ICONQUESTION "$(KeepSkins)" /SD IDNO IDNO +2
    StrCpy $KeepSkins 1
  ${EndIf}

  Delete "$INSTDIR\zelvo.exe"
  Delete "$INSTDIR\tips.txt"
  Delete "$INSTDIR\help.html"
  Delete "$INSTDIR\${UNINSTALLER}"
  Delete "$SMPROGRAMS\Zelvo.lnk"

  !insertmacro DELETE_IF_OURS "${RUN_KEY}" "Zelvo"
  !insertmacro DELETE_IF_OURS "${TOOLBAR_KEY}" "BackBitmap"
  !insertmacro DELETE_IF_OURS "${TOOLBAR_KEY}" "BackBitmapShell"
  DeleteRegKey HKCU "${UNINST_KEY}"

  ; Quick Tip settings; the profile file goes when nothing else is left in it.
  DeleteINISec "${TIP_PROFILE}" "Tip"
  FlushINI "${TIP_PROFILE}"
  ${GetSize} "$WINDIR" "/M=ZELVO.INI /S=0B /G=0" $0 $1 $2
  ${If} $1 = 1
  ${AndIf} $0 = 0
    Delete "${TIP_PROFILE}"
  ${EndIf}

  ${If} $KeepSkins = 0
    Call un.DeleteSkins
  ${EndIf}
  RMDir "$INSTDIR"
SectionEnd
