#pragma once
// Catalogue message numbers the commands show.

namespace dm::message {

inline constexpr int kDirectoryEmpty = 8;
inline constexpr int kNoDirectoryReply = 9;
inline constexpr int kDeleteAllQuestion = 10;
inline constexpr int kPictureFileUnreadable = 11;
inline constexpr int kUploadFinished = 12;
inline constexpr int kDeleteOneQuestion = 13;  // carries the picture number
inline constexpr int kMicroscopeFound = 14;
inline constexpr int kNoMicroscope = 15;
inline constexpr int kSnapshotSaveQuestion = 16;

}  // namespace dm::message
