// The texts of the language files by name. Text::X is entry "l<number>" of the group
// MDRLanguageData in every language file; the numbers are the file format, so an entry keeps its
// number for good and a new one takes the next. kAllTexts lists every entry in file order, and
// kAreaNames the scan areas' names in tree order.
//
// A name says what the text is, with its role last: ...Title of a window or message box,
// ...Question asked with Yes/No, ...Button, ...Tab, ...Label, ...Check (check box), ...Column,
// ...Menu and ...Item of the menus, ...Tip of the toolbar, ...Status of the status bar,
// ...Area of the area tree; messages and error descriptions say what happened (FileMissing).
#pragma once

// clang-format off
#define MDR_TEXTS(X) \
    X(ScanAreasRoot, 0) \
    X(ComArea, 1) \
    X(AppPathsArea, 2) \
    X(DriversArea, 3) \
    X(HelpFilesArea, 4) \
    X(FileExtensionsArea, 5) \
    X(FontsArea, 6) \
    X(HistoryArea, 7) \
    X(IeBhoArea, 8) \
    X(IeExtensionsArea, 9) \
    X(IeToolbarsArea, 10) \
    X(InstalledSoftwareArea, 11) \
    X(MuiCacheArea, 12) \
    X(ObsoleteSoftwareArea, 13) \
    X(ServicesArea, 14) \
    X(SharedDllsArea, 15) \
    X(SoundsArea, 16) \
    X(StartupSoftwareArea, 17) \
    X(TypeLibrariesArea, 18) \
    X(ErrorTitle, 19) \
    X(RestorePointUnavailable, 20) \
    X(InformationTitle, 21) \
    X(RestorePointCreated, 22) \
    X(WarningTitle, 23) \
    X(RestorePointBadEnvironment, 24) \
    X(RestorePointDiskFull, 25) \
    X(RestorePointInternalError, 26) \
    X(RestorePointRejected, 27) \
    X(RestorePointSwitchedOff, 28) \
    X(RestorePointUnexpected, 29) \
    X(SettingsTitle, 30) \
    X(WindowOpenFailed, 31) \
    X(CancelButton, 32) \
    X(OkButton, 33) \
    X(GeneralTab, 34) \
    X(ScanSpeedLabel, 35) \
    X(PreselectLabel, 36) \
    X(BeforeFixingLabel, 37) \
    X(DeleteBackupsCheck, 38) \
    X(CreateLogCheck, 39) \
    X(SkipRemovableCheck, 40) \
    X(HighlightCheck, 41) \
    X(LanguageLabel, 42) \
    X(LanguageColumn, 43) \
    X(AuthorColumn, 44) \
    X(ExceptionsTab, 45) \
    X(ExceptionRootColumn, 46) \
    X(ExceptionSubkeyColumn, 47) \
    X(RootKeyLabel, 48) \
    X(SubkeyLabel, 49) \
    X(ExceptionAddButton, 50) \
    X(ExceptionRemoveButton, 51) \
    X(ExceptionExportButton, 52) \
    X(ExceptionImportButton, 53) \
    X(ScanSpeedNormal, 54) \
    X(ScanSpeedGentle, 55) \
    X(PreselectSafe, 56) \
    X(PreselectUnsafe, 57) \
    X(PreselectAll, 58) \
    X(PreselectNothing, 59) \
    X(BeforeFixingBoth, 60) \
    X(BeforeFixingBackup, 61) \
    X(BeforeFixingRestorePoint, 62) \
    X(BeforeFixingAskBoth, 63) \
    X(BeforeFixingAskBackup, 64) \
    X(BeforeFixingAskRestorePoint, 65) \
    X(LanguageAtNextStart, 66) \
    X(SettingsNotSaved, 67) \
    X(SelectLanguageFirst, 68) \
    X(ExceptionRowExists, 69) \
    X(ExceptionSubkeyMissing, 70) \
    X(ConfirmTitle, 71) \
    X(ExceptionRemoveQuestion, 72) \
    X(SelectExceptionFirst, 73) \
    X(ExceptionExportTitle, 74) \
    X(ExceptionFilesFilter, 75) \
    X(AllFilesFilter, 76) \
    X(FileReplaceQuestion, 77) \
    X(ExceptionsExported, 78) \
    X(ExceptionFileNotCreated, 79) \
    X(NoExceptionsToExport, 80) \
    X(ExceptionImportTitle, 81) \
    X(ExceptionsImported, 82) \
    X(ExceptionFileNotOpened, 83) \
    X(ExportProgressTitle, 84) \
    X(ExportProgressText, 85) \
    X(ExportingStatus, 86) \
    X(ExportTotalErrors, 87) \
    X(EmptyData, 88) \
    X(Safe, 89) \
    X(Unsafe, 90) \
    X(ExportDoneStatus, 91) \
    X(ExportDoneTitle, 92) \
    X(ExportDoneText, 93) \
    X(ExportFileFailed, 94) \
    X(NothingToFix, 95) \
    X(FixConfirmQuestion, 96) \
    X(NoErrorsChecked, 97) \
    X(BackupNotCreated, 98) \
    X(AskBothQuestion, 99) \
    X(AskBackupQuestion, 100) \
    X(AskRestorePointQuestion, 101) \
    X(FixProgressTitle, 102) \
    X(FixWorkingStep, 103) \
    X(FixProgressText, 104) \
    X(FixClosingBackupStep, 105) \
    X(FixedStatus, 106) \
    X(FixAllDone, 107) \
    X(FixSomeFailed, 108) \
    X(FullBackupFolderPrompt, 109) \
    X(FullBackupNoRegedit, 110) \
    X(FullBackupTitle, 111) \
    X(FullBackupCompleted, 112) \
    X(FullBackupProgressText, 113) \
    X(FullBackupCancelQuestion, 114) \
    X(BackupManagerTitle, 115) \
    X(BackupManagerLabel, 116) \
    X(BackupFileColumn, 117) \
    X(BackupCreatedColumn, 118) \
    X(BackupSizeColumn, 119) \
    X(CloseButton, 120) \
    X(BackupRemoveButton, 121) \
    X(BackupRestoreButton, 122) \
    X(BackupDeleteQuestion, 123) \
    X(BackupNotDeleted, 124) \
    X(SelectBackupFirst, 125) \
    X(BackupRestored, 126) \
    X(BackupNotRestored, 127) \
    X(VersionLabel, 128) \
    X(MemoryLabel, 129) \
    X(AboutTitle, 130) \
    X(WebSiteButton, 131) \
    X(Key, 132) \
    X(Value, 133) \
    X(ScannedStatus, 134) \
    X(ErrorsStatus, 135) \
    X(NoAreaTicked, 136) \
    X(UnfixedErrorsTitle, 137) \
    X(UnfixedErrorsQuestion, 138) \
    X(ScanningStatus, 139) \
    X(DetailsHint, 140) \
    X(ScanStartFailed, 141) \
    X(SelectEntryFirst, 142) \
    X(StopScanQuestion, 143) \
    X(Hour, 144) \
    X(Hours, 145) \
    X(Minute, 146) \
    X(Minutes, 147) \
    X(Second, 148) \
    X(Seconds, 149) \
    X(ScanCancelledStatus, 150) \
    X(ScanFinishedStatus, 151) \
    X(FirstRunTitle, 152) \
    X(FirstRunQuestion, 153) \
    X(StatusBarFailed, 154) \
    X(ReadyStatus, 155) \
    X(MenusFailed, 156) \
    X(FileMenu, 157) \
    X(StartScanItem, 158) \
    X(StopScanItem, 159) \
    X(MinimizeToTrayItem, 160) \
    X(ExitItem, 161) \
    X(EditMenu, 162) \
    X(SelectMenu, 163) \
    X(AllAreasItem, 164) \
    X(AllErrorsItem, 165) \
    X(SafeErrorsItem, 166) \
    X(UnsafeErrorsItem, 167) \
    X(DeselectMenu, 168) \
    X(InvertSelectionItem, 169) \
    X(OpenInRegeditItem, 170) \
    X(ToolsMenu, 171) \
    X(FixItem, 172) \
    X(BackupManagerItem, 173) \
    X(FullBackupItem, 174) \
    X(RestorePointItem, 175) \
    X(ExportItem, 176) \
    X(OptionsMenu, 177) \
    X(SettingsItem, 178) \
    X(HelpMenu, 179) \
    X(HelpTopicsItem, 180) \
    X(WebSiteItem, 181) \
    X(TreeTickAllItem, 182) \
    X(TreeUntickAllItem, 183) \
    X(ListSelectAllItem, 184) \
    X(ListSelectSafeItem, 185) \
    X(ListSelectUnsafeItem, 186) \
    X(ListInvertItem, 187) \
    X(ListDeselectAllItem, 188) \
    X(ListAddExceptionItem, 189) \
    X(ListFixItem, 190) \
    X(ListOpenInRegeditItem, 191) \
    X(TrayRestoreItem, 192) \
    X(TrayExitItem, 193) \
    X(ToolbarFailed, 194) \
    X(ScanButton, 195) \
    X(StopButton, 196) \
    X(BackupsButton, 197) \
    X(FixButton, 198) \
    X(ToolsButton, 199) \
    X(SettingsButton, 200) \
    X(HelpButton, 201) \
    X(AboutButton, 202) \
    X(ScanTip, 203) \
    X(StopTip, 204) \
    X(BackupsTip, 205) \
    X(FixTip, 206) \
    X(ToolsTip, 207) \
    X(SettingsTip, 208) \
    X(HelpTip, 209) \
    X(AboutTip, 210) \
    X(ExitTip, 211) \
    X(RootKeyColumn, 212) \
    X(DataColumn, 213) \
    X(CategoryColumn, 214) \
    X(ErrorsFoundBalloon, 215) \
    X(ExitQuestion, 216) \
    X(ScanRunning, 217) \
    X(TrayKeepsRunning, 218) \
    X(TrayShowHint, 219) \
    X(AddExceptionQuestion, 220) \
    X(ExceptionsNotSaved, 221) \
    X(ExceptionNotAdded, 222) \
    X(ExceptionExists, 223) \
    X(ToolNotFound, 224) \
    X(ClassIconMissing, 225) \
    X(InprocServerMissing, 226) \
    X(InprocServer32Missing, 227) \
    X(InprocHandlerMissing, 228) \
    X(InprocHandler32Missing, 229) \
    X(ClassTypeLibUnregistered, 230) \
    X(AppIdUnregistered, 231) \
    X(AppPathMissing, 232) \
    X(FileMissing, 233) \
    X(ExtensionWithoutType, 234) \
    X(FontMissing, 235) \
    X(HelpFileMissing, 236) \
    X(RecentDocMissing, 237) \
    X(OpenSaveHistoryMissing, 238) \
    X(HistoryProgramMissing, 239) \
    X(BhoClassUnregistered, 240) \
    X(IeExtensionClassUnregistered, 241) \
    X(IeExtensionTargetMissing, 242) \
    X(IeExtensionIconMissing, 243) \
    X(IeExtensionHotIconMissing, 244) \
    X(IeExtensionProgramMissing, 245) \
    X(IeExtensionScriptMissing, 246) \
    X(IeToolbarServerMissing, 247) \
    X(IeToolbarClassUnregistered, 248) \
    X(InstalledIconMissing, 249) \
    X(InstallFolderMissing, 250) \
    X(ArpCacheOrphan, 251) \
    X(MuiCacheProgramMissing, 252) \
    X(EmptyKey, 253) \
    X(ServiceProgramMissing, 254) \
    X(SharedDllMissing, 255) \
    X(SoundMissing, 256) \
    X(StartupProgramMissing, 257) \
    X(InterfaceTypeLibUnregistered, 258) \
    X(ValueNameLabel, 259) \
    X(ValueDataLabel, 260) \
    X(CategoryLabel, 261) \
    X(SafetyLabel, 262) \
    X(AppearanceTab, 263) \
    X(BackupIncomplete, 264) \
    X(InexactBackupQuestion, 265) \
    X(FixUnexpectedError, 266) \
    X(FixRefusedContainer, 267) \
    X(FixPreviewValue, 268) \
    X(FixPreviewKey, 269) \
    X(FixPreviewKeyAtLeast, 270) \
    X(FixPreviewExact, 271) \
    X(FixPreviewInexact, 272) \
    X(FixPreviewGone, 273) \
    X(ReturnedColumn, 274) \
    X(ReturnedCell, 275) \
    X(ReturnedExplained, 276) \
    X(FilterItem, 277) \
    X(FilterCue, 278) \
    X(FilterShownStatus, 279)
