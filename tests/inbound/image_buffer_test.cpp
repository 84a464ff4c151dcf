// SPDX-License-Identifier: GPL-3.0-or-later
#include "inbound/image_buffer.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace dm {
namespace {

QByteArray BytesOf(uint32_t value, int n) {
    QByteArray bytes(n, '\0');
    for (int i = 0; i < n; ++i) {
        bytes[i] = static_cast<char>(value + i);
    }
    return bytes;
}

void Append(IMAGE_BUFFER& list, uint32_t info, int n = 16) {
    const QByteArray bytes = BytesOf(info, n);
    list.AppendPicture(info, reinterpret_cast<const uint8_t*>(bytes.constData()), n);
}

std::vector<uint32_t> Infos(const IMAGE_BUFFER& list) {
    std::vector<uint32_t> infos;
    for (int i = 0; i < list.Count(); ++i) {
        infos.push_back(list.InfoAt(i));
    }
    return infos;
}

TEST(ImageBuffer, EmptyListAnswersZeroAndNothing) {
    IMAGE_BUFFER list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.InfoAt(0), 0u);
    EXPECT_TRUE(list.StreamAt(0).isNull());
    list.Clear();
    list.RemoveAt(0);
    EXPECT_EQ(list.Count(), 0);
}

TEST(ImageBuffer, BytesComeBackUnchangedAndIndexesBelowZeroMeanTheFirst) {
    IMAGE_BUFFER list;
    Append(list, 10, 1000);
    Append(list, 11);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.StreamAt(0), BytesOf(10, 1000));
    EXPECT_EQ(list.InfoAt(-5), 10u);
    EXPECT_EQ(list.StreamAt(-1), BytesOf(10, 1000));
    EXPECT_EQ(list.InfoAt(1), 11u);
    EXPECT_EQ(list.InfoAt(2), 0u);
    EXPECT_TRUE(list.StreamAt(2).isNull());
}

TEST(ImageBuffer, RecordWithoutBytesIsStillARecord) {
    IMAGE_BUFFER list;
    list.AppendPicture(7, nullptr, 0);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_FALSE(list.StreamAt(0).isNull());
    EXPECT_TRUE(list.StreamAt(0).isEmpty());
}

TEST(ImageBuffer, RemoveKeepsHeadTailAndOrder) {
    IMAGE_BUFFER list;
    Append(list, 1);
    list.RemoveAt(0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.InfoAt(0), 0u);
    Append(list, 2);  // the emptied list takes a new head
    EXPECT_EQ(Infos(list), (std::vector<uint32_t>{2}));

    Append(list, 3);
    Append(list, 4);
    list.RemoveAt(2);  // the last: 3 becomes the tail
    Append(list, 5);
    EXPECT_EQ(Infos(list), (std::vector<uint32_t>{2, 3, 5}));

    list.RemoveAt(1);   // a middle record
    list.RemoveAt(-4);  // below zero: the first
    EXPECT_EQ(Infos(list), (std::vector<uint32_t>{5}));

    list.RemoveAt(1);  // at the end: nothing
    list.RemoveAt(100);
    EXPECT_EQ(Infos(list), (std::vector<uint32_t>{5}));
    Append(list, 6);
    EXPECT_EQ(Infos(list), (std::vector<uint32_t>{5, 6}));
}

TEST(ImageBuffer, StreamHandedOutOutlivesItsRecord) {
    IMAGE_BUFFER list;
    Append(list, 9, 500);
    const QByteArray held = list.StreamAt(0);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(held, BytesOf(9, 500));
}

// Runs on a thread with a small stack, so a chain freed by recursion would overflow it.
TEST(ImageBuffer, LongListsAreFreedWithoutDeepRecursion) {
    constexpr int kRecords = 100000;
    constexpr uint kSmallStack = 256 * 1024;
    int countAfterClear = -1;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        auto list = std::make_unique<IMAGE_BUFFER>();
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < kRecords; ++i) {
                list->AppendPicture(static_cast<uint32_t>(i), nullptr, 0);
            }
            if (round == 0) {
                list->Clear();
                countAfterClear = list->Count();
            }
        }
        list.reset();  // the destructor frees the second chain
    }));
    worker->setStackSize(kSmallStack);
    worker->start();
    ASSERT_TRUE(worker->wait(QDeadlineTimer(60000)));
    EXPECT_EQ(countAfterClear, 0);
}

// Readers on another thread see either the old end of the list or a complete record.
TEST(ImageBuffer, ReaderNeverSeesAHalfBuiltRecord) {
    constexpr int kRecords = 3000;
    constexpr int kBytes = 64;
    IMAGE_BUFFER list;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < kRecords; ++i) {
            Append(list, static_cast<uint32_t>(i), kBytes);
        }
        done = true;
    });
    int mismatches = 0;
    while (!done.load()) {
        const int count = list.Count();
        if (count == 0) {
            continue;
        }
        const int last = count - 1;
        if (list.InfoAt(last) != static_cast<uint32_t>(last) ||
            list.StreamAt(last) != BytesOf(last, kBytes)) {
            ++mismatches;
        }
    }
    writer.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(list.Count(), kRecords);
}

TEST(ImageBuffer, ClearRacingAReaderIsSafe) {
    IMAGE_BUFFER list;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done.load()) {
            const QByteArray bytes = list.StreamAt(list.Count() - 1);
            EXPECT_TRUE(bytes.isNull() || bytes.size() == 32);
        }
    });
    for (int round = 0; round < 200; ++round) {
        for (int i = 0; i < 20; ++i) {
            Append(list, static_cast<uint32_t>(i), 32);
        }
        list.RemoveAt(5);
        list.Clear();
    }
    done = true;
    reader.join();
}

}  // namespace
}  // namespace dm
