; The per-user installer of 疾书精灵: no administrator, into
; %LOCALAPPDATA%\Programs\疾书精灵, whose folder stays writable for kwo.ini
; and kwo.db. Built by scripts/release.sh:
;   makensis -INPUTCHARSET UTF8 -WX -DVERSION=1.2.3 -DSOURCE_DIR=... -DRES_DIR=...
;            -DSIZE_KB=... -DOUT_FILE=... installer/kwo.nsi
; Silent use: setup.exe /S [/D=folder]; uninstall.exe /S [/PURGE]. Exit codes:
; 0 installed; 1 cancelled by the user; 2 stopped, the installation left as
; it was (kwo holds unsaved typing in its edit dialog, kwo could not be made
; to end, or a program file could not be written). Under /S a running copy
; that does not end within 15 s is ended by the installer.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
; No file times in the installer: two builds of the same files are the same.
SetDateSave off
ManifestDPIAware true
RequestExecutionLevel user

!ifndef VERSION | SOURCE_DIR | RES_DIR | SIZE_KB | OUT_FILE
  !error "VERSION, SOURCE_DIR, RES_DIR, SIZE_KB and OUT_FILE must be defined"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define PRODUCT "疾书精灵"
!define PUBLISHER "疾书精灵 开发组"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\kwo"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define EXIT_COMMAND 1009  ; the program's own "退出"
!define EXIT_REFUSED 1     ; its answer while its edit dialog holds unsaved typing
!define SMTO_ABORTIFHUNG 2
!define ANSWER_MS 2000     ; a send that waits longer gives up
!define GIVE_UP_MS 15000   ; a copy not gone after this long does not answer

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${RES_DIR}\kwo.ico"
!define MUI_UNICON "${RES_DIR}\kwo.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\kwo.exe"
!define MUI_FINISHPAGE_RUN_TEXT "运行疾书精灵"
!define MUI_WELCOMEPAGE_TEXT "安装程序将把疾书精灵 ${VERSION} 安装到你的用户文件夹中，不需要管理员权限。$\r$\n$\r$\n如果疾书精灵正在运行，安装程序会先让它退出。已有的设置（kwo.ini）和速记（kwo.db）会保留。$\r$\n$\r$\n点“下一步”继续。"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "${PUBLISHER}"

; Asks a running copy to end the way its own "退出" does, and waits until its
; process is gone (its single-instance mutex is released with the process).
; A copy whose edit dialog holds unsaved typing refuses and shows that dialog:
; the user saves or closes it and retries, or cancels (silent: the installer
; stops). A copy still there after 15 s does not answer: the user may end it
; (silent: it is ended). Whatever stops the installer here leaves the
; installation as it was, with exit code 2.
!macro STOP_CLOSING status
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
  SetErrorLevel 2
  Abort "${status}"
