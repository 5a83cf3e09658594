#include "FileSystemSupport.h"

#include "documents/FileNames.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

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

mode_t FileMode(const QString& path) {
    struct stat info {};
    return lstat(EncodeFileName(path).constData(), &info) == 0 ? info.st_mode : 0;
}

std::optional<QByteArray> InChildAsNobody(const std::function<QByteArray()>& body) {
    int channel[2];
    if (pipe(channel) != 0) return std::nullopt;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        const QByteArray answer = body();
        _exit(write(channel[1], answer.constData(), size_t(answer.size())) == answer.size() ? 0
                                                                                            : 3);
    }
    close(channel[1]);
    QByteArray answer;
    char buffer[4096];
    ssize_t got;
    while (child > 0 && (got = read(channel[0], buffer, sizeof buffer)) > 0) {
        answer.append(buffer, got);
    }
    close(channel[0]);
    int status = -1;
    if (child < 0 || waitpid(child, &status, 0) != child || status != 0) return std::nullopt;
    return answer;
}

}  // namespace quillet::test
