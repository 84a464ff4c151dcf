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
inline constexpr int kMeasureItem = 65;            // File menu item: the measuring window
inline constexpr int kMeasureRowItem = 66;         // the list's pop-up item
inline constexpr int kLastAdded = 66;

// The English text of an added message (kFirstAdded..kLastAdded); nullptr otherwise.
const char* BuiltInEnglishText(int number);

}  // namespace dm::message
