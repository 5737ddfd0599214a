; Per-user installer of watchkeep.exe: no elevation, everything under the user's own folders and
; hive. Built by release.sh (makensis -DEXE=<watchkeep.exe> -DVERSION=<a.b.c.d> -DOUTFILE=<setup>).
; A 64-bit installer for a 64-bit program (a 32-bit one would also need 32-bit support to run).
Target amd64-unicode
!ifndef EXE | VERSION | OUTFILE
  !error "makensis -DEXE=... -DVERSION=... -DOUTFILE=... watchkeep.nsi"
!endif
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Watchkeep"

Name "Watchkeep"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Watchkeep"
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

Section "Watchkeep"
  ; The new program ends a running instance (found by its window, wherever it was installed)
  ; before its file is replaced; this also works when nothing is installed yet.
  InitPluginsDir
  File "/oname=$PLUGINSDIR\watchkeep.exe" "${EXE}"
  ExecWait '"$PLUGINSDIR\watchkeep.exe" -terminate'
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
  Delete "$INSTDIR\watchkeep.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Watchkeep.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
