; Vistrel installer. makensis gets VERSION, STAGED (the files CPack staged for
; the zip), LICENSE and OUTFILE from packaging/makensis.cmake.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vistrel"
!define SETTINGS_KEY "Software\Quorvane\Vistrel"

Name "Vistrel ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vistrel"
RequestExecutionLevel admin
LicenseData "${LICENSE}"
ShowInstDetails show
ShowUninstDetails show

; hook.dll runs inside every program of whoever starts Vistrel, so only a
; folder that only administrators may change is safe for it: one under
; Program Files. Any other folder inherits rules that may let every user of
; the machine replace the file.
DirText "Vistrel installs into a folder under $PROGRAMFILES64, where only administrators can change its files."

Function InstallDirIsSafe ; $0: 1 when $INSTDIR lies under Program Files
  StrCpy $0 0
  StrCpy $2 "$PROGRAMFILES64\"
  StrLen $3 $2
  StrCpy $4 "$INSTDIR" $3
  StrCmp $4 $2 0 done ; not case-sensitive
  ; and no ".." leads back out of it
  StrCpy $5 0
  next:
    StrCpy $6 "$INSTDIR" 2 $5
    StrCmp $6 "" safe
    StrCmp $6 ".." done
    IntOp $5 $5 + 1
    Goto next
  safe:
  StrCpy $0 1
  done:
FunctionEnd

Function .onVerifyInstDir
  Call InstallDirIsSafe
  StrCmp $0 1 +2
    Abort
FunctionEnd

; A silent install shows no folder page: the same rule, told and refused.
Function .onInit
  IfSilent 0 done
  Call InstallDirIsSafe
  StrCmp $0 1 done
    MessageBox MB_ICONSTOP "Vistrel installs only into a folder under $PROGRAMFILES64, where only administrators can change its files. $INSTDIR is not one." /SD IDOK
    SetErrorLevel 2
    Abort
  done:
FunctionEnd

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage components
UninstPage instfiles

Section "Vistrel"
  SectionIn RO
  SetRegView 64
  SetShellVarContext all
  ; Nothing changes until both hold: the installed vsr.exe is not running (a
  ; running program's file cannot be opened for writing, and the copy would
  ; fail half-way), and the old hook.dll has stepped aside. Windows keeps
  ; hook.dll loaded in other programs after its hooks are gone, and a loaded
  ; file can be renamed but neither replaced nor deleted.
  IfFileExists "$INSTDIR\vsr.exe" 0 vsr_free
    ClearErrors
    FileOpen $1 "$INSTDIR\vsr.exe" a
    IfErrors 0 vsr_closed
      StrCpy $R0 "Vistrel is running from $INSTDIR. Close Vistrel, then run the installer again."
      Goto refuse
    vsr_closed:
    FileClose $1
  vsr_free:
  StrCpy $R1 ""
  IfFileExists "$INSTDIR\hook.dll" 0 hook_free
    GetTempFileName $R1 "$INSTDIR"
    Delete "$R1"
    ClearErrors
    Rename "$INSTDIR\hook.dll" "$R1"
    IfErrors 0 hook_free
      StrCpy $R0 "The old $INSTDIR\hook.dll cannot be moved aside for the new one. Close the programs that use it, or restart Windows, then run the installer again."
      Goto refuse
  hook_free:
  SetOutPath "$INSTDIR\img"
  File "${STAGED}/img/STEP1.GIF"
  File "${STAGED}/img/STEP2.GIF"
  File "${STAGED}/img/STEP3.GIF"
  SetOutPath "$INSTDIR"
  File "${STAGED}/vsr.exe"
  ; The new hook.dll takes its place at once; the old one, aside, is deleted
  ; now or, while still in use, at the next restart.
  File "${STAGED}/hook.dll"
  StrCmp $R1 "" +2
    Delete /REBOOTOK "$R1"
  File "${STAGED}/README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The shortcut's "Start in" is the output path. A file name without a
  ; folder lands there, so it is the Pictures folder of whoever starts it
  ; (the shell expands the variable at each start), not Program Files, where
  ; users cannot write; the program finds img\ beside vsr.exe.
  StrCpy $OUTDIR "%USERPROFILE%\Pictures"
  CreateShortCut "$SMPROGRAMS\Vistrel.lnk" "$INSTDIR\vsr.exe" "" "$INSTDIR\vsr.exe" 0
  SetOutPath "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Vistrel"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "The Vistrel developers"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\vsr.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  Return
  refuse:
    MessageBox MB_ICONSTOP "$R0" /SD IDOK
    DetailPrint "$R0"
    SetErrorLevel 2
    Abort "$R0"
SectionEnd

Section "un.Vistrel (program files, shortcut)"
  SectionIn RO
  SetRegView 64
  SetShellVarContext all
  Delete "$SMPROGRAMS\Vistrel.lnk"
  Delete "$INSTDIR\img\STEP1.GIF"
  Delete "$INSTDIR\img\STEP2.GIF"
  Delete "$INSTDIR\img\STEP3.GIF"
  RMDir "$INSTDIR\img"
  Delete "$INSTDIR\vsr.exe"
  ; Still loaded in other programs: deleted at the next restart.
  Delete /REBOOTOK "$INSTDIR\hook.dll"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd

; Off by default: the user's settings outlive the program unless asked.
Section /o "un.Remove my settings"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Quorvane"
SectionEnd
