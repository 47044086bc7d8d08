// SPDX-License-Identifier: BSD-2-Clause
#include "support.h"

#include <fcntl.h>
#ifdef __FreeBSD__
#include <libutil.h>  // forkpty
#else
#include <pty.h>
#endif
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "magick.h"
#include "match.h"
#include "palette.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void exec_program(const std::vector<std::string> &args, int stdin_fd, int stderr_fd)
{
    dup2(stdin_fd, 0);
    dup2(stderr_fd, 2);
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(CELLPAINT_BINARY));
    for (const auto &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

// Feeds stdin and drains stdout and stderr until both close, within a time limit.
void pump(pid_t pid, int in_fd, const std::string &stdin_data, int out_fd, int err_fd,
          program_result &result)
{
    std::size_t written = 0;
    if (stdin_data.empty()) {
        close(in_fd);
        in_fd = -1;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (out_fd >= 0 || err_fd >= 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            throw std::runtime_error("program did not finish");
        }
        pollfd fds[3] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}, {in_fd, POLLOUT, 0}};
        poll(fds, 3, 1000);
        char buffer[65536];
        int *read_fds[2] = {&out_fd, &err_fd};
        std::string *sinks[2] = {&result.out, &result.err};
        for (int i = 0; i < 2; ++i) {
            if (*read_fds[i] < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            ssize_t n = read(*read_fds[i], buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {  // EOF, or EIO on the pty once the program has gone
                close(*read_fds[i]);
                *read_fds[i] = -1;
            }
        }
        if (in_fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t n = write(in_fd, stdin_data.data() + written, stdin_data.size() - written);
            if (n > 0)
                written += static_cast<std::size_t>(n);
            if (n <= 0 || written == stdin_data.size()) {
                close(in_fd);
                in_fd = -1;
            }
        }
    }
    if (in_fd >= 0)
        close(in_fd);
}

void wait_for(pid_t pid, program_result &result)
{
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.max_rss_kib = usage.ru_maxrss;
    auto seconds = [](timeval t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    result.cpu_seconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

program_result run(const std::vector<std::string> &args, const terminal_cells *size,
                   const std::string &stdin_data)
{
    signal(SIGPIPE, SIG_IGN);
    int in[2], err[2], out[2] = {-1, -1};
    // Close-on-exec, so that the program holds no stray end and sees end of input.
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0 ||
        (!size && pipe2(out, O_CLOEXEC) != 0))
        throw std::runtime_error("pipe failed");
    program_result result;
    pid_t pid;
    int out_fd;
    if (size) {
        // Raw, so that the line discipline leaves the program's bytes as they are.
        termios mode{};
        cfmakeraw(&mode);
        winsize window{};
        window.ws_col = static_cast<unsigned short>(size->columns);
        window.ws_row = static_cast<unsigned short>(size->lines);
        pid = forkpty(&out_fd, nullptr, &mode, &window);
    } else {
        pid = fork();
        out_fd = out[0];
        if (pid == 0)
            dup2(out[1], 1);
    }
    if (pid < 0)
        throw std::runtime_error(size ? "no pseudo-terminal (is /dev/pts mounted?)"
                                      : "fork failed");
    if (pid == 0)
        exec_program(args, in[0], err[1]);
    close(in[0]);
    close(err[1]);
    if (!size)
        close(out[1]);
    pump(pid, in[1], stdin_data, out_fd, err[0], result);
    wait_for(pid, result);
    return result;
}

}  // namespace

program_result run_on_pty(const std::vector<std::string> &args, terminal_cells size,
                          const std::string &stdin_data)
{
    return run(args, &size, stdin_data);
}

program_result run_on_pipe(const std::vector<std::string> &args, const std::string &stdin_data)
{
    return run(args, nullptr, stdin_data);
}

std::string scratch_dir()
{
    // Removed when the test process ends.
    static const struct scratch_root {
        fs::path path;
        scratch_root()
        {
            char pattern[] = "/tmp/cellpaint-test-XXXXXX";
            path = mkdtemp(pattern);
        }
        ~scratch_root() { fs::remove_all(path); }
    } root;
    static int counter = 0;
    fs::path dir = root.path / std::to_string(++counter);
    fs::create_directories(dir);
    return dir.string();
}

void write_image(const std::string &path, unsigned width, unsigned height,
                 const std::vector<rgba> &pixels)
{
    MagickWandGenesis();
    MagickWand *wand = NewMagickWand();
    bool ok = MagickConstituteImage(wand, width, height, "RGBA", CharPixel, pixels.data()) &&
              MagickWriteImage(wand, path.c_str());
    DestroyMagickWand(wand);
    if (!ok)
        throw std::runtime_error("cannot write " + path);
}

std::string made_by_convert_in(const std::string &dir, const std::string &name,
                               const std::string &arguments)
{
    std::string path = dir + "/" + name;
    std::string command = "convert " + arguments + " '" + path + "'";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("failed: " + command);
    return path;
}

std::string be32(std::uint32_t v)
{
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string png_chunk(const std::string &type, const std::string &data)
{
    std::string body = type + data;
    auto crc =
        crc32(0, reinterpret_cast<const Bytef *>(body.data()), static_cast<uInt>(body.size()));
    return be32(static_cast<std::uint32_t>(data.size())) + body +
           be32(static_cast<std::uint32_t>(crc));
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write_file(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

palette_scope::palette_scope(match_mode mode, double weight)
{
    matching_mode = mode;
    chroma_weight = weight;
    if (!build_palette_table())
        throw std::runtime_error("out of memory");
}

palette_scope::~palette_scope()
{
    release_palette_table();
    matching_mode = match_mode::rgb;
    chroma_weight = 1.0;
}
