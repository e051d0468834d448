; The Windows installer of Tessivor, built by makensis from packaging/windows/CMakeLists.txt,
; which passes VERSION, CAPTION_VERSION, OUT, FILES (the File and Delete lines), ICON and
; LICENSE. It installs for every user of the machine under Program Files\Tessivor, adds Start
; menu entries, makes .tsp files open in Tessivor and lists itself among the installed programs;
; the uninstaller removes every file and registry key it wrote. /S installs or uninstalls
; without a question.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "${FILES}"

!define PRODUCT "Tessivor"
!define PROGID "Tessivor.Program"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessivor"
!define SHCNE_ASSOCCHANGED 0x08000000

Name "${PRODUCT} ${CAPTION_VERSION}"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
BrandingText "${PRODUCT} ${CAPTION_VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${CAPTION_VERSION}"
VIAddVersionKey "FileVersion" "${CAPTION_VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${CAPTION_VERSION} Setup"
VIAddVersionKey "CompanyName" "${PRODUCT}"
VIAddVersionKey "LegalCopyright" "MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\tessivor-asm.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tessivor ASM"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.md"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the guide"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION ShowGuide

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The guide is Markdown, plain text that Notepad shows on every Windows.
Function ShowGuide
    Exec '"$WINDIR\notepad.exe" "$INSTDIR\README.md"'
FunctionEnd

Function .onInit
    SetShellVarContext all
    SetRegView 64
FunctionEnd

Function un.onInit
    SetShellVarContext all
    SetRegView 64
FunctionEnd

Section "Tessivor"
    !insertmacro TESSIVOR_INSTALL_FILES
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\Tessivor.lnk" "$INSTDIR\tessivor.exe"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\Tessivor ASM.lnk" "$INSTDIR\tessivor-asm.exe"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\Tessivor Guide.lnk" "$WINDIR\notepad.exe" \
        '"$INSTDIR\README.md"'

    ; A program file opens in Tessivor; the quotes around %1 reach it, and it drops them.
    WriteRegStr HKLM "Software\Classes\.tsp" "" "${PROGID}"
    WriteRegStr HKLM "Software\Classes\${PROGID}" "" "Tessivor Program"
    WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\tessivor.exe,0"
    WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" \
        '"$INSTDIR\tessivor.exe" "%1"'

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${CAPTION_VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tessivor.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    SectionGetSize 0 $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

    System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
    !insertmacro TESSIVOR_DELETE_FILES
    Delete "$INSTDIR\Uninstall.exe"
    ; Folders go only when empty: files of the user's own stay, with their folder.
    RMDir "$INSTDIR\docs\screenshots"
    RMDir "$INSTDIR\docs"
    RMDir "$INSTDIR\examples"
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\${PRODUCT}\Tessivor.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Tessivor ASM.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Tessivor Guide.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"

    DeleteRegKey HKLM "Software\Classes\${PROGID}"
    ; .tsp only while it is still ours.
    ReadRegStr $0 HKLM "Software\Classes\.tsp" ""
    StrCmp $0 "${PROGID}" 0 +2
        DeleteRegKey HKLM "Software\Classes\.tsp"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd
