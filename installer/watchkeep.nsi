; Per-user installer of watchkeep.exe: no elevation, everything under the user's own folders and
; hive. Built by release.sh (makensis -DEXE=<watchkeep.exe> -DVERSION=<a.b.c.d> -DOUTFILE=<setup>).
; A 64-bit installer for a 64-bit program (a 32-bit one would also need 32-bit support to run).
Target amd64-unicode
!ifndef EXE | VERSION | OUTFILE
  !error "makensis -DEXE=... -DVERSION=... -DOUTFILE=... watchkeep.nsi"
!endif
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Watchkeep"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "Watchkeep"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Watchkeep"
; An upgrade (the program's own runs "/S" without "/D=") goes where the user installed it.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Watchkeep"
VIAddVersionKey "FileDescription" "Watchkeep setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 Watchkeep"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; An ending program holds its file until its process is gone, and its named event lives exactly as
; long: wait for the event to go, at most 15 seconds, before the file is replaced or deleted.
!macro WaitForProgramEndFunction prefix
Function ${prefix}WaitForProgramEnd
  StrCpy $1 0
  loop:
    System::Call 'kernel32::OpenEventW(i 0x00100000, i 0, w "Global\WatchkeepRunning") p.r0'
    StrCmp $0 0 done
    System::Call 'kernel32::CloseHandle(p r0)'
    IntOp $1 $1 + 1
    IntCmp $1 75 done
    Sleep 200
    Goto loop
  done:
FunctionEnd
!macroend
!insertmacro WaitForProgramEndFunction ""
!insertmacro WaitForProgramEndFunction "un."

Section "Watchkeep"
  ; The new program ends a running instance (found by its window, wherever it was installed)
  ; before its file is replaced; this also works when nothing is installed yet.
  InitPluginsDir
  File "/oname=$PLUGINSDIR\watchkeep.exe" "${EXE}"
  ExecWait '"$PLUGINSDIR\watchkeep.exe" -terminate'
  Call WaitForProgramEnd
  SetOutPath "$INSTDIR"
  File "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Watchkeep.lnk" "$INSTDIR\watchkeep.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Watchkeep"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Watchkeep"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\watchkeep.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; The update ended the running program: start the new one in the tray, where it reports the
  ; update once.
  Exec '"$INSTDIR\watchkeep.exe" -tray'
SectionEnd

Section "Uninstall"
  ExecWait '"$INSTDIR\watchkeep.exe" -terminate'
  Call un.WaitForProgramEnd
  Delete "$INSTDIR\watchkeep.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Watchkeep.lnk"
  ; "Start with Windows" of this copy would start nothing now; another copy's value stays.
  ReadRegStr $0 HKCU "${RUN_KEY}" "Watchkeep"
  StrCmp $0 '"$INSTDIR\watchkeep.exe"' 0 +2
    DeleteRegValue HKCU "${RUN_KEY}" "Watchkeep"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
