#include "platform/IniFile.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

namespace fs = std::filesystem;

std::error_code lastError()
{
    return {errno, std::system_category()};
}

// Follows symbolic links, so that the rename replaces the file a link
// points to and the link itself stays. A missing file ends the chain.
bool resolveLinks(fs::path path, fs::path& target, std::error_code& ec)
{
    constexpr int kMaxHops = 40; // the kernel's limit
    for (int hop = 0; hop < kMaxHops; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT) {
                ec = lastError();
                return false;
            }
            target = path;
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            target = path;
            return true;
        }
        const fs::path link = fs::read_symlink(path, ec);
        if (ec)
            return false;
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    return false;
}

// Permission bits of the file being replaced; a new file gets 0644 whatever
// the umask says, as the Windows program's files are readable by everyone.
bool modeFor(const fs::path& target, mode_t& mode, std::error_code& ec)
{
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 0777;
        return true;
    }
    if (errno != ENOENT) {
        ec = lastError();
        return false;
    }
    mode = 0644;
    return true;
}

bool writeAll(int fd, std::string_view bytes, std::error_code& ec)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ec = n < 0 ? lastError() : std::make_error_code(std::errc::io_error);
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

int fsyncRetrying(int fd)
{
    int rc = 0;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

// Makes the rename itself durable. A folder that cannot be opened for
// reading or a file system without directory sync is no failure: the
// rename is done either way.
bool syncDirectory(const fs::path& dir, std::error_code& ec)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return true;
    const int rc = fsyncRetrying(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0 && error != EINVAL && error != ENOTSUP) {
        ec = std::error_code(error, std::system_category());
        return false;
    }
    return true;
}

// ".NAME.tmp-": the temp files of a target carry the writer's process id
// after it, so that one left by a killed save can be told from one that a
// running save is writing.
std::string tempPrefix(const fs::path& target)
{
    return "." + target.filename().string() + ".tmp-";
}

// Removes the temp files of `target` that a save killed before its rename
// left behind: their writer is gone and they are older than any save takes.
// A file whose writer still runs (or whose id was reused) stays.
void removeStaleTemps(const fs::path& target)
{
    constexpr auto kOlderThan = std::chrono::minutes(1);
    const std::string prefix = tempPrefix(target);
    std::error_code ec;
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::string rest = name.substr(prefix.size());
        const std::size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string::npos || rest.find_first_not_of("0123456789") != dash) {
            continue; // not a name this program gives
        }
        const long pid = std::strtol(rest.c_str(), nullptr, 10);
        if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)) {
            continue;
        }
        std::error_code timeError;
        const auto written = fs::last_write_time(it->path(), timeError);
        if (timeError || fs::file_time_type::clock::now() - written < kOlderThan) {
            continue;
        }
        fs::remove(it->path(), timeError);
    }
}

// The temp file is removed unless it was renamed into place, also when a
// hook stops the write: a stopped write leaves no litter behind.
class TempFile {
public:
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    explicit TempFile(const fs::path& target)
        : path_((target.parent_path() / (tempPrefix(target) + std::to_string(::getpid()) + "-XXXXXX")).string())
    {
        fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
    }
    ~TempFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!renamed_ && fd_ != kNotCreated)
            ::unlink(path_.c_str());
    }

    bool created() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    bool close(std::error_code& ec)
    {
        const int rc = ::close(fd_);
        fd_ = kClosed;
        if (rc != 0 && errno != EINTR) {
            ec = lastError();
            return false;
        }
        return true;
    }

    bool renameTo(const fs::path& target, std::error_code& ec)
    {
        if (::rename(path_.c_str(), target.c_str()) != 0) {
            ec = lastError();
            return false;
        }
        renamed_ = true;
        return true;
    }

private:
    static constexpr int kNotCreated = -1;
    static constexpr int kClosed = -2;
    std::string path_;
    int fd_ = kNotCreated;
    bool renamed_ = false;
};

bool writeTemp(TempFile& temp, std::string_view bytes, mode_t mode, std::error_code& ec)
{
    if (::fchmod(temp.fd(), mode) != 0) {
        ec = lastError();
        return false;
    }
    if (!writeAll(temp.fd(), bytes, ec))
        return false;
    if (fsyncRetrying(temp.fd()) != 0) {
        ec = lastError();
        return false;
    }
    return temp.close(ec);
}

} // namespace

bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::error_code& ec,
                         const AtomicWriteHooks* hooks)
{
    ec.clear();
    fs::path target;
    mode_t mode = 0;
    if (!resolveLinks(path, target, ec) || !modeFor(target, mode, ec))
        return false;
    if (target.filename().empty()) {
        ec = std::make_error_code(std::errc::is_a_directory);
        return false;
    }

    TempFile temp(target.parent_path().empty() ? fs::path(".") / target : target);
    if (!temp.created()) {
        ec = lastError();
        return false;
    }
    if (!writeTemp(temp, bytes, mode, ec))
        return false;
    if (hooks && hooks->afterTempWritten && !hooks->afterTempWritten()) {
        ec = std::make_error_code(std::errc::interrupted);
        return false;
    }
    if (!temp.renameTo(target, ec))
        return false;
    removeStaleTemps(target);
    return syncDirectory(fs::path(temp.path()).parent_path(), ec);
}

bool readWholeFile(const std::filesystem::path& path, std::string& bytes, std::error_code& ec)
{
    ec.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        ec = lastError();
        return false;
    }
    std::string data;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        data.reserve(static_cast<std::size_t>(st.st_size));
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ec = lastError();
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        data.append(buffer.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    bytes = std::move(data);
    return true;
}

} // namespace platform
