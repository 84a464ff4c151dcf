// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/receive_buffer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

namespace dm {
namespace {

std::vector<uint8_t> Sequence(uint32_t n, uint8_t start = 0) {
    std::vector<uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), start);
    return bytes;
}

TEST(ReceiveBuffer, HoldsOneByteLessThanItsStorage) {
    auto buffer = std::make_unique<ReceiveBuffer>();
    const auto bulk = Sequence(131066);
    ASSERT_EQ(buffer->Append(bulk.data(), 131066), 131066u);

    const auto six = Sequence(6);
    EXPECT_EQ(buffer->Append(six.data(), 6), 0u) << "6 more would need the reserved slot";
    EXPECT_EQ(buffer->Count(), 131066u) << "a refused append changes nothing";

    EXPECT_EQ(buffer->Append(six.data(), 5), 5u);
    EXPECT_EQ(buffer->Count(), ReceiveBuffer::kMaxHeld);
    EXPECT_EQ(buffer->Append(six.data(), 1), 0u);
}

TEST(ReceiveBuffer, AppendAcrossTheEndKeepsTheOrder) {
    auto buffer = std::make_unique<ReceiveBuffer>();
    // Move both positions close to the end of the storage.
    const auto filler = Sequence(131000);
    std::vector<uint8_t> sink(131000);
    ASSERT_EQ(buffer->Append(filler.data(), 131000), 131000u);
    ASSERT_EQ(buffer->Take(sink.data(), 131000), 131000u);

    const auto wrapped = Sequence(200, 7);
    ASSERT_EQ(buffer->Append(wrapped.data(), 200), 200u);
    std::vector<uint8_t> out(200);
    ASSERT_EQ(buffer->Take(out.data(), 200), 200u);
    EXPECT_EQ(out, wrapped);
    EXPECT_EQ(buffer->Count(), 0u);
}

TEST(ReceiveBuffer, PeekAndTakeOfTooManyChangeNothing) {
    auto buffer = std::make_unique<ReceiveBuffer>();
    const auto bytes = Sequence(10, 1);
    buffer->Append(bytes.data(), 10);
    std::vector<uint8_t> out(11, 0xEE);

    EXPECT_EQ(buffer->Peek(out.data(), 11), 0u);
    EXPECT_EQ(buffer->Take(out.data(), 11), 0u);
    EXPECT_EQ(out, std::vector<uint8_t>(11, 0xEE)) << "nothing may be copied";
    EXPECT_EQ(buffer->Count(), 10u);

    ASSERT_EQ(buffer->Peek(out.data(), 4), 4u);
    EXPECT_EQ(buffer->Count(), 10u) << "Peek removes nothing";
    ASSERT_EQ(buffer->Take(out.data(), 4), 4u);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 4), Sequence(4, 1));
    EXPECT_EQ(buffer->Count(), 6u);
}

TEST(ReceiveBuffer, DropOfExactlyTheCountResetsBothPositions) {
    auto buffer = std::make_unique<ReceiveBuffer>();
    const auto bytes = Sequence(100);
    buffer->Append(bytes.data(), 100);
    buffer->Drop(30);
    EXPECT_EQ(buffer->Count(), 70u);
    buffer->Drop(70);
    EXPECT_EQ(buffer->Count(), 0u);

    // Both positions are back at 0: a full-size append fits without wrapping, and the
    // bytes come back in order.
    const auto full = Sequence(ReceiveBuffer::kMaxHeld, 3);
    ASSERT_EQ(buffer->Append(full.data(), ReceiveBuffer::kMaxHeld), ReceiveBuffer::kMaxHeld);
    std::vector<uint8_t> out(ReceiveBuffer::kMaxHeld);
    ASSERT_EQ(buffer->Take(out.data(), ReceiveBuffer::kMaxHeld), ReceiveBuffer::kMaxHeld);
    EXPECT_EQ(out, full);

    buffer->Append(bytes.data(), 5);
    buffer->Drop(500);
    EXPECT_EQ(buffer->Count(), 0u) << "dropping more than is held empties the buffer";
}

// The data thread sleeps here with nothing to do. With a wait of an hour, only the byte's
// arrival (or a wake-up) can end it: a sleeper that polled would not return.
TEST(ReceiveBuffer, AWaiterWakesWhenABytesArrivesOrIsWokenAndNotBefore) {
    constexpr auto kHour = std::chrono::hours(1);
    auto buffer = std::make_unique<ReceiveBuffer>();
    const uint64_t seen = buffer->Received();
    auto arrival =
        std::async(std::launch::async, [&] { return buffer->WaitForArrival(seen, kHour); });
    EXPECT_EQ(arrival.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    const uint8_t byte = 0xF8;
    {
        std::lock_guard lock(buffer->Lock());
        buffer->Append(&byte, 1);
    }
    EXPECT_TRUE(arrival.get());

    auto woken = std::async(std::launch::async,
                            [&] { return buffer->WaitForArrival(buffer->Received(), kHour); });
    EXPECT_EQ(woken.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    buffer->WakeWaiters();
    EXPECT_FALSE(woken.get()) << "woken, but no byte came";
}

}  // namespace
}  // namespace dm
