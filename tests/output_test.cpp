// SPDX-License-Identifier: BSD-2-Clause
// A saved banner is replaced whole or not at all, keeps its permissions, and leaves no
// temporary file behind; what cannot be replaced is written in place. Real files, real
// directories and, as root, a real full filesystem.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#ifdef __FreeBSD__
#include <libutil.h>  // forkpty
#else
#include <pty.h>
#endif
#include <pwd.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "output.h"
#include "support.h"

namespace fs = std::filesystem;

namespace {

const std::string program = CELLPAINT_BINARY;

std::string banner_image(const std::string &dir, const char *size = "90x30")
{
    return made_by_convert_in(dir, "banner.png",
                              std::string("-seed 5 -size ") + size + " plasma:fractal");
}

// Every name in the directory: a temporary file left behind shows here.
std::vector<std::string> names_in(const std::string &dir)
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct stat status_of(const std::string &path)
{
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info;
}

mode_t current_umask()
{
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

}  // namespace

TEST(output, a_regular_file_is_replaced_whole_with_its_permissions)
{
    std::string dir = scratch_dir();
    std::string image = banner_image(dir);
    std::string expected = run_on_pty({image}, {40, 10}).out;
    struct {
        const char *why;
        std::string old_text;  // empty: no file yet
        mode_t mode;
    } cases[] = {
        {"an old banner", "old banner\n", 0640},
        {"a banner others may read", "old banner\n", 0644},
        {"a file only its owner may write", "x", 0600},
        {"a new file gets what the umask leaves", "", 0666 & ~current_umask()},
    };
    for (const auto &c : cases) {
        std::string motd = dir + "/motd";
        fs::remove(motd);
        ino_t old_inode = 0;
        if (!c.old_text.empty()) {
            write_file(motd, c.old_text);
            chmod(motd.c_str(), c.mode);
            old_inode = status_of(motd).st_ino;
        }
        program_result result = run_on_pty({image, motd}, {40, 10});
        EXPECT_EQ(result.status, 0) << c.why << result.err;
        EXPECT_EQ(read_file(motd), expected) << c.why;
        struct stat now = status_of(motd);
        EXPECT_EQ(now.st_mode & 07777, c.mode) << c.why;
        if (old_inode) {
            EXPECT_NE(now.st_ino, old_inode) << c.why << ": written in place";
        }
        EXPECT_EQ(names_in(dir), (std::vector<std::string>{"banner.png", "motd"})) << c.why;
    }
}

TEST(output, a_link_stays_a_link_and_its_file_is_replaced)
{
    std::string dir = scratch_dir();
    std::string image = banner_image(dir);
    fs::create_directories(dir + "/real");
    write_file(dir + "/real/motd", "old\n");
    chmod((dir + "/real/motd").c_str(), 0604);
    fs::create_symlink("real/motd", dir + "/link");
    fs::create_symlink("link", dir + "/link-to-link");
    program_result result = run_on_pty({image, dir + "/link-to-link"}, {40, 10});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(S_ISLNK(status_of(dir + "/link").st_mode));
    EXPECT_TRUE(S_ISLNK(status_of(dir + "/link-to-link").st_mode));
    EXPECT_EQ(read_file(dir + "/real/motd"), run_on_pty({image}, {40, 10}).out);
    EXPECT_EQ(status_of(dir + "/real/motd").st_mode & 07777, 0604u);
    EXPECT_EQ(names_in(dir + "/real"), std::vector<std::string>{"motd"});
}

// As root the old file's owner and group are kept too.
TEST(output, root_keeps_the_old_files_owner)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another owner";
    const passwd *nobody = getpwnam("nobody");
    if (!nobody)
        GTEST_SKIP() << "no user nobody";
    std::string dir = scratch_dir();
    std::string motd = dir + "/motd";
    write_file(motd, "old\n");
    ASSERT_EQ(chown(motd.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    program_result result = run_on_pty({banner_image(dir), motd}, {40, 10});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(status_of(motd).st_uid, nobody->pw_uid);
    EXPECT_EQ(status_of(motd).st_gid, nobody->pw_gid);
}

TEST(output, what_is_not_a_regular_file_is_written_in_place)
{
    std::string dir = scratch_dir();
    std::string image = banner_image(dir);
    std::string expected = run_on_pty({image}, {40, 10}).out;
    // A FIFO: opened here for reading and writing, so that the program's open does not wait.
    std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int reader = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    program_result result = run_on_pty({image, fifo}, {40, 10});
    EXPECT_EQ(result.status, 0) << result.err;
    std::string received(expected.size() + 100, '\0');
    ssize_t n = read(reader, &received[0], received.size());
    close(reader);
    received.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    EXPECT_EQ(received, expected);
    EXPECT_TRUE(S_ISFIFO(status_of(fifo).st_mode));

    EXPECT_EQ(run_on_pty({image, "/dev/null"}, {40, 10}).status, 0);
    // Standard output named as a file: the text arrives where standard output goes.
    EXPECT_EQ(run_on_pty({image, "/dev/stdout"}, {40, 10}).out, expected);
    if (fs::exists("/proc/self/fd/1")) {  // not where /proc is not mounted
        EXPECT_EQ(run_on_pty({image, "/proc/self/fd/1"}, {40, 10}).out, expected);
    }
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{"banner.png", "fifo"}));
}

