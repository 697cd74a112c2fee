; The installer of Veltrane Mendora, built by makensis from the builds' install folders. It carries
; both editions and installs the one that fits the machine: the 64-bit edition on 64-bit Windows,
; into the 64-bit Program Files with its uninstall entry in the 64-bit registry view, and the
; 32-bit edition on 32-bit Windows.
; It refuses a Windows older than the floor of the edition it would install, and ARM64 Windows
; that runs no x64 programs.
; Defines passed by the build: VERSION (1.0.0), VERSION4 (1.0.0.1), VERSION_TEXT, STUB (x86, the
; installer's own code that ships, or amd64), FILES (the generated list of what ships), ICON,
; OUTFILE, and each edition's Windows floor (cmake/floor.cmake): FLOOR32 and FLOOR64 as
; NTDDI_VERSION writes them, FLOOR32_NAME and FLOOR64_NAME.
Unicode true
Target ${STUB}-unicode
!if ${STUB} == amd64
!pragma warning disable 6012 ; with 64-bit code of its own it never takes the 32-bit branches
!endif

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "WinVer.nsh"
!include "x64.nsh"
!include "${FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VeltraneMendora"
!define MENU_FOLDER "$SMPROGRAMS\Veltrane Mendora"

Name "Veltrane Mendora"
Caption "Veltrane Mendora ${VERSION_TEXT} Setup"
OutFile "${OUTFILE}"
!define INSTALL_BELOW "Veltrane\Veltrane Mendora"
InstallDir "$PROGRAMFILES\${INSTALL_BELOW}"
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

DirText "Veltrane Mendora runs on ${FLOOR32_NAME} or later (32-bit edition) and on \
    ${FLOOR64_NAME} or later (64-bit edition). Setup installs the edition this computer takes \
    into the following folder."

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; On 64-bit Windows the installer works in the 64-bit registry view, where Windows lists 64-bit
; programs, whatever its own code is.
!macro UseEditionView
    ${If} ${RunningX64}
        SetRegView 64
    ${EndIf}
    SetShellVarContext all
!macroend

; The 64-bit edition goes where x64 programs run: x64 Windows, and ARM64 Windows that emulates
; x64 (GetMachineTypeAttributes says so, from Windows 11 on); the 32-bit edition on 32-bit
; Windows. Either needs its floor. Anything else ends the installer with a message.
Function CheckWindows
    ${If} ${IsNativeARM64}
        System::Call "kernel32::GetMachineTypeAttributes(i 0x8664, *i 0 r1) i .r0"
        IntOp $1 $1 & 1 ; UserEnabled: x64 code runs in user mode
        ${If} $0 != 0
        ${OrIf} $1 == 0
            MessageBox MB_OK|MB_ICONSTOP "Veltrane Mendora needs x64 programs to run. This ARM \
                Windows runs none; Windows 11 on ARM does." /SD IDOK
            Abort
        ${EndIf}
    ${ElseIf} ${RunningX64}
    ${AndIfNot} ${IsNativeAMD64}
        MessageBox MB_OK|MB_ICONSTOP "Veltrane Mendora runs on x86 and x64 Windows only." /SD IDOK
        Abort
    ${EndIf}
    ${WinVerGetMajor} $0
    ${WinVerGetMinor} $1
    ${WinVerGetServicePackLevel} $2
    IntOp $0 $0 << 24
    IntOp $1 $1 << 16
    IntOp $2 $2 << 8
    IntOp $0 $0 | $1
    IntOp $0 $0 | $2
    ${If} ${RunningX64}
        ${If} $0 U< ${FLOOR64}
            MessageBox MB_OK|MB_ICONSTOP "The 64-bit edition of Veltrane Mendora, the one this \
                computer takes, needs ${FLOOR64_NAME} or later." /SD IDOK
            Abort
        ${EndIf}
    ${ElseIf} $0 U< ${FLOOR32}
        MessageBox MB_OK|MB_ICONSTOP "Veltrane Mendora needs ${FLOOR32_NAME} or later." /SD IDOK
        Abort
    ${EndIf}
FunctionEnd

; The folder offered is where an earlier version went, else the Program Files of the edition;
; a folder given with /D= stands.
Function .onInit
    Call CheckWindows
    !insertmacro UseEditionView
    ${If} $INSTDIR == "$PROGRAMFILES\${INSTALL_BELOW}"
        ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
        ${If} $0 != ""
            StrCpy $INSTDIR $0
        ${ElseIf} ${RunningX64}
            StrCpy $INSTDIR "$PROGRAMFILES64\${INSTALL_BELOW}"
        ${EndIf}
    ${EndIf}
FunctionEnd

Function un.onInit
    !insertmacro UseEditionView
FunctionEnd

; Installing over an earlier version replaces the program files; Backup\ is never touched.
Section "Veltrane Mendora"
    ${If} ${RunningX64}
        !insertmacro InstallFiles64
    ${Else}
        !insertmacro InstallFiles32
    ${EndIf}
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
