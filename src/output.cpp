// SPDX-License-Identifier: BSD-2-Clause
#include "output.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

// The temporary file's name, where a signal handler can reach it without allocating.
static char pending_name[PATH_MAX];
static volatile sig_atomic_t pending = 0;

// The signals that end a run at a terminal or in a pipeline.
static const int ending_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

static void remove_pending_and_end(int signal_number)
{
    if (pending)
        unlink(pending_name);
    // The handler was reset on entry: the signal now ends the process as it would have.
    raise(signal_number);
}

static void catch_ending_signals()
{
    static bool caught = false;
    if (caught)
        return;
    caught = true;
    for (int signal_number : ending_signals) {
        struct sigaction action {
        }, previous{};
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        if (sigaction(signal_number, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN)
            continue;
        action.sa_handler = remove_pending_and_end;
        action.sa_flags = static_cast<int>(SA_RESETHAND | SA_NODEFER);
        sigemptyset(&action.sa_mask);
        sigaction(signal_number, &action, nullptr);
    }
}

// Made with the ending signals held, so that no signal comes between the file and its name.
static int make_pending_file(const std::string &pattern)
{
    if (pattern.size() >= sizeof pending_name) {
        errno = ENAMETOOLONG;
        return -1;
    }
    catch_ending_signals();
    sigset_t held, previous;
    sigemptyset(&held);
    for (int signal_number : ending_signals)
        sigaddset(&held, signal_number);
    sigprocmask(SIG_BLOCK, &held, &previous);
    std::memcpy(pending_name, pattern.c_str(), pattern.size() + 1);
    int fd = mkstemp(pending_name);
    int error = errno;
    pending = fd >= 0;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return fd;
}

// Removed before it is forgotten, so that a signal in between finds nothing left to do.
static void remove_pending()
{
    unlink(pending_name);
    pending = 0;
}

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
    int fd = make_pending_file(directory_of(output.target) + "/." + base + ".XXXXXX");
    if (fd < 0)
        return false;
    output.temporary = pending_name;
    if (take_permissions(fd, output.target) && (output.stream = fdopen(fd, "w")))
        return true;
    int error = errno;
    close(fd);
    remove_pending();
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

static bool bytes_at(std::string_view head, std::size_t offset, std::string_view bytes)
{
    return head.size() >= offset + bytes.size() && head.substr(offset, bytes.size()) == bytes;
}

// A header size that only a Windows bitmap's info header has, after "BM", two reserved
// zero words and the pixel offset: "BM" alone begins too many texts.
static bool is_bitmap(std::string_view head)
{
    static const unsigned char header_sizes[] = {12, 40, 52, 56, 64, 108, 124};
    if (!bytes_at(head, 0, "BM") || !bytes_at(head, 6, std::string_view("\0\0\0\0", 4)) ||
        !bytes_at(head, 15, std::string_view("\0\0\0", 3)))
        return false;
    for (unsigned char size : header_sizes)
        if (static_cast<unsigned char>(head[14]) == size)
            return true;
    return false;
}

// "P1" to "P6", white space and the width (or a comment): "P1 text" is no picture.
static bool is_portable_anymap(std::string_view head)
{
    return head.size() >= 4 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6' &&
           std::isspace(static_cast<unsigned char>(head[2])) &&
           (std::isdigit(static_cast<unsigned char>(head[3])) || head[3] == '#' ||
            std::isspace(static_cast<unsigned char>(head[3])));
}

// The ISO base media formats of still pictures: HEIF, HEIC and AVIF.
static bool is_heif(std::string_view head)
{
    static const char *const brands[] = {"heic", "heix", "hevc", "mif1", "msf1", "avif", "avis"};
    if (!bytes_at(head, 4, "ftyp"))
        return false;
    for (const char *brand : brands)
        if (bytes_at(head, 8, brand))
            return true;
    return false;
}

bool has_picture_signature(const std::string &bytes)
{
    using namespace std::string_view_literals;
    static const std::string_view starts[] = {"\x89PNG\r\n\x1a\n"sv,
                                              "\xff\xd8\xff"sv,
                                              "GIF87a"sv,
                                              "GIF89a"sv,
                                              "II*\0"sv,
                                              "MM\0*"sv,
                                              "II+\0"sv,
                                              "MM\0+"sv,
                                              "\0\0\1\0"sv,
                                              "\0\0\2\0"sv,
                                              "8BPS"sv,
                                              "\xff\x4f\xff\x51"sv,
                                              "\0\0\0\x0cjP  \r\n\x87\n"sv,
                                              "\xff\x0a"sv,
                                              "\0\0\0\x0cJXL \r\n\x87\n"sv,
                                              "qoif"sv,
                                              "\x76\x2f\x31\x01"sv,
                                              "farbfeld"sv,
                                              "id=ImageMagick"sv,
                                              "#?RADIANCE"sv,
                                              "#?RGBE"sv,
                                              "gimp xcf"sv,
                                              "DDS "sv,
                                              "P7\n"sv,
                                              "\x59\xa6\x6a\x95"sv,
                                              "\x01\xda"sv};
    std::string_view head = bytes;
    for (std::string_view start : starts)
        if (bytes_at(head, 0, start))
            return true;
    return (bytes_at(head, 0, "RIFF") && bytes_at(head, 8, "WEBP")) || is_bitmap(head) ||
           is_portable_anymap(head) || is_heif(head);
}

// Only the first bytes, and only of a regular file: a FIFO or a device is no picture,
// and reading one could block or take what another reader is waiting for.
static bool names_a_picture(const std::string &name)
{
    struct stat info {};
    if (stat(name.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    int fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char head[32];
    ssize_t length = read(fd, head, sizeof head);
    close(fd);
    return length > 0 && has_picture_signature(std::string(head, static_cast<std::size_t>(length)));
}

output_file open_output(const std::string &name)
{
    output_file output;
    output.target = name;
    if (name.empty())
        output.stream = stdout;
    else if (names_a_picture(name))
        output.is_picture = true;
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
        pending = 0;
        sync_directory(output.target);
        return true;
    }
    remove_pending();
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
        remove_pending();
}