// clang-format on

namespace mdr {

enum class Text : int {
#define MDR_TEXT_ENUMERATOR(name, number) name = number,
    MDR_TEXTS(MDR_TEXT_ENUMERATOR)
#undef MDR_TEXT_ENUMERATOR
};

inline constexpr Text kAllTexts[] = {
#define MDR_TEXT_ELEMENT(name, number) Text::name,
    MDR_TEXTS(MDR_TEXT_ELEMENT)
#undef MDR_TEXT_ELEMENT
};

// The loader reads l0 to lN-1: each number once, none left out.
static_assert([] {
    int number = 0;
    for (Text text : kAllTexts) {
        if (static_cast<int>(text) != number++) return false;
    }
    return true;
}());

// The name of tree item n (1..18) is kAreaNames[n - 1].
inline constexpr Text kAreaNames[] = {
    Text::ComArea,
    Text::AppPathsArea,
    Text::DriversArea,
    Text::HelpFilesArea,
    Text::FileExtensionsArea,
    Text::FontsArea,
    Text::HistoryArea,
    Text::IeBhoArea,
    Text::IeExtensionsArea,
    Text::IeToolbarsArea,
    Text::InstalledSoftwareArea,
    Text::MuiCacheArea,
    Text::ObsoleteSoftwareArea,
    Text::ServicesArea,
    Text::SharedDllsArea,
    Text::SoundsArea,
    Text::StartupSoftwareArea,
    Text::TypeLibrariesArea,
};

} // namespace mdr
