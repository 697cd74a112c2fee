; The installer of Veltrane Mendora, built by makensis from the build's install folder.
; Defines passed by the build: VERSION (1.0.0), VERSION4 (1.0.0.1), VERSION_TEXT, EDITION (32 or
; 64), FILES (the generated list of what ships), ICON, OUTFILE.
Unicode true
!if ${EDITION} == 64
Target amd64-unicode
!define PROGRAMS_ROOT "$PROGRAMFILES64"
!else
Target x86-unicode
!define PROGRAMS_ROOT "$PROGRAMFILES"
!endif

!include "FileFunc.nsh"
!include "${FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VeltraneMendora"
!define MENU_FOLDER "$SMPROGRAMS\Veltrane Mendora"

Name "Veltrane Mendora"
Caption "Veltrane Mendora ${VERSION_TEXT} Setup"
OutFile "${OUTFILE}"
InstallDir "${PROGRAMS_ROOT}\Veltrane\Veltrane Mendora"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
Icon "${ICON}"
UninstallIcon "${ICON}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=0 "ProductName" "Veltrane Mendora"
VIAddVersionKey /LANG=0 "CompanyName" "Veltrane"
VIAddVersionKey /LANG=0 "FileDescription" "Veltrane Mendora Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION_TEXT}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Veltrane"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The uninstall entry of the 64-bit edition belongs in the 64-bit registry view, where Windows
; lists 64-bit programs.
!macro UseEditionView
!if ${EDITION} == 64
    SetRegView 64
!endif
    SetShellVarContext all
!macroend

Function .onInit
    !insertmacro UseEditionView
FunctionEnd

Function un.onInit
    !insertmacro UseEditionView
FunctionEnd

; Installing over an earlier version replaces the program files; Backup\ is never touched.
Section "Veltrane Mendora"
    !insertmacro InstallFiles
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    CreateDirectory "${MENU_FOLDER}"
    CreateShortCut "${MENU_FOLDER}\Veltrane Mendora.lnk" "$INSTDIR\MDR.exe"
    !insertmacro ToolShortcuts

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Veltrane Mendora"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Veltrane"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\MDR.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Removes what the installer put there. Backup\ keeps the user's backups: only an empty one
; goes, and with it the install folder; the settings live in the user's profile.
Section "Uninstall"
    !insertmacro RemoveFiles
    Delete "${MENU_FOLDER}\Veltrane Mendora.lnk"
    RMDir "${MENU_FOLDER}"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR\Plugins\Tools"
    RMDir "$INSTDIR\Plugins"
    RMDir "$INSTDIR\Localization"
    RMDir "$INSTDIR\Backup"
    RMDir "$INSTDIR"
    RMDir "$INSTDIR\.."
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
