// The manual pages and the programs' --help name the same options.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace dm {
namespace {

std::string BuildFolder() {
    const char* binaryDir = std::getenv("DM_BINARY_DIR");
    if (binaryDir != nullptr && binaryDir[0] != '\0') {
        return binaryDir;
    }
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.parent_path().parent_path().string();
}

std::string HelpOf(const std::string& program) {
    const std::string command = BuildFolder() + "/" + program + " --help 2>&1";
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> chunk{};
        while (const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe)) {
            text.append(chunk.data(), n);
        }
        ::pclose(pipe);
    }
    return text;
}

std::set<std::string> LongOptions(const std::string& text) {
    std::set<std::string> options;
    const std::regex option(R"(--([a-z][a-z-]*))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it) {
        options.insert((*it)[1].str());
    }
    return options;
}

// In roff a dash is written \-; the page's options read as --name once unescaped.
std::string ManualPage(const std::string& program) {
    std::ifstream file(std::string(DM_SOURCE_TREE) + "/packaging/man/" + program + ".1");
    std::stringstream text;
    text << file.rdbuf();
    return std::regex_replace(text.str(), std::regex(R"(\\-)"), "-");
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

}  // namespace
}  // namespace dm
