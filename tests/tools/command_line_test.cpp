// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtual-microscope/command_line.h"

#include <gtest/gtest.h>

namespace dm::vm {
namespace {

TEST(CommandLine, DefaultsWithoutArguments) {
    const CommandLine line = ParseCommandLine({});
    EXPECT_TRUE(line.error.empty());
    EXPECT_FALSE(line.help);
    EXPECT_EQ(line.options.pictures, 4);
    EXPECT_EQ(line.options.maxPictures, 64);
    EXPECT_EQ(line.options.faults, Faults{});
}

TEST(CommandLine, EveryOptionSetsItsField) {
    const CommandLine line = ParseCommandLine({"--pictures",
                                               "7",
                                               "--max-pictures",
                                               "9",
                                               "--log",
                                               "wire.txt",
                                               "--probe-every",
                                               "250",
                                               "--garbage",
                                               "--stall-payload",
                                               "--bad-jpeg",
                                               "--oversized-length",
                                               "--directory-entries",
                                               "80",
                                               "--vanish-mid-transfer",
                                               "--throttle",
                                               "--drop-live-byte",
                                               "5",
                                               "--stray-burst",
                                               "3"});
    ASSERT_TRUE(line.error.empty()) << line.error;
    EXPECT_EQ(line.options.pictures, 7);
    EXPECT_EQ(line.options.maxPictures, 9);
    EXPECT_EQ(line.options.logPath, "wire.txt");
    EXPECT_EQ(line.options.probeEveryMs, 250);
    const Faults& faults = line.options.faults;
    EXPECT_TRUE(faults.garbageBetweenFrames && faults.stallPayload && faults.undecodableJpeg &&
                faults.oversizedLength && faults.vanishMidTransfer && faults.throttle);
    EXPECT_EQ(faults.directoryEntries, 80);
    EXPECT_EQ(faults.dropLiveByteEvery, 5);
    EXPECT_EQ(faults.strayBurstEvery, 3);
}

TEST(CommandLine, HelpDocumentsEveryOption) {
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
    EXPECT_TRUE(ParseCommandLine({"-h"}).help);
    EXPECT_TRUE(ParseCommandLine({"--version"}).version);
    EXPECT_FALSE(ParseCommandLine({"--help"}).version);
    const std::string usage = UsageText();
    for (const char* option :
         {"--pictures", "--max-pictures", "--log", "--probe-every", "--garbage", "--stall-payload",
          "--bad-jpeg", "--oversized-length", "--directory-entries", "--vanish-mid-transfer",
          "--throttle", "--drop-live-byte", "--stray-burst", "--help", "--version"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

TEST(CommandLine, RejectsWhatItDoesNotUnderstand) {
    EXPECT_FALSE(ParseCommandLine({"--frobnicate"}).error.empty());
    EXPECT_FALSE(ParseCommandLine({"--pictures"}).error.empty()) << "value missing";
    EXPECT_FALSE(ParseCommandLine({"--pictures", "4x"}).error.empty());
    EXPECT_FALSE(ParseCommandLine({"--pictures", "-1"}).error.empty());
    EXPECT_FALSE(ParseCommandLine({"--probe-every", "0"}).error.empty());
    EXPECT_FALSE(ParseCommandLine({"--directory-entries", "8192"}).error.empty())
        << "8N + 1 must fit the 16-bit length field";
    EXPECT_FALSE(ParseCommandLine({"--pictures", "10", "--max-pictures", "5"}).error.empty());
}

}  // namespace
}  // namespace dm::vm
