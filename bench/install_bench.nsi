; The comparison installer of bench/install_bench.sh: the job of a quiet
; Lumiset installation done by a makensis installer. The screensaver goes
; into the 64-bit system folder, then the screensaver settings, an
; uninstaller with its Uninstall.ini and uninstall entry, the two Start menu
; links and the record of installed files, as the Lumiset stub writes them.
;
; makensis -DPAYLOAD=FILE -DOUTFILE=SETUP.EXE install_bench.nsi
; run:     setup.exe /S

Unicode true
SetCompressor zlib
RequestExecutionLevel admin

!define TITLE "NSIS Bench Saver"
!define COMPANY "Lumiset Bench NSIS"
!define SCR "nsisbench.scr"
!define RECORD_KEY "Software\${COMPANY}\${TITLE}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${TITLE} Screensaver"
!define LINKS "$SMPROGRAMS\${COMPANY}\${TITLE} Screensaver"

Name "${TITLE}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${COMPANY}\${TITLE}"

Section
  ; A 32-bit process reaches the real System32 through its Sysnative alias.
  SetOutPath "$WINDIR\Sysnative"
  File "/oname=${SCR}" "${PAYLOAD}"

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteINIStr "$INSTDIR\Uninstall.ini" "uninstall" "company" "${COMPANY}"
  WriteINIStr "$INSTDIR\Uninstall.ini" "uninstall" "scrtitle" "${TITLE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${TITLE} Screensaver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$INSTDIR\Uninstall.exe"

  CreateDirectory "${LINKS}"
  CreateShortCut "${LINKS}\${TITLE} Screensaver.lnk" "$SYSDIR\${SCR}"
  CreateShortCut "${LINKS}\Uninstall ${TITLE} Screensaver.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKCU "${RECORD_KEY}" "ScreensaverFile" "$WINDIR\Sysnative\${SCR}"
  WriteRegStr HKCU "${RECORD_KEY}" "File0000" "$INSTDIR\Uninstall.exe"
  WriteRegStr HKCU "${RECORD_KEY}" "File0001" "$INSTDIR\Uninstall.ini"
  WriteRegStr HKCU "${RECORD_KEY}" "File0002" "${LINKS}\${TITLE} Screensaver.lnk"
  WriteRegStr HKCU "${RECORD_KEY}" "File0003" "${LINKS}\Uninstall ${TITLE} Screensaver.lnk"
  WriteRegStr HKCU "${RECORD_KEY}" "AppLanguage" "0"

  ; Other programs read the setting: it names System32, not the alias.
  WriteRegStr HKCU "Control Panel\Desktop" "ScreenSaveActive" "1"
  WriteRegStr HKCU "Control Panel\Desktop" "SCRNSAVE.EXE" "$SYSDIR\${SCR}"
  ; SPI_SETSCREENSAVEACTIVE, TRUE, SPIF_SENDWININICHANGE
  System::Call "user32::SystemParametersInfo(i 17, i 1, p 0, i 2)"
SectionEnd

Section "Uninstall"
  Delete "$WINDIR\Sysnative\${SCR}"
  Delete "${LINKS}\${TITLE} Screensaver.lnk"
  Delete "${LINKS}\Uninstall ${TITLE} Screensaver.lnk"
  RMDir "${LINKS}"
  RMDir "$SMPROGRAMS\${COMPANY}"
  DeleteRegKey HKCU "${RECORD_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\Uninstall.ini"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
