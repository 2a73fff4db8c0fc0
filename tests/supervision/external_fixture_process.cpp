// A stand-in for the processes of a dev server, for the external-process tests.
//
//   external_fixture_process [--group] [--name NAME] [--chdir DIR] [--listen 4|6:low|any]...
//                            [ CHILD ARGUMENTS ] [ CHILD ARGUMENTS ]...
//
// Each process renames itself (the name the kernel shows), changes folder, listens on loopback
// ports ("low": a free port below the temporary range, as a dev server asked for one; "any":
// port 0, picked by the system), starts one child per bracketed argument list, prints
// "proc PID PPID NAME PORT..." on one line, and waits. On SIGTERM it terminates and reaps its
// children before it exits, so that no orphan is left behind.

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

volatile sig_atomic_t terminateRequested = 0;

void onTerminate(int)
{
    terminateRequested = 1;
}

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "external_fixture_process: %s: %s\n", what, std::strerror(errno));
    std::_Exit(3);
}

int listenOn(const std::string& wanted)
{
    const bool v6 = wanted.rfind("6:", 0) == 0;
    const bool low = wanted.size() > 2 && wanted.substr(2) == "low";
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        fail("socket");
    // "low": walk up from a pid-dependent start below 32768 until a port is free.
    const int first = low ? 20000 + int(::getpid() % 8000) : 0;
    for (int port = first; port < (low ? first + 4000 : 1); ++port) {
        int result = -1;
        if (v6) {
            sockaddr_in6 address{};
            address.sin6_family = AF_INET6;
            address.sin6_addr = in6addr_loopback;
            address.sin6_port = htons(uint16_t(port));
            result = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        } else {
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(uint16_t(port));
            result = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
        if (result == 0) {
            if (::listen(fd, 8) != 0)
                fail("listen");
            sockaddr_storage bound{};
            socklen_t length = sizeof bound;
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
            return v6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                      : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
        }
    }
    fail("bind");
}

} // namespace

int main(int argc, char** argv)
{
    // Never outlive the test: if the parent dies, so does this process.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    struct sigaction action
    {};
    action.sa_handler = onTerminate;
    ::sigaction(SIGTERM, &action, nullptr);
    sigset_t blocked, waiting;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &blocked, &waiting);
    sigdelset(&waiting, SIGTERM);

    std::string name;
    std::vector<std::string> listens;
    std::vector<std::vector<std::string>> children;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--group") {
            ::setpgid(0, 0);
        } else if (arg == "--name" && i + 1 < argc) {
            name = argv[++i];
        } else if (arg == "--chdir" && i + 1 < argc) {
            if (::chdir(argv[++i]) != 0)
                fail("chdir");
        } else if (arg == "--listen" && i + 1 < argc) {
            listens.push_back(argv[++i]);
        } else if (arg == "[") {
            std::vector<std::string> child;
            int depth = 1;
            for (++i; i < argc; ++i) {
                const std::string part = argv[i];
                depth += part == "[" ? 1 : part == "]" ? -1 : 0;
                if (depth == 0)
                    break;
                child.push_back(part);
            }
            children.push_back(child);
        } else {
            std::fprintf(stderr, "external_fixture_process: unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    if (!name.empty())
        ::prctl(PR_SET_NAME, name.c_str());

    std::string line = "proc " + std::to_string(::getpid()) + " " + std::to_string(::getppid()) +
                       " " + (name.empty() ? std::string("-") : name);
    for (const std::string& wanted : listens)
        line += " " + std::to_string(listenOn(wanted));
    line += "\n";

    std::vector<pid_t> pids;
    for (const std::vector<std::string>& child : children) {
        std::vector<char*> childArgv{argv[0]};
        for (const std::string& part : child)
            childArgv.push_back(const_cast<char*>(part.c_str()));
        childArgv.push_back(nullptr);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
        pid_t pid = 0;
        if (posix_spawn(&pid, "/proc/self/exe", nullptr, &attributes, childArgv.data(), environ) !=
            0)
            fail("posix_spawn");
        posix_spawnattr_destroy(&attributes);
        pids.push_back(pid);
    }

    // Reported once its children run: from here on the process sits idle. One write of a
    // short line: lines of processes sharing the pipe never interleave.
    if (::write(STDOUT_FILENO, line.data(), line.size()) != ssize_t(line.size()))
        fail("write");

    while (!terminateRequested)
        ::sigsuspend(&waiting);
    for (pid_t pid : pids)
        ::kill(pid, SIGTERM);
    for (pid_t pid : pids)
        ::waitpid(pid, nullptr, 0);
    return 0;
}
