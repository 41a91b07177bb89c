#include "platform/Process.h"

#include <cerrno>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace process {

namespace {

sigset_t Interruptions() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

std::vector<Argument> ProgramArguments(int argc, char** argv) {
    std::vector<Argument> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back({argv[i]});
    return arguments;
}

bool PrepareStandardStreams() {
    bool outputOpen = true;
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        if (fd == 1) outputOpen = false;
        open("/dev/null", O_RDWR);  // takes the lowest free descriptor: fd
    }
    // A reader that went away is a failed write, not the end of the process
    // (which would leave a temporary file behind).
    std::signal(SIGPIPE, SIG_IGN);
    return outputOpen;
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

void CatchInterruptions(Interruption& interruption) {
    // Every thread started after this one has them blocked too, so the
    // watcher below is the only one that takes them.
    const sigset_t set = Interruptions();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([&interruption, set] {
        for (int signal = 0; sigwait(&set, &signal) == 0;) {
            if (interruption.requested) {
                interruption.abandoned = true;
                continue;
            }
            interruption.signal = signal;
            interruption.requested = true;
        }
    }).detach();
}

void EndInterrupted(const Interruption& interruption) {
    const int signal = interruption.signal;
    std::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signal);
    _exit(128 + signal);  // only if the signal was ignored when we started
}

}  // namespace process
