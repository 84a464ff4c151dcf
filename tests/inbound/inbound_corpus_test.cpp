// SPDX-License-Identifier: GPL-3.0-or-later
// Replays the inbound fuzz target's seed corpus through the same per-input function, and
// checks that the well-formed seeds still reach what they were made for.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <cstdint>
#include <string>

#include "fuzz/inbound_input.h"

namespace dm {
namespace {

using fuzz::InboundOutcome;

constexpr qsizetype kLeastSeeds = 15;

// DM_SOURCE_DIR names the source tree; without it, the tree this test was built from.
QDir CorpusFolder() {
    const QString fromEnvironment = qEnvironmentVariable("DM_SOURCE_DIR");
    const QString tree =
        fromEnvironment.isEmpty() ? QStringLiteral(DM_SOURCE_TREE) : fromEnvironment;
    return QDir(tree + QStringLiteral("/fuzz/corpus/inbound"));
}

InboundOutcome Replay(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray bytes = file.readAll();
    return fuzz::RunInboundInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                 static_cast<std::size_t>(bytes.size()));
}

InboundOutcome ReplaySeed(const char* name) {
    return Replay(CorpusFolder().filePath(QString::fromLatin1(name)));
}

TEST(InboundCorpusTest, EverySeedRunsThrough) {
    const QStringList seeds = CorpusFolder().entryList(QDir::Files, QDir::Name);
    ASSERT_GE(seeds.size(), kLeastSeeds);
    for (const QString& seed : seeds) {
        SCOPED_TRACE(seed.toStdString());
        const InboundOutcome outcome = Replay(CorpusFolder().filePath(seed));
        EXPECT_GT(outcome.framesDispatched, 0);
    }
}

TEST(InboundCorpusTest, LivePictureIsDecodedAndShown) {
    EXPECT_EQ(ReplaySeed("live_picture").liveFrames, 1);
    EXPECT_EQ(ReplaySeed("live_picture_camera_off").liveFrames, 1);
}

TEST(InboundCorpusTest, UndecodableLivePicturesAreDropped) {
    EXPECT_EQ(ReplaySeed("live_picture_forged_size").liveFrames, 0);
    EXPECT_EQ(ReplaySeed("truncated_picture").liveFrames, 0);
    EXPECT_EQ(ReplaySeed("truncated_picture").pictures, 0);
}

TEST(InboundCorpusTest, PicturesGoWhereTheFlagsSay) {
    EXPECT_EQ(ReplaySeed("collected_picture").pictures, 1);
    EXPECT_EQ(ReplaySeed("claimed_picture").pictures, 1);
    EXPECT_EQ(ReplaySeed("unclaimed_picture").pictures, 0);
    EXPECT_EQ(ReplaySeed("snapshot_picture").snapshots, 1);
    const InboundOutcome every = ReplaySeed("every_route_picture");
    EXPECT_EQ(every.liveFrames, 1);
    EXPECT_EQ(every.pictures, 1);
    EXPECT_EQ(every.snapshots, 1);
}

TEST(InboundCorpusTest, ShortFramesRaiseTheirFlags) {
    EXPECT_EQ(ReplaySeed("directory").directoryCount, 3);
    EXPECT_EQ(ReplaySeed("probe").portWrites, 1);
    EXPECT_TRUE(ReplaySeed("probe_reply").probeReply);
    const InboundOutcome full = ReplaySeed("memory_full");
    EXPECT_TRUE(full.memoryFull);
    EXPECT_EQ(full.errorsShown, 1);
    const InboundOutcome chunked = ReplaySeed("short_frames_in_chunks");
    EXPECT_EQ(chunked.portWrites, 1);
    EXPECT_TRUE(chunked.probeReply);
    EXPECT_TRUE(chunked.memoryFull);
}

TEST(InboundCorpusTest, FramesAreFoundBackToBackAndAmidGarbage) {
    const InboundOutcome together = ReplaySeed("back_to_back");
    EXPECT_EQ(together.directoryCount, 2);
    EXPECT_EQ(together.liveFrames, 2);
    EXPECT_EQ(together.pictures, 2);
    EXPECT_TRUE(together.probeReply);
    const InboundOutcome garbled = ReplaySeed("garbage_between_frames");
    EXPECT_TRUE(garbled.probeReply);
    EXPECT_EQ(garbled.liveFrames, 1);
}

}  // namespace
}  // namespace dm
