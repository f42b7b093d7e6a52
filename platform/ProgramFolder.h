#pragma once

#include <filesystem>

namespace platform {

// The folder of the running program file (CNF, DATA and HELP lie beside
// it); empty when it cannot be determined.
std::filesystem::path programFolder();

} // namespace platform
