// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Catalogue message numbers shown by the commands, the finishing steps and the browser.
//
// Numbers 1..30 are the language files' own. The numbers after 30 are this program's
// additions; each has an English text built in (BuiltInEnglishText), used when a language
// file lacks the key, so older language files keep working. Texts with "%1", "%2", ...
// are filled in with QString::arg.

namespace dm::message {

inline constexpr int kDownloadFinished = 7;
inline constexpr int kDirectoryEmpty = 8;
inline constexpr int kNoDirectoryReply = 9;
inline constexpr int kDeleteAllQuestion = 10;
inline constexpr int kPictureFileUnreadable = 11;
inline constexpr int kUploadFinished = 12;
inline constexpr int kDeleteOneQuestion = 13;  // carries the picture number
inline constexpr int kMicroscopeFound = 14;
inline constexpr int kNoMicroscope = 15;
inline constexpr int kSnapshotSaveQuestion = 16;

inline constexpr int kFirstAdded = 31;
inline constexpr int kPictureNotReceived = 31;  // a row whose picture never arrived
inline constexpr int kPictureUnreadable = 32;   // %1: the scratch picture's path
inline constexpr int kPictureNotSaved = 33;     // %1: the file's path
inline constexpr int kSnapshotNotReceived = 34;
inline constexpr int kSnapshotUndecodable = 35;
inline constexpr int kPicturesNotPrepared = 36;  // %1: the file names, comma-separated
inline constexpr int kDownloadIncomplete = 37;   // %1 received of %2
inline constexpr int kSaveAllSummary = 38;       // %1 saved, %2 skipped, %3 failed
inline constexpr int kRequestNotSent = 39;       // a delete that could not be written
inline constexpr int kUploadNotSent = 40;
inline constexpr int kDirectoryCut = 41;          // %1 listed of %2
inline constexpr int kNotReceivedColumn = 42;     // the Size column of such a row
inline constexpr int kSnapshotFailed = 43;        // the snapshot command never ran
inline constexpr int kDirectoryIncomplete = 44;   // the directory frame stalled
inline constexpr int kLinkLost = 45;              // the microscope went away while connected
inline constexpr int kPortPermissionDenied = 46;  // %1: the device; a line after message 15
inline constexpr int kPortInUse = 47;             // %1: the device
inline constexpr int kPortSilent = 48;            // %1: the device
inline constexpr int kPermissionRemedy = 49;      // after the refused ports
inline constexpr int kMorePorts = 50;             // %1: ports not named
// Hints of the pad buttons and Snapshot, %1: the key that presses the button.
inline constexpr int kUpHint = 51;
inline constexpr int kLeftHint = 52;
inline constexpr int kCentreHint = 53;
inline constexpr int kRightHint = 54;
inline constexpr int kDownHint = 55;
inline constexpr int kZoomOutHint = 56;
inline constexpr int kLockHint = 57;
inline constexpr int kZoomInHint = 58;
inline constexpr int kSnapshotHint = 59;
inline constexpr int kConnectPrompt = 60;          // over the start-up picture
inline constexpr int kSavedFile = 61;              // %1: the file written
inline constexpr int kSavedPictures = 62;          // %1 pictures, %2: their folder
inline constexpr int kSnapshotsUnaskedItem = 63;   // File menu item
inline constexpr int kSnapshotFolderCaption = 64;  // its folder dialog
// The measuring window: its menu items in the main window and the list, then its own texts.
inline constexpr int kMeasureMenuItem = 65;  // main menu item, Ctrl+M
inline constexpr int kMeasureListItem = 66;  // the list's pop-up item
inline constexpr int kMeasureTitle = 67;     // %1: the picture's name
inline constexpr int kEditMenu = 68;
inline constexpr int kToolsMenu = 69;
inline constexpr int kViewMenu = 70;
inline constexpr int kOpenPictureItem = 71;
inline constexpr int kSavePictureItem = 72;
inline constexpr int kSaveMarkedPictureItem = 73;
inline constexpr int kExportCsvItem = 74;
inline constexpr int kCopyItem = 75;
inline constexpr int kUndoItem = 76;
inline constexpr int kRedoItem = 77;
inline constexpr int kDeleteItem = 78;
inline constexpr int kClearItem = 79;
inline constexpr int kToolSelect = 80;
inline constexpr int kToolLine = 81;
inline constexpr int kToolPolyline = 82;
inline constexpr int kToolAngle = 83;
inline constexpr int kToolCircle = 84;
inline constexpr int kToolRectangle = 85;
inline constexpr int kToolPolygon = 86;
inline constexpr int kToolCount = 87;
inline constexpr int kToolCalibrate = 88;
inline constexpr int kForgetCalibrationItem = 89;
inline constexpr int kZoomInItem = 90;
inline constexpr int kZoomOutItem = 91;
inline constexpr int kActualSizeItem = 92;
inline constexpr int kFitItem = 93;
inline constexpr int kLiveItem = 94;
inline constexpr int kScaleBarItem = 95;
inline constexpr int kBottomRight = 96;
inline constexpr int kBottomLeft = 97;
inline constexpr int kTopRight = 98;
inline constexpr int kTopLeft = 99;
inline constexpr int kUnitLabel = 100;
inline constexpr int kUnitAuto = 101;
inline constexpr int kDecimalsLabel = 102;
inline constexpr int kGroupLabel = 103;
inline constexpr int kNumberColumn = 104;
inline constexpr int kValueColumn = 105;
inline constexpr int kMoreColumn = 106;
inline constexpr int kDiameter = 107;
inline constexpr int kRadius = 108;
inline constexpr int kArea = 109;
inline constexpr int kPerimeter = 110;
inline constexpr int kCentre = 111;
inline constexpr int kCrossesItself = 112;
inline constexpr int kNoAngle = 113;
inline constexpr int kScaleCalibrated = 114;  // %1: the date
inline constexpr int kScaleNominal = 115;
inline constexpr int kScaleNone = 116;
inline constexpr int kScaleValue = 117;  // %1: pixels per millimetre
inline constexpr int kCollinearCircle = 118;
inline constexpr int kCalibrationLine = 119;  // %1: the line's length in pixels
inline constexpr int kCalibrationPrompt = 120;
inline constexpr int kBadKnownLength = 121;
inline constexpr int kLineTooShort = 122;
inline constexpr int kPictureOnlyCalibration = 123;
inline constexpr int kCalibrationNotSaved = 124;  // %1: why
inline constexpr int kForgetCalibrationQuestion = 125;
inline constexpr int kDropMeasurementsQuestion = 126;  // %1: the picture's name
inline constexpr int kMeasurePictureUnreadable = 127;  // %1: the file
inline constexpr int kSheetDamaged = 128;              // %1: the file, %2: what is wrong
inline constexpr int kFileNotWritten = 129;            // %1: the file, %2: why
inline constexpr int kJpegFilter = 130;
inline constexpr int kPngFilter = 131;
inline constexpr int kBmpFilter = 132;
inline constexpr int kCsvFilter = 133;
inline constexpr int kPictureFilter = 134;
inline constexpr int kFreezeHint = 135;
inline constexpr int kToolColumn = 136;
inline constexpr int kLastAdded = 136;

// The English text of an added message (kFirstAdded..kLastAdded); nullptr otherwise.
const char* BuiltInEnglishText(int number);

}  // namespace dm::message
