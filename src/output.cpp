// SPDX-License-Identifier: BSD-2-Clause
#include "output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

static bool starts_with(const std::string &text, const char *prefix)
{
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

static std::string directory_of(const std::string &path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links to the file they name, so that a link stays a link. False for
// a path through /dev or /proc: it names a file this process has open (/dev/stdout,
// /proc/self/fd/3), whose other writers would lose a replaced file.
static bool follow_links(std::string &path)
{
    for (int hops = 0; hops < 40; ++hops) {
        if (starts_with(path, "/dev/") || starts_with(path, "/proc/"))
            return false;
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return true;
        std::vector<char> link(static_cast<std::size_t>(info.st_size) + 256);
        ssize_t length = readlink(path.c_str(), link.data(), link.size());
        if (length < 0 || static_cast<std::size_t>(length) >= link.size())
            return false;
        std::string next(link.data(), static_cast<std::size_t>(length));
        path = !next.empty() && next[0] == '/' ? next : directory_of(path) + "/" + next;
    }
    return false;  // a loop of links: opening the name reports it
}

static mode_t creation_mode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// The old file's permissions, and as root its owner, or what a new file would get.
static bool take_permissions(int fd, const std::string &target)
{
    struct stat old {};
    if (stat(target.c_str(), &old) != 0)
        return errno == ENOENT && fchmod(fd, creation_mode()) == 0;
    if (geteuid() == 0 && fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    return fchmod(fd, old.st_mode & 07777) == 0;
}

// A new file beside the target; false when the directory takes none.
static bool open_temporary(output_file &output)
{
    std::string base = output.target.substr(output.target.rfind('/') + 1);
    std::string pattern = directory_of(output.target) + "/." + base + ".XXXXXX";
    int fd = mkstemp(&pattern[0]);
    if (fd < 0)
        return false;
    output.temporary = pattern;
    if (take_permissions(fd, output.target) && (output.stream = fdopen(fd, "w")))
        return true;
    int error = errno;
    close(fd);
    unlink(pattern.c_str());
    output.temporary.clear();
    errno = error;
    return false;
}

static bool replaceable(std::string &target)
{
    if (!follow_links(target))
        return false;
    struct stat info {};
    return stat(target.c_str(), &info) != 0 ? errno == ENOENT : S_ISREG(info.st_mode) != 0;
}

// Where no new file may be made beside it (a user's own /etc/motd in root's /etc), the
// file is written in place; a full disk, though, would then cost the old text.
static bool may_write_in_place(int error)
{
    return error == EACCES || error == EPERM || error == EROFS || error == ENAMETOOLONG;
}

output_file open_output(const std::string &name)
{
    output_file output;
    output.target = name;
    if (name.empty())
        output.stream = stdout;
    else if (!replaceable(output.target) || (!open_temporary(output) && may_write_in_place(errno)))
        output.stream = std::fopen(name.c_str(), "w");
    // Whole lines of escape sequences: one write per buffer, not one per cell.
    static char buffer[1 << 16];
    if (output.stream)
        std::setvbuf(output.stream, buffer, _IOFBF, sizeof buffer);
    return output;
}

// The rename is on disk only once the directory is.
static void sync_directory(const std::string &path)
{
    int fd = open(directory_of(path).c_str(), O_RDONLY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

bool finish_output(output_file &output)
{
    // A write error may show only when the buffer is flushed, synced or closed.
    bool ok = std::fflush(output.stream) == 0 && !std::ferror(output.stream);
    if (!output.temporary.empty())
        ok = fsync(fileno(output.stream)) == 0 && ok;
    if (output.stream != stdout)
        ok = std::fclose(output.stream) == 0 && ok;
    output.stream = nullptr;
    if (output.temporary.empty())
        return ok;
    if (ok && std::rename(output.temporary.c_str(), output.target.c_str()) == 0) {
        sync_directory(output.target);
        return true;
    }
    unlink(output.temporary.c_str());
    return false;
}

void abandon_output(output_file &output)
{
    if (output.stream == stdout)
        std::fflush(stdout);
    else
        std::fclose(output.stream);
    output.stream = nullptr;
    if (!output.temporary.empty())
        unlink(output.temporary.c_str());
}