// A user's own /etc/motd in a directory only root may change: written in place.
TEST(output, a_writable_file_in_a_closed_directory_is_written_in_place)
{
    std::string dir = scratch_dir();
    std::string image = banner_image(dir);
    std::string expected = run_on_pipe({image}).out;  // run with no terminal, as below
    std::string closed = dir + "/etc", motd = closed + "/motd";
    fs::create_directories(closed);
    write_file(motd, "old banner, longer than nothing\n");
    std::string runner;
    if (geteuid() == 0) {
        // Root writes anywhere: the program runs as nobody, who owns only the file.
        const passwd *nobody = getpwnam("nobody");
        if (!nobody || std::system("command -v setpriv >/dev/null") != 0)
            GTEST_SKIP() << "needs the user nobody and setpriv to run without root";
        ASSERT_EQ(chown(motd.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        // The way to the file, but not the image, which comes on standard input.
        chmod(fs::path(dir).parent_path().c_str(), 0711);
        chmod(dir.c_str(), 0711);
        runner = "setpriv --reuid=" + std::to_string(nobody->pw_uid) +
                 " --regid=" + std::to_string(nobody->pw_gid) + " --clear-groups ";
    }
    chmod(closed.c_str(), 0555);
    ino_t inode = status_of(motd).st_ino;
    std::string command = runner + "'" + program + "' /dev/stdin '" + motd + "' <'" + image + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    chmod(closed.c_str(), 0755);
    EXPECT_EQ(read_file(motd), expected);
    EXPECT_EQ(status_of(motd).st_ino, inode);
    EXPECT_EQ(names_in(closed), std::vector<std::string>{"motd"});
}

// The disk fills while the new banner is written, or has no room left for a new file:
// the old banner is kept byte for byte, and nothing else is left.
TEST(output, a_full_filesystem_keeps_the_old_banner)
{
#ifndef __linux__
    GTEST_SKIP() << "a small tmpfs is mounted only on Linux";
#else
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small filesystem needs root";
    std::string dir = scratch_dir();
    std::string image = banner_image(dir, "960x540");
    struct {
        const char *why;
        const char *options;  // of the tmpfs
        const char *error;
    } cases[] = {
        {"the blocks run out while writing", "size=64k", "couldn't write output file"},
        {"no inode is left for a new file", "size=1m,nr_inodes=8", "couldn't open output file"},
    };
    for (const auto &c : cases) {
        std::string small = dir + "/small";
        fs::create_directories(small);
        if (mount("tmpfs", small.c_str(), "tmpfs", 0, c.options) != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here";
        std::string motd = small + "/motd", old_banner(20000, '#');
        write_file(motd, old_banner);
        // Fill what is left: files until no inode is free, then blocks but for 8 KiB,
        // so that the new text fits only in part.
        for (int i = 0; i < 16; ++i)
            write_file(small + "/filler" + std::to_string(i),
                       i == 0 ? std::string(64 * 1024, 'x') : "");
        if (fs::file_size(small + "/filler0") > 8192)
            fs::resize_file(small + "/filler0", fs::file_size(small + "/filler0") - 8192);
        std::vector<std::string> before = names_in(small);
        program_result result = run_on_pty({image, motd}, {240, 67});
        std::vector<std::string> after = names_in(small);
        std::string kept = read_file(motd);
        umount(small.c_str());
        EXPECT_EQ(result.status, 2) << c.why;
        EXPECT_EQ(result.err, program + ": " + c.error + " " + motd + "\n") << c.why;
        EXPECT_EQ(kept, old_banner) << c.why;
        EXPECT_EQ(after, before) << c.why;
    }
#endif
}

// "cellpaint a.png b.png" from a user who expected two pictures: b.png stays a picture.
TEST(output, a_picture_is_never_written_over)
{
    std::string dir = scratch_dir();
    std::string image = banner_image(dir);
    struct {
        const char *why;
        const char *name;  // made by convert from the banner, so really that format
    } pictures[] = {
        {"PNG", "old.png"},
        {"JPEG", "old.jpg"},
        {"GIF", "old.gif"},
        {"WebP", "old.webp"},
        {"TIFF", "old.tif"},
        {"BMP", "old.bmp"},
        {"icon", "old.ico"},
        {"Photoshop", "old.psd"},
        {"portable pixmap", "old.ppm"},
        {"portable bitmap", "old.pbm"},
        {"a picture under a text's name", "png:motd"},
    };
    for (const auto &c : pictures) {
        std::string path = made_by_convert_in(dir, c.name, image + " -resize 32x32");
        std::string before = read_file(path);
        program_result result = run_on_pty({image, path}, {40, 10});
        EXPECT_EQ(result.status, 2) << c.why;
        EXPECT_EQ(result.err, program + ": won't write over the picture " + path +
                                  " (remove it first, or name another output file)\n")
            << c.why;
        EXPECT_EQ(read_file(path), before) << c.why;
    }
    // Through a link too; and nothing was left beside any of them.
    fs::create_symlink("old.png", dir + "/link");
    EXPECT_EQ(run_on_pty({image, dir + "/link"}, {40, 10}).status, 2);
    for (const std::string &name : names_in(dir))
        EXPECT_NE(name[0], '.') << name;
}

// Text, however it begins, is a banner to replace; a signature needs its whole shape.
TEST(output, only_picture_signatures_count)
{
    using namespace std::string_literals;
    struct {
        const char *why;
        std::string head;
        bool picture;
    } cases[] = {
        {"one of our banners", "\x1b[38;5;16m\xe2\x96\x80", false},
        {"a banner with a margin", "    \x1b[48;5;231m ", false},
        {"a text that starts like a bitmap", "BMW owners: the car park is closed today\n", false},
        {"a text that starts like a bitmap's magic", "P1 maintenance window at noon\n", false},
        {"an empty file", "", false},
        {"a truncated PNG signature", "\x89PNG\r\n", false},
        {"PNG", "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR"s, true},
        {"JPEG", "\xff\xd8\xff\xe0\0\x10JFIF"s, true},
        {"WebP", "RIFF\x24\0\0\0WEBPVP8 "s, true},
        {"a RIFF that is no WebP", "RIFF\x24\0\0\0WAVEfmt "s, false},
        {"a Windows bitmap", "BM\x36\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0"s, true},
        {"AVIF",
         "\0\0\0\x1c"
         "ftypavif\0\0\0\0"s,
         true},
        {"an MP4 video",
         "\0\0\0\x1c"
         "ftypisom\0\0\0\0"s,
         false},
        {"a plain graymap", "P2\n# made by hand\n2 2\n"s, true},
        {"a P and a digit before binary bytes", "P5\0 \x01\x02"s, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(has_picture_signature(c.head), c.picture) << c.why;
}

namespace {

// Starts the program on a pty that takes long to fill, and gives its pid.
pid_t start_long_write(const std::string &image, const std::string &output)
{
    winsize window{};
    window.ws_col = 3000;
    window.ws_row = 1500;
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, &window);
    if (pid == 0) {
        // As from a shell: the tests ignore SIGPIPE, and an ignored signal stays ignored.
        for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
            signal(signal_number, SIG_DFL);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        execl(program.c_str(), program.c_str(), "-p", image.c_str(), output.c_str(),
              static_cast<char *>(nullptr));
        _exit(127);
    }
    return pid;
}

std::string temporary_in(const std::string &dir)
{
    for (const std::string &name : names_in(dir))
        if (name.rfind(".motd.", 0) == 0)
            return name;
    return "";
}

}  // namespace

// Ctrl-C, kill, a closed terminal or a closed pipe while the new banner is being written.
TEST(output, a_signal_leaves_the_old_banner_and_no_temporary_file)
{
    std::string dir = scratch_dir();
    std::string image = banner_image(dir, "64x64");
    std::string motd = dir + "/motd";
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        write_file(motd, "old banner\n");
        pid_t pid = start_long_write(image, motd);
        ASSERT_GT(pid, 0);
        // The file is made once the picture is read and scaled; the write takes seconds.
        for (int tries = 0; tries < 20000 && temporary_in(dir).empty(); ++tries)
            usleep(1000);
        bool writing = !temporary_in(dir).empty();
        kill(pid, signal_number);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(writing) << strsignal(signal_number) << ": no temporary file was seen";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number)
            << strsignal(signal_number) << ": status " << status;
        EXPECT_TRUE(read_file(motd) == "old banner\n") << strsignal(signal_number);
        EXPECT_EQ(names_in(dir), (std::vector<std::string>{"banner.png", "motd"}))
            << strsignal(signal_number);
    }
}
