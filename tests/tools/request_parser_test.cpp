// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtual-microscope/request_parser.h"

#include <gtest/gtest.h>

namespace dm::vm {
namespace {

using Kind = RequestParser::Event::Kind;
using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;

class RequestParserTest : public ::testing::Test {
  protected:
    void Feed(const Bytes& bytes) { parser_.Feed(bytes.data(), bytes.size(), now_); }
    std::optional<RequestParser::Event> Next() { return parser_.Next(now_); }
    void Wait(milliseconds time) { now_ += time; }

    RequestParser parser_;
    RequestParser::Clock::time_point now_ = RequestParser::Clock::now();
};

TEST_F(RequestParserTest, SplitsRequestsWithAndWithoutArguments) {
    Feed({0xF8, 0x31, 0x00, 0x00, 0xF8, 0x22, 0x04, 0x00, 0x07, 0x00, 0x00, 0x00, 0xF8, 0x28, 0x01,
          0x00});
    EXPECT_EQ(Next()->bytes, (Bytes{0xF8, 0x31, 0x00, 0x00}));
    EXPECT_EQ(Next()->bytes, (Bytes{0xF8, 0x22, 0x04, 0x00, 0x07, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Next()->bytes, (Bytes{0xF8, 0x28, 0x01, 0x00})) << "GetSnapshot's argument";
    EXPECT_FALSE(Next());
}

TEST_F(RequestParserTest, WaitsForAnArgumentThatIsOnItsWay) {
    Feed({0xF8, 0x23, 0x04, 0x00, 0x0C});
    EXPECT_FALSE(Next());
    Feed({0x00, 0x00, 0x05});
    const auto request = Next();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->bytes, (Bytes{0xF8, 0x23, 0x04, 0x00, 0x0C, 0x00, 0x00, 0x05}));
}

TEST_F(RequestParserTest, DropsBytesThatBeginNoRequestOneAtATime) {
    Feed({0x00, 0xF8, 0x83, 0xF8, 0x49, 0xF8, 0x48, 0x00, 0x00});
    const auto key = Next();
    ASSERT_TRUE(key);
    EXPECT_EQ(key->bytes, (Bytes{0xF8, 0x48, 0x00, 0x00})) << "Key8 is the last key";
    EXPECT_EQ(parser_.DroppedBytes(), 5u);
}

TEST_F(RequestParserTest, GivesUpAStalledArgumentByItsLeadByte) {
    Feed({0xF8, 0x22, 0x04, 0x00});
    Wait(RequestParser::kPayloadStall - milliseconds(1));
    Feed({0x01});
    Wait(milliseconds(2));
    EXPECT_FALSE(Next()) << "the stall is counted from the last byte that came";
    Wait(RequestParser::kPayloadStall);
    EXPECT_FALSE(Next());
    EXPECT_EQ(parser_.DroppedBytes(), 5u) << "the lead byte, then the rest as unknown bytes";
    EXPECT_EQ(parser_.Buffered(), 0u);
    Feed({0xF8, 0x31, 0x00, 0x00});
    ASSERT_TRUE(Next());
}

TEST_F(RequestParserTest, UploadComesInTwoSteps) {
    Feed({0xF8, 0x27, 0x03, 0x00, 0xFF});
    const auto header = Next();
    ASSERT_TRUE(header);
    EXPECT_EQ(header->kind, Kind::UploadHeader);
    EXPECT_EQ(header->size, 3u);
    parser_.AcceptUpload();
    EXPECT_FALSE(Next());
    Feed({0xD8, 0xF8, 0xF8, 0x31, 0x00, 0x00});  // payload bytes may look like a header
    const auto payload = Next();
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->kind, Kind::UploadPayload);
    EXPECT_EQ(payload->bytes, (Bytes{0xFF, 0xD8, 0xF8}));
    EXPECT_EQ(Next()->bytes, (Bytes{0xF8, 0x31, 0x00, 0x00}));
}

TEST_F(RequestParserTest, StalledUploadIsAbandonedWithWhatCame) {
    Feed({0xF8, 0x27, 0x10, 0x00, 0xFF, 0xD8});
    ASSERT_EQ(Next()->kind, Kind::UploadHeader);
    parser_.AcceptUpload();
    EXPECT_FALSE(Next());
    Wait(RequestParser::kPayloadStall);
    const auto abandoned = Next();
    ASSERT_TRUE(abandoned);
    EXPECT_EQ(abandoned->kind, Kind::UploadAbandoned);
    EXPECT_EQ(abandoned->bytes, (Bytes{0xFF, 0xD8}));
    EXPECT_EQ(abandoned->size, 16u);
}

TEST_F(RequestParserTest, RefusedUploadSkipsItsPictureOrTheAbsenceOfIt) {
    Feed({0xF8, 0x27, 0x02, 0x00, 0xFF, 0xD8, 0xF8, 0x27, 0x02, 0x00});
    ASSERT_EQ(Next()->kind, Kind::UploadHeader);
    parser_.RefuseUpload();
    const auto skipped = Next();
    ASSERT_TRUE(skipped);
    EXPECT_EQ(skipped->kind, Kind::UploadPayload);
    EXPECT_TRUE(skipped->refused);
    EXPECT_TRUE(skipped->bytes.empty());
    EXPECT_EQ(skipped->size, 2u);

    ASSERT_EQ(Next()->kind, Kind::UploadHeader);
    parser_.RefuseUpload();
    Feed({0xF8, 0x24, 0x00, 0x00});  // no picture: the program went on with a request
    const auto none = Next();
    ASSERT_TRUE(none);
    EXPECT_EQ(none->kind, Kind::UploadPayload);
    EXPECT_EQ(none->size, 0u);
    EXPECT_EQ(Next()->bytes, (Bytes{0xF8, 0x24, 0x00, 0x00}));
}

}  // namespace
}  // namespace dm::vm
