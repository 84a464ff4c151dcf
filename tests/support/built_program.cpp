// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/built_program.h"

#include <cstdlib>
#include <filesystem>

namespace dm::test {

std::string BuiltProgram(const std::string& name) {
    const char* binaryDir = std::getenv("DM_BINARY_DIR");
    if (binaryDir != nullptr && binaryDir[0] != '\0') {
        return std::string(binaryDir) + "/" + name;
    }
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : (self.parent_path().parent_path() / name).string();
}

}  // namespace dm::test
