#pragma once

#include "platform/IniFile.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

namespace testing_support {

// A program folder of its own for one test: links to the built program
// folder's libadapt.so, morvex-boxsim and CNF/DATA/HELP, so a test may add,
// remove or write files without touching the build tree.
class ScratchProgramFolder {
public:
    explicit ScratchProgramFolder(bool withLibrary = true)
    {
        namespace fs = std::filesystem;
        std::string pattern = (fs::temp_directory_path() / "morvex-app-XXXXXX").string();
        dir_ = ::mkdtemp(pattern.data());
        const fs::path built = MORVEX_PROGRAM_DIR;
        for (const char* name : {"CNF", "DATA", "HELP", "morvex-boxsim"}) {
            fs::create_symlink(built / name, dir_ / name);
        }
        if (withLibrary) {
            fs::create_symlink(built / "libadapt.so", dir_ / "libadapt.so");
        }
    }
    ~ScratchProgramFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    ScratchProgramFolder(const ScratchProgramFolder&) = delete;
    ScratchProgramFolder& operator=(const ScratchProgramFolder&) = delete;

    const std::filesystem::path& path() const { return dir_; }

    void write(const std::string& name, const std::string& text) const
    {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    std::string read(const std::string& name) const
    {
        std::string bytes;
        std::error_code ec;
        platform::readWholeFile(dir_ / name, bytes, ec);
        return bytes;
    }

private:
    std::filesystem::path dir_;
};

} // namespace testing_support
