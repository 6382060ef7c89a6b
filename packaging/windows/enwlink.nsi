; The Windows installer: enwlink under Program Files, a Start-menu folder with
; the program and its uninstaller, and an entry in "Apps & features".
; makensis -DVERSION=x.y.z -DSTAGE=folder -DOUTFILE=setup.exe enwlink.nsi
Target amd64-unicode ; a 64-bit installer for a 64-bit program
SetCompressor /SOLID lzma
RequestExecutionLevel admin

Name "enwlink ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\enwlink"
Icon "${STAGE}\enwlink.ico"
UninstallIcon "${STAGE}\enwlink.ico"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\enwlink"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
LicenseData "${STAGE}\LICENSE.txt"

Section "enwlink"
    SetRegView 64
    SetOutPath "$INSTDIR"
    File "${STAGE}\enwlink.exe"
    File "${STAGE}\README.txt"
    File "${STAGE}\LICENSE.txt"
    File "${STAGE}\LICENSE-Qt-LGPL-3.0.txt"
    File "${STAGE}\Qt-source.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    SetShellVarContext all
    CreateDirectory "$SMPROGRAMS\enwlink"
    CreateShortcut "$SMPROGRAMS\enwlink\enwlink.lnk" "$INSTDIR\enwlink.exe"
    CreateShortcut "$SMPROGRAMS\enwlink\Uninstall enwlink.lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "enwlink"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\enwlink.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetRegView 64
    SetShellVarContext all
    Delete "$SMPROGRAMS\enwlink\enwlink.lnk"
    Delete "$SMPROGRAMS\enwlink\Uninstall enwlink.lnk"
    RMDir "$SMPROGRAMS\enwlink"
    Delete "$INSTDIR\enwlink.exe"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\LICENSE-Qt-LGPL-3.0.txt"
    Delete "$INSTDIR\Qt-source.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
