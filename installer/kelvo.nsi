; The per-user setup program of the Kelvo launcher. Built by scripts/package with makensis:
;
;   makensis -INPUTCHARSET UTF8 -DKELVO_VERSION=1001 -DKELVO_COMPANY=... -DKELVO_EXE=path/kelvo.exe
;            [-DKELVO_FLASH=path/flash.ocx] [-DKELVO_TARGET=amd64-unicode] -DKELVO_OUTFILE=... kelvo.nsi
;
; The launcher updates itself inside its current directory, so it is installed where the player may
; write (no administrator rights, %LOCALAPPDATA%\Programs\Kelvo by default) and its shortcuts start it
; with the install folder as their working folder.

!ifndef KELVO_VERSION | KELVO_COMPANY | KELVO_EXE | KELVO_OUTFILE
  !error "KELVO_VERSION, KELVO_COMPANY, KELVO_EXE and KELVO_OUTFILE must be defined"
!endif
!ifndef KELVO_TARGET
  !define KELVO_TARGET x86-unicode
!endif
; How long a silent run waits for a running launcher to end before it gives up (seconds).
!ifndef KELVO_SILENT_WAIT
  !define KELVO_SILENT_WAIT 60
!endif
!define KELVO_UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo"

Target ${KELVO_TARGET}
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

Name "Kelvo"
OutFile "${KELVO_OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Kelvo"
; Installing again goes where the player installed before.
InstallDirRegKey HKCU "${KELVO_UNINST_KEY}" "InstallLocation"
BrandingText "${KELVO_COMPANY}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

; makensis works in this folder.
!define MUI_ICON "../res/art/icon128.ico"
!define MUI_UNICON "../res/art/icon128.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartLauncher

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${KELVO_VERSION}.0.0.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "Kelvo"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${KELVO_COMPANY}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "© ${KELVO_COMPANY}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "Kelvo 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${KELVO_VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${KELVO_VERSION}"

; Sets $R0 to the first of the launcher's files in $INSTDIR that a running program holds (a running
; executable or a loaded control cannot be opened for writing), or to "" when none is held.
!macro KELVO_HELD_FILE NAME
  ${If} $R0 == ""
  ${AndIf} ${FileExists} "$INSTDIR\${NAME}"
    ClearErrors
    FileOpen $R1 "$INSTDIR\${NAME}" a
    ${If} ${Errors}
      StrCpy $R0 "${NAME}"
    ${Else}
      FileClose $R1
    ${EndIf}
  ${EndIf}
!macroend

; Waits until no launcher runs from $INSTDIR. With a window the player is asked to close it (retry or
; cancel); a silent run has nobody to ask, so it looks again every second and gives up (exit code 2)
; after KELVO_SILENT_WAIT seconds instead of failing half-way on a locked file.
!macro KELVO_WAIT_UNTIL_CLOSED UN
Function ${UN}WaitUntilClosed
  StrCpy $R2 0
  ${Do}
    StrCpy $R0 ""
    !insertmacro KELVO_HELD_FILE kelvo.exe
    !insertmacro KELVO_HELD_FILE kelvo_.exe
    !insertmacro KELVO_HELD_FILE flash.ocx
    ${If} $R0 == ""
      ${Break}
    ${EndIf}
    ${If} $R2 == 0
      DetailPrint "Kelvo 正在运行（$INSTDIR\$R0 正被使用），等待它关闭……"
    ${EndIf}
    ${If} ${Silent}
      ${If} $R2 >= ${KELVO_SILENT_WAIT}
        DetailPrint "Kelvo 仍在运行，已取消。"
        Abort
      ${EndIf}
      Sleep 1000
    ${Else}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "Kelvo 正在运行，请先关闭 Kelvo，然后点击“重试”。$\r$\n$\r$\n正被使用的文件：$INSTDIR\$R0" \
        IDRETRY +2
      Abort
    ${EndIf}
    IntOp $R2 $R2 + 1
  ${Loop}
FunctionEnd
!macroend
!insertmacro KELVO_WAIT_UNTIL_CLOSED ""
!insertmacro KELVO_WAIT_UNTIL_CLOSED "un."

