#include "AtomicOutput.h"

#include <cerrno>
#include <cstdio>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// The temporaries that exist right now, for the signal handler: a slot's path is written before
// the slot is marked in use and the mark cleared before the path is reused, so the handler only
// ever reads complete paths.
constexpr int kSlots = 8;
constexpr std::size_t kPathRoom = 4096;
char gTemps[kSlots][kPathRoom];
volatile std::sig_atomic_t gInUse[kSlots];

extern "C" void removeTempsAndRaise(int sig) {
    for (int i = 0; i < kSlots; ++i)
        if (gInUse[i]) unlink(gTemps[i]);
    struct sigaction dflt {};
    dflt.sa_handler = SIG_DFL;
    sigemptyset(&dflt.sa_mask);
    sigaction(sig, &dflt, nullptr);
    raise(sig);
}

// Installed once, and not over a signal the caller chose to ignore (nohup, background jobs).
void installHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction sa {};
    sa.sa_handler = removeTempsAndRaise;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM}) {
        struct sigaction old {};
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(sig, &sa, nullptr);
    }
}

std::string describe(const std::string& path, const char* what) {
    return path + ": " + what + ": " + std::strerror(errno);
}

}  // namespace

TatomicOutput::TatomicOutput(std::string destination) : fDestination(std::move(destination)) {}

TatomicOutput::~TatomicOutput() { discard(); }

bool TatomicOutput::open(std::string& error) {
    discard();
    const std::size_t slash = fDestination.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : fDestination.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? fDestination : fDestination.substr(slash + 1);
    std::string temp = folder + "." + name + ".tmp-XXXXXX";
    if (name.empty() || temp.size() >= kPathRoom) {
        errno = name.empty() ? EISDIR : ENAMETOOLONG;
        error = describe(fDestination, "cannot write");
        return false;
    }
    int slot = 0;
    while (slot < kSlots && gInUse[slot]) ++slot;
    if (slot == kSlots) {
        errno = EMFILE;
        error = describe(fDestination, "cannot write");
        return false;
    }
    installHandlers();
    // The name is chosen and the file created in one step, so the slot is filled with the final
    // name right after; a signal in between leaves at most one empty hidden file.
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        error = describe(fDestination, "cannot write");
        return false;
    }
    std::memcpy(gTemps[slot], temp.c_str(), temp.size() + 1);
    gInUse[slot] = 1;
    fSlot = slot;
    fTemp = temp;
    // mkstemp makes the file private; give it the mode a plain new file (or the file it replaces)
    // would have.
    const mode_t mask = umask(0);
    umask(mask);
    struct stat st {};
    const mode_t mode = stat(fDestination.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~mask);
    fchmod(fd, mode);
    close(fd);
    return true;
}

bool TatomicOutput::commit(std::string& error) {
    if (fSlot < 0) {
        errno = EBADF;
        error = describe(fDestination, "cannot write");
        return false;
    }
    const int fd = ::open(fTemp.c_str(), O_RDONLY);
    const bool synced = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0) close(fd);
    if (!synced || std::rename(fTemp.c_str(), fDestination.c_str()) != 0) {
        error = describe(fDestination, synced ? "cannot replace" : "write failed");
        discard();
        return false;
    }
    gInUse[fSlot] = 0;
    fSlot = -1;
    fTemp.clear();
    return true;
}

void TatomicOutput::discard() {
    if (fSlot < 0) return;
    gInUse[fSlot] = 0;
    unlink(fTemp.c_str());
    fSlot = -1;
    fTemp.clear();
}
