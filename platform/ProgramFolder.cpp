#include "platform/ProgramFolder.h"

#include <system_error>

namespace platform {

std::filesystem::path programFolder()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return {};
    }
    return exe.parent_path();
}

} // namespace platform