!macroend
!macro DEFINE_CLOSE_RUNNING prefix
Function ${prefix}CloseRunning
  Push $0  ; the main window
  Push $1  ; when the wait began (GetTickCount)
  Push $2  ; the send went through, then the time waited
  Push $3  ; the exit command's answer
  Push $4  ; the process id, then its handle
  Push $5  ; 0 at first, 1 once asked to exit, 2 once the installer ended it
  StrCpy $5 0
  System::Call 'kernel32::GetTickCount() i .r1'
  ${Do}
    FindWindow $0 "#32770" "${PRODUCT}"
    ${If} $0 <> 0
      ${If} $5 = 0
        DetailPrint "正在退出运行中的疾书精灵……"
        StrCpy $5 1
      ${EndIf}
      ; kwo may bring its edit dialog to the front while the installer is in front.
      System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r4)'
      System::Call 'user32::AllowSetForegroundWindow(i r4)'
      System::Call 'user32::SendMessageTimeoutW(p r0, i ${WM_COMMAND}, p ${EXIT_COMMAND}, p 0, i ${SMTO_ABORTIFHUNG}, i ${ANSWER_MS}, *p .r3) p .r2'
      ${If} $2 P<> 0
      ${AndIf} $3 = ${EXIT_REFUSED}
        ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "疾书精灵正忙：“编辑速记”窗口中有还没有保存的内容。$\r$\n$\r$\n请在疾书精灵中保存或关闭这个窗口，然后点“重试”。点“取消”停止安装，原来的安装没有改动。" /SD IDCANCEL IDRETRY`
          !insertmacro STOP_CLOSING "疾书精灵正忙，原来的安装没有改动。"
        ${EndIf}
        System::Call 'kernel32::GetTickCount() i .r1'
      ${EndIf}
    ${Else}
      ; SYNCHRONIZE access: only asks whether the mutex exists.
      System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${PRODUCT} Class") p .r2'
      ${If} $2 P= 0
        ${Break}
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
    System::Call 'kernel32::GetTickCount() i .r2'
    IntOp $2 $2 - $1
    ${If} $2 >= ${GIVE_UP_MS}
      ; Ended once already, or no window to find the process by: give up.
      ${If} $5 = 2
      ${OrIf} $0 = 0
        MessageBox MB_OK|MB_ICONSTOP "疾书精灵仍在运行，无法让它退出。$\r$\n$\r$\n请在任务管理器中结束 kwo.exe，然后重试。原来的安装没有改动。" /SD IDOK
        !insertmacro STOP_CLOSING "疾书精灵仍在运行，原来的安装没有改动。"
      ${EndIf}
      ${IfNot} ${Cmd} `MessageBox MB_YESNO|MB_ICONEXCLAMATION "疾书精灵没有响应，无法让它退出。$\r$\n$\r$\n要结束它吗？它正在编辑而没有保存的内容会丢失。点“否”停止安装，原来的安装没有改动。" /SD IDYES IDYES`
        !insertmacro STOP_CLOSING "疾书精灵没有响应，原来的安装没有改动。"
      ${EndIf}
      DetailPrint "疾书精灵没有响应，安装程序结束了它。"
      System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r4)'
      ; PROCESS_TERMINATE | SYNCHRONIZE
      System::Call 'kernel32::OpenProcess(i 0x00100001, i 0, i r4) p .r4'
      ${If} $4 P<> 0
        System::Call 'kernel32::TerminateProcess(p r4, i 1)'
        System::Call 'kernel32::WaitForSingleObject(p r4, i 5000)'
        System::Call 'kernel32::CloseHandle(p r4)'
      ${EndIf}
      StrCpy $5 2
      System::Call 'kernel32::GetTickCount() i .r1'
    ${EndIf}
    Sleep 100
  ${Loop}
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_RUNNING ""
!insertmacro DEFINE_CLOSE_RUNNING "un."

; Puts $INSTDIR\NAME.new in place of $INSTDIR\NAME. The old file is renamed
; first (Windows allows renaming a file in use, not replacing it) and comes
; back if the new one cannot take its place. Sets the error flag on failure.
Function ReplaceFile
  Exch $0  ; NAME
  ClearErrors
  Delete "$INSTDIR\$0.old"
  ${If} ${FileExists} "$INSTDIR\$0"
    Rename "$INSTDIR\$0" "$INSTDIR\$0.old"
    ${If} ${Errors}
      Pop $0
      Return
    ${EndIf}
  ${EndIf}
  Rename "$INSTDIR\$0.new" "$INSTDIR\$0"
  ${If} ${Errors}
    Rename "$INSTDIR\$0.old" "$INSTDIR\$0"
    SetErrors
  ${Else}
    Delete "$INSTDIR\$0.old"
  ${EndIf}
  Pop $0
FunctionEnd

; The message box says what went wrong and what to do; the failure page's
; status line above the progress bar holds one short line.
!macro FAIL text status
  Delete "$INSTDIR\kwo.exe.new"
  Delete "$INSTDIR\kwo.chm.new"
  MessageBox MB_OK|MB_ICONSTOP "${text}" /SD IDOK
  SetErrorLevel 2
  Abort "${status}"
!macroend

Section "疾书精灵（必需）" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  Call CloseRunning

  ; The new program files are written beside the old ones first: a full disk
  ; or a locked folder stops the installation before anything was replaced.
  SetOverwrite try
  ClearErrors
  File "/oname=kwo.exe.new" "${SOURCE_DIR}\kwo.exe"
  File "/oname=kwo.chm.new" "${SOURCE_DIR}\kwo.chm"
  ${If} ${Errors}
    !insertmacro FAIL "无法把程序文件写入 $INSTDIR。$\r$\n请检查磁盘空间和文件夹权限。原来的安装没有改动。" "无法写入程序文件，原来的安装没有改动。"
  ${EndIf}
  Push "kwo.exe"
  Call ReplaceFile
  ${If} ${Errors}
    !insertmacro FAIL "无法替换 $INSTDIR\kwo.exe，它可能正被其他程序使用。$\r$\n原来的安装没有改动。" "无法替换 kwo.exe，原来的安装没有改动。"
  ${EndIf}
  Push "kwo.chm"
  Call ReplaceFile
  ${If} ${Errors}
    !insertmacro FAIL "无法替换 $INSTDIR\kwo.chm，它可能正在帮助窗口中打开。$\r$\n请关闭帮助窗口后重试。" "无法替换 kwo.chm，请关闭帮助窗口后重试。"
  ${EndIf}
  ; kwo.ini and kwo.db belong to the user: the installer never writes over
  ; them. Where there is no kwo.ini yet, a starter one gives the main window
  ; a light background and states the other options as the program's defaults.
  SetOverwrite off
  File "${SOURCE_DIR}\kwo.ini"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\kwo.exe" "" "$INSTDIR\kwo.exe" 0
  ; The optional parts below are written again by their sections when chosen.
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kwo.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section /o "桌面快捷方式" SecDesktop
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\kwo.exe" "" "$INSTDIR\kwo.exe" 0
SectionEnd

Section "开机自动启动" SecAutostart
  WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\kwo.exe"'
SectionEnd

Section "un.疾书精灵程序文件（必需）" UnSecProgram
  SectionIn RO
  Call un.CloseRunning
  Delete "$INSTDIR\kwo.exe"
  Delete "$INSTDIR\kwo.chm"
  Delete "$INSTDIR\kwo.exe.old"
  Delete "$INSTDIR\kwo.chm.old"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.删除用户数据（设置 kwo.ini 和全部速记 kwo.db）" UnSecData
  Delete "$INSTDIR\kwo.ini"
  Delete "$INSTDIR\kwo.db"
  Delete "$INSTDIR\kwo.db-journal"
SectionEnd

Section "-un.Folder"
  ; Removed only when empty: kept user data keeps its folder.
  RMDir "$INSTDIR"
SectionEnd

; An upgrade keeps the choices of the installation it finds: the optional
; parts are preset from what is there (the desktop shortcut, the Run value),
; for the components page and for /S alike. A first install keeps the
; sections' own defaults.
Function .onInit
  ClearErrors
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} ${Errors}
    Return
  ${EndIf}
  ${If} ${FileExists} "$DESKTOP\${PRODUCT}.lnk"
    !insertmacro SelectSection ${SecDesktop}
  ${Else}
    !insertmacro UnselectSection ${SecDesktop}
  ${EndIf}
  ClearErrors
  ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
  ${If} ${Errors}
    !insertmacro UnselectSection ${SecAutostart}
  ${Else}
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Function un.onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/PURGE" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecData}
  ${EndIf}
FunctionEnd