; A folder that holds files but no kelvo.exe belongs to someone else (a games folder, another
; program): the launcher goes into a "Kelvo" folder inside it, so that no file of that program is
; overwritten, its uninstall.exe least of all, and the uninstaller has only our files to remove.
; Sets $INSTDIR.
Function OwnFolder
  ${If} ${FileExists} "$INSTDIR\*.*"
  ${AndIfNot} ${FileExists} "$INSTDIR\kelvo.exe"
    StrCpy $R3 ""
    ClearErrors
    FindFirst $R4 $R5 "$INSTDIR\*.*"
    ${DoUntil} ${Errors}
      ${If} $R5 != "."
      ${AndIf} $R5 != ".."
        StrCpy $R3 "$R5"
        ${Break}
      ${EndIf}
      FindNext $R4 $R5
    ${Loop}
    FindClose $R4
    ${If} $R3 != ""
      StrCpy $INSTDIR "$INSTDIR\Kelvo"
    ${EndIf}
  ${EndIf}
FunctionEnd

; The folder given with /D= (or the one installed to before) follows the same rule as a folder
; picked on the directory page.
Function .onInit
  Call OwnFolder
FunctionEnd

Function .onVerifyInstDir
  Call OwnFolder
FunctionEnd

Function StartLauncher
  ; The update works in the current directory: start the launcher in its own folder.
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\kelvo.exe"'
FunctionEnd

Section "Kelvo"
  SectionIn RO
  Call WaitUntilClosed
  SetOutPath "$INSTDIR"
  ; What an update under the previous version left: the old executable, a partial download and the
  ; manifest copy. The launcher would clear them at its next start; the new version starts clean.
  Delete "$INSTDIR\kelvo_.exe"
  Delete "$INSTDIR\kelvo_new.exe"
  Delete "$INSTDIR\kelvoupdate.ini"
  File "/oname=kelvo.exe" "${KELVO_EXE}"
!ifdef KELVO_FLASH
  File "/oname=flash.ocx" "${KELVO_FLASH}"
!endif
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; A shortcut's working folder is the output folder at its creation.
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\Kelvo.lnk" "$INSTDIR\kelvo.exe" "" "$INSTDIR\kelvo.exe" 0
  CreateShortcut "$DESKTOP\Kelvo.lnk" "$INSTDIR\kelvo.exe" "" "$INSTDIR\kelvo.exe" 0

  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegStr HKCU "${KELVO_UNINST_KEY}" "DisplayName" "Kelvo"
  WriteRegStr HKCU "${KELVO_UNINST_KEY}" "DisplayVersion" "${KELVO_VERSION}"
  WriteRegStr HKCU "${KELVO_UNINST_KEY}" "Publisher" "${KELVO_COMPANY}"
  WriteRegStr HKCU "${KELVO_UNINST_KEY}" "DisplayIcon" "$INSTDIR\kelvo.exe,0"
  WriteRegStr HKCU "${KELVO_UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${KELVO_UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${KELVO_UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${KELVO_UNINST_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${KELVO_UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${KELVO_UNINST_KEY}" "NoRepair" 1
SectionEnd

; Removes the files the launcher and its updates make, and, when the key names this folder, the
; shortcuts and the key; any other file (a player's screenshots, say) stays, and with it the folder.
Section "Uninstall"
  Call un.WaitUntilClosed
  ; The key and the shortcuts belong to the install the key names: the uninstaller of an older
  ; install in another folder leaves them to the live one.
  ReadRegStr $R6 HKCU "${KELVO_UNINST_KEY}" "InstallLocation"
  ${If} $R6 == "$INSTDIR"
    Delete "$SMPROGRAMS\Kelvo.lnk"
    Delete "$DESKTOP\Kelvo.lnk"
  ${EndIf}
  Delete "$INSTDIR\kelvo.exe"
  Delete "$INSTDIR\kelvo_.exe"
  Delete "$INSTDIR\kelvo_new.exe"
  Delete "$INSTDIR\kelvoupdate.ini"
  Delete "$INSTDIR\flash.ocx"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ${If} $R6 == "$INSTDIR"
    DeleteRegKey HKCU "${KELVO_UNINST_KEY}"
  ${EndIf}
SectionEnd
