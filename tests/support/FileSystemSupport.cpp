#include "FileSystemSupport.h"

#include "documents/FileNames.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <thread>

namespace quillet::test {

ScopedFileSizeLimit::ScopedFileSizeLimit(rlim_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous_);
    struct rlimit lowered = previous_;
    lowered.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lowered);
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
}

bool MakeCharDevice(const QString& path, unsigned major, unsigned minor) {
    return mknod(EncodeFileName(path).constData(), S_IFCHR | 0666, makedev(major, minor)) == 0;
}

bool MakeFifo(const QString& path) {
    return mkfifo(EncodeFileName(path).constData(), 0666) == 0;
}

bool MakeSocket(const QString& path) {
    const QByteArray name = EncodeFileName(path);
    struct sockaddr_un address {};
    if (size_t(name.size()) >= sizeof(address.sun_path)) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const bool made =
        fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    if (fd >= 0) close(fd);
    return made;
}

char FileType(const QString& path) {
    struct stat info {};
    if (lstat(EncodeFileName(path).constData(), &info) != 0) return '?';
    switch (info.st_mode & S_IFMT) {
        case S_IFREG:
            return '-';
        case S_IFDIR:
            return 'd';
        case S_IFLNK:
            return 'l';
        case S_IFCHR:
            return 'c';
        case S_IFIFO:
            return 'p';
        case S_IFSOCK:
            return 's';
        default:
            return 'b';
    }
}

unsigned FileMode(const QString& path) {
    struct stat info {};
    stat(EncodeFileName(path).constData(), &info);
    return info.st_mode & 07777;
}

QStringList Entries(const QString& folder) {
    QStringList names;
    if (DIR* dir = opendir(EncodeFileName(folder).constData())) {
        while (const dirent* entry = readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..") names << DecodeFileName(name);
        }
        closedir(dir);
    }
    names.sort();
    return names;
}

struct FifoReader::State {
    QByteArray name;
    QByteArray bytes;
    std::atomic<bool> done{false};
    std::thread thread;
};

FifoReader::FifoReader(const QString& path) : state_(new State) {
    state_->name = EncodeFileName(path);
    state_->thread = std::thread([state = state_] {
        const int fd = open(state->name.constData(), O_RDONLY);
        char buffer[4096];
        ssize_t got;
        while (fd >= 0 && (got = read(fd, buffer, sizeof buffer)) > 0) {
            state->bytes.append(buffer, got);
        }
        if (fd >= 0) close(fd);
        state->done = true;
    });
}

FifoReader::~FifoReader() {
    bytes();
    delete state_;
}

QByteArray FifoReader::bytes() {
    // When no writer came, the reader still waits to open the FIFO: be its writer.
    while (state_->thread.joinable() && !state_->done) {
        const int fd = open(state_->name.constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            close(fd);
            break;
        }
        usleep(10000);
    }
    if (state_->thread.joinable()) state_->thread.join();
    return state_->bytes;
}

std::optional<QByteArray> InChildAsNobody(const std::function<QByteArray()>& body) {
    int channel[2];
    if (pipe(channel) != 0) return std::nullopt;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        const QByteArray answer = body();
        const bool sent =
            write(channel[1], answer.constData(), size_t(answer.size())) == ssize_t(answer.size());
        _exit(sent ? 0 : 3);
    }
    close(channel[1]);
    if (child < 0) {
        close(channel[0]);
        return std::nullopt;
    }
    QByteArray answer;
    char buffer[4096];
    ssize_t got;
    while ((got = read(channel[0], buffer, sizeof buffer)) > 0) answer.append(buffer, got);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return answer;
}

}  // namespace quillet::test
