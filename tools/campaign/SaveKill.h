#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>

namespace morvex {
class CAppCore;
}

namespace campaign {

// What a data file was after the editor's save was killed.
struct SaveKillCounts {
    int kills = 0;                         // saves killed by SIGKILL
    int endedFirst = 0;                    // saves that were done before the signal came
    int oldFile = 0;                       // the file as before the save
    int newFile = 0;                       // the file as the save writes it
    int torn = 0;                          // anything else, or no file at all
    int strayTemps = 0;                    // temporary files left beside it (a killed process cannot remove them)
    std::chrono::microseconds saveTime{0}; // median of an undisturbed save
};

// Saves a parameter set over another one in a child process `count` times
// and kills the child at a random moment of the save (uniform over its
// measured duration). `dir` is emptied first.
SaveKillCounts runSaveKills(morvex::CAppCore& core, const std::filesystem::path& dir, int count, uint32_t seed);

} // namespace campaign
