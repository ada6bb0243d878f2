; The setup program: installs for the current user alone, without
; administrator rights, and registers its uninstaller in "Apps and features".
; tools/make-package defines NAME, VERSION, FILE_VERSION, PUBLISHER, STAGE
; (the folder with the files to install), FILES (the include that lists
; them), ICON, OUT_FILE, WINDOW_TITLE and EXIT_COMMAND (the manager's main
; window and its File > Exit command).

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include "${FILES}"

!define MANAGER "Tessaron.exe"
!define RELAY "TessaronRelay.exe"
!define UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define DIALOG_CLASS "#32770"
!define SYNCHRONIZE 0x00100000
!define MANAGER_EXIT_WAIT_MS 5000
; A relay ends within half a second of its manager; its file is free then.
!define RELAY_WAIT_STEP_MS 100
!define RELAY_WAIT_STEPS 30

Name "${NAME}"
Caption "${NAME} ${VERSION} Setup"
UninstallCaption "${NAME} ${VERSION} Uninstall"
OutFile "${OUT_FILE}"
InstallDir "$LOCALAPPDATA\Programs\${NAME}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${NAME} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${NAME} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "(c) 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "Setup installs ${NAME} ${VERSION} for you alone, in your user folder: \
no administrator rights are needed.$\r$\n$\r$\nIf ${NAME} is running, Setup closes it first; \
it saves your servers and settings as at File > Exit.$\r$\n$\r$\nClick Next to continue."
!define MUI_FINISHPAGE_RUN "$INSTDIR\${MANAGER}"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${NAME} now"
!define MUI_UNCONFIRMPAGE_TEXT_TOP "${NAME} will be removed from the folder below. If it is running, \
it is closed first and saves as at File > Exit.$\r$\n$\r$\nYour servers and settings in Documents\${NAME} are kept."

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!macro InstallFile FILE
  File "${STAGE}\${FILE}"
!macroend

!macro RemoveFile FILE
  Delete "$INSTDIR\${FILE}"
!macroend

; Ends a running manager the way File > Exit does, so that it saves its
; files, then waits for its relays to let go of the relay program. Setup
; needs this before it replaces the programs, the uninstaller before it
; removes them.
!macro DefineEndManager PREFIX
Function ${PREFIX}EndManager
  FindWindow $0 "${DIALOG_CLASS}" "${WINDOW_TITLE}"
  ${If} $0 == 0
    Return
  ${EndIf}
  DetailPrint "Closing the running ${NAME}"
  System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1)"
  System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2"
  System::Call "user32::PostMessage(p r0, i ${WM_COMMAND}, p ${EXIT_COMMAND}, p 0)"
  ${If} $2 != 0
    System::Call "kernel32::WaitForSingleObject(p r2, i ${MANAGER_EXIT_WAIT_MS})"
    System::Call "kernel32::CloseHandle(p r2)"
  ${EndIf}
  ; A program file that runs cannot be opened for writing.
  StrCpy $3 0
  ${DoWhile} $3 < ${RELAY_WAIT_STEPS}
    ${IfNot} ${FileExists} "$INSTDIR\${RELAY}"
      ${Break}
    ${EndIf}
    ClearErrors
    FileOpen $4 "$INSTDIR\${RELAY}" a
    ${IfNot} ${Errors}
      FileClose $4
      ${Break}
    ${EndIf}
    Sleep ${RELAY_WAIT_STEP_MS}
    IntOp $3 $3 + 1
  ${Loop}
FunctionEnd
!macroend
!insertmacro DefineEndManager ""
!insertmacro DefineEndManager "un."

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "${NAME}"
  Call EndManager
  SetOutPath "$INSTDIR"
  !insertmacro ForEachPackageFile InstallFile
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortCut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\${MANAGER}" "" "$INSTDIR\${MANAGER}" 0 \
    SW_SHOWNORMAL "" "Proxy servers and mapped ports"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${MANAGER},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Removes what setup made and the manager's start-at-logon value; the data
; folder in the user's documents stays.
Section "Uninstall"
  Call un.EndManager
  !insertmacro ForEachPackageFile RemoveFile
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${NAME}.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "${NAME}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
