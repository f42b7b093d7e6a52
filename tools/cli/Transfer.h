#pragma once

#include "Commands.h"

#include <optional>
#include <string>
#include <vector>

namespace cli {

// The serial set-up and what to transfer, from the command line.
struct LinkOptions {
    std::string device;      // --port PATH, or COM n's device
    uint32_t baud = 19200;   // --baud
    uint32_t timeoutMs = 250; // --timeout: the read time-out per byte
    std::string what = "all"; // --what fuel|function|ignition|index|all
    double seconds = 10.0;   // online --seconds
    std::vector<std::pair<uint16_t, uint8_t>> writes; // online --set address=value
};

// Parses the options common to the transfer commands from `args` (after the
// command's own positional arguments are taken out). Returns an error text.
std::optional<std::string> parseLinkOptions(std::vector<std::string>& args, LinkOptions& options);

int receive(const Context& ctx, const LinkOptions& link, const std::filesystem::path& out);
int send(const Context& ctx, const LinkOptions& link, const std::filesystem::path& file);
// Reads the box's tables and lists where they differ from `file`: exit 0
// when the box holds what the file holds, 1 when not, 2 when the file or
// the box could not be read.
int verify(const Context& ctx, const LinkOptions& link, const std::filesystem::path& file);
int online(const Context& ctx, const LinkOptions& link);
int info(const Context& ctx, const LinkOptions& link);
int diag(const Context& ctx, const LinkOptions& link, int command);

} // namespace cli
