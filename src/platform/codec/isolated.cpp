#include "platform/codec/isolated.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TAPPY_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TAPPY_SANITIZED 1
#endif
#endif

namespace codec {
namespace {
// The slowest honest decode (100 megapixels of progressive JPEG) takes a few seconds; a child
// still running after this is stuck.
constexpr unsigned kDecodeSeconds = 20;
// No path in a picture folder is longer; a request claiming more is not one of ours.
constexpr std::uint32_t kMaxRequestPath = 1u << 16;

struct Header {
    std::int32_t width;
    std::int32_t height;
    std::uint32_t opaque;
};

struct Reply {
    std::uint32_t decodes;
    std::uint32_t width;
    std::uint32_t height;
};

// keep: the one descriptor the child talks through, moved to 3; -1 for none.
void LimitChild(pid_t parent, int keep)
{
    // The child shares the parent's open files, the X connection and the one-instance lock
    // among them: while it ran on after the parent was killed, the display would keep the
    // parent's grabs and a new start would find Tappy "already running". It goes with the
    // parent, and it keeps none of those files.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(1);
    if (keep >= 0 && keep != 3 && dup2(keep, 3) != 3)
        _exit(1);
    close_range(keep >= 0 ? 4 : 3, ~0U, 0);
    signal(SIGALRM, SIG_DFL);
    signal(SIGPIPE, SIG_DFL);
#ifndef TAPPY_SANITIZED
    // Sanitizers reserve terabytes of shadow memory, so the cap is left to plain builds: the
    // address space a decode may add to what the child starts with.
    constexpr rlim_t kDecodeAddressSpace = rlim_t{1024} << 20;
    unsigned long pages = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lu", &pages) != 1)
            pages = 0;
        std::fclose(f);
    }
    const rlim_t now = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
    const rlimit limit{now + kDecodeAddressSpace, now + kDecodeAddressSpace};
    setrlimit(RLIMIT_AS, &limit);
#endif
}

bool DecodeHere(const std::string& path, int fitW, int fitH, Picture* out)
{
    const auto file = FileSource::Open(path);
    return file && Decode(*file, fitW, fitH, out);
}

Verdict CheckHere(const std::string& path)
{
    const auto file = FileSource::Open(path);
    Size size;
    if (!file || !Check(*file, &size))
        return {};
    return Verdict{true, size.width, size.height};
}

bool Transfer(int fd, void* data, std::size_t n, bool out)
{
    auto* p = static_cast<char*>(data);
    while (n > 0) {
        const ssize_t got = out ? send(fd, p, n, MSG_NOSIGNAL) : recv(fd, p, n, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

[[noreturn]] void ServeChecks()
{
    for (;;) {
        std::uint32_t n = 0;
        if (!Transfer(3, &n, sizeof n, false) || n == 0 || n > kMaxRequestPath)
            _exit(0);
        std::string path(n, '\0');
        if (!Transfer(3, path.data(), n, false))
            _exit(0);
        alarm(kDecodeSeconds);
        const Verdict v = CheckHere(path);
        alarm(0);
        Reply r{v.decodes, v.width, v.height};
        if (!Transfer(3, &r, sizeof r, true))
            _exit(0);
    }
}

// Waits for the child to end without reaping it, so that its number cannot be taken by a new
// process while the slot still holds it; then lets the slot go and reaps it.
int Reap(pid_t child, ChildSlot* slot)
{
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT) < 0 &&
           errno == EINTR) {
    }
    if (slot)
        slot->Release();
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}
} // namespace

bool ChildSlot::Hold(pid_t child)
{
    std::lock_guard<std::mutex> lock(m_mu);
    if (m_closed) {
        kill(child, SIGKILL);
        return false;
    }
    m_child = child;
    return true;
}

void ChildSlot::Release()
{
    std::lock_guard<std::mutex> lock(m_mu);
    m_child = 0;
}

void ChildSlot::Close()
{
    std::lock_guard<std::mutex> lock(m_mu);
    m_closed = true;
    if (m_child > 0)
        kill(m_child, SIGKILL);
}

bool DecodeIsolated(const std::string& path, int fitW, int fitH, Picture* out, ChildSlot* slot)
{
    if (fitW <= 0 || fitH <= 0 || std::uint64_t(fitW) * std::uint64_t(fitH) > kMaxPixels)
        return false;
    const std::size_t capacity = std::size_t(fitW) * std::size_t(fitH);
    const std::size_t bytes = sizeof(Header) + capacity * 4;
    void* map = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED)
        return false;
    auto* header = static_cast<Header*>(map);
    auto* pixels = reinterpret_cast<std::uint32_t*>(header + 1);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        LimitChild(parent, -1);
        alarm(kDecodeSeconds);
        Picture p;
        if (!DecodeHere(path, fitW, fitH, &p) ||
            std::size_t(p.width) * std::size_t(p.height) > capacity)
            _exit(1);
        header->width = p.width;
        header->height = p.height;
        header->opaque = p.opaque;
        std::memcpy(pixels, p.pixels.data(), p.pixels.size() * 4);
        _exit(0);
    }
    if (pid < 0) {
        munmap(map, bytes);
        return DecodeHere(path, fitW, fitH, out); // no process to spare: decode here
    }
    if (slot)
        slot->Hold(pid); // when closed, the child is killed and the decode fails below
    const int status = Reap(pid, slot);
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && header->width > 0 &&
                    header->height > 0 &&
                    std::size_t(header->width) * std::size_t(header->height) <= capacity;
    if (ok) {
        out->width = header->width;
        out->height = header->height;
        out->opaque = header->opaque != 0;
        out->pixels.assign(pixels, pixels + std::size_t(out->width) * out->height);
    }
    munmap(map, bytes);
    return ok;
}

bool Checker::Start()
{
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return false;
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        LimitChild(parent, fds[1]);
        ServeChecks();
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return false;
    }
    m_child = pid;
    m_fd = fds[0];
    ++m_started;
    if (m_slot && !m_slot->Hold(pid)) {
        m_refused = true;
        Stop();
        return false;
    }
    return true;
}

Verdict Checker::Check(const std::string& path)
{
    if (path.empty() || path.size() > kMaxRequestPath)
        return {};
    if (m_child <= 0 && !Start())
        return m_refused ? Verdict{} : CheckHere(path); // no process to spare: check here
    const auto n = static_cast<std::uint32_t>(path.size());
    Reply r{};
    std::string request(reinterpret_cast<const char*>(&n), sizeof n);
    request += path;
    if (Transfer(m_fd, request.data(), request.size(), true) && Transfer(m_fd, &r, sizeof r, false))
        return Verdict{r.decodes != 0 && WithinBudget(r.width, r.height), r.width, r.height};
    // The file killed it (or the store is shutting down): that file is the one that failed.
    Stop();
    return {};
}

void Checker::Stop()
{
    if (m_child <= 0)
        return;
    kill(m_child, SIGKILL);
    close(m_fd);
    Reap(m_child, m_slot);
    m_child = 0;
    m_fd = -1;
}
} // namespace codec
