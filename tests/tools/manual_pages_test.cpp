// SPDX-License-Identifier: GPL-3.0-or-later
// The manual pages and the programs' --help name the same options.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "support/built_program.h"

namespace dm {
namespace {

std::string HelpOf(const std::string& program, const std::string& command = {}) {
    const std::string shell =
        test::BuiltProgram(program) + (command.empty() ? "" : " " + command) + " --help 2>&1";
    const std::string& command_line = shell;
    std::string text;
    if (FILE* pipe = ::popen(command_line.c_str(), "r")) {
        std::array<char, 4096> chunk{};
        while (const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe)) {
            text.append(chunk.data(), n);
        }
        ::pclose(pipe);
    }
    return text;
}

bool IsOptionCharacter(char c) {
    return (c >= 'a' && c <= 'z') || c == '-';
}

// Every "--name" in the text (name: lower-case letters and dashes).
std::set<std::string> LongOptions(const std::string& text) {
    std::set<std::string> options;
    for (std::size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at)) {
        std::size_t end = at + 2;
        while (end < text.size() && IsOptionCharacter(text[end])) {
            ++end;
        }
        if (end > at + 2 && text[at + 2] != '-') {
            options.insert(text.substr(at + 2, end - at - 2));
        }
        at = end;
    }
    return options;
}

// In roff a dash is written \-; the page's options read as --name once unescaped.
std::string ManualPage(const std::string& program) {
    std::ifstream file(std::string(DM_SOURCE_TREE) + "/packaging/man/" + program + ".1");
    std::stringstream page;
    page << file.rdbuf();
    std::string text = page.str();
    for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at)) {
        text.erase(at, 1);
    }
    return text;
}

TEST(ManualPages, NameEveryOptionOfTheProgramsHelpAndNoOther) {
    for (const std::string program : {"digital-microscope", "virtual-microscope"}) {
        SCOPED_TRACE(program);
        const std::set<std::string> help = LongOptions(HelpOf(program));
        ASSERT_FALSE(help.empty()) << "no --help output";
        const std::string page = ManualPage(program);
        ASSERT_FALSE(page.empty()) << "no manual page";
        // Options the page names that are not the program's own (-platform of Qt) are
        // written with a single dash and do not count.
        EXPECT_EQ(LongOptions(page), help);
    }
}

// The command line's help is split by command: the page names the options of them all.
TEST(ManualPages, NameEveryOptionOfTheCommandLinesHelps) {
    const std::string program = "digital-microscope-cli";
    std::set<std::string> help = LongOptions(HelpOf(program));
    for (const char* command :
         {"ports", "list", "download", "snapshot", "upload", "delete", "key"}) {
        const std::set<std::string> own = LongOptions(HelpOf(program, command));
        ASSERT_TRUE(own.count("help")) << command << ": no --help output";
        help.insert(own.begin(), own.end());
    }
    const std::string page = ManualPage(program);
    ASSERT_FALSE(page.empty()) << "no manual page";
    EXPECT_EQ(LongOptions(page), help);
}

}  // namespace
}  // namespace dm
