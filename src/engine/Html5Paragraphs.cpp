// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Html5Paragraphs.h"

#include "engine/DocumentMode.h"
#include "engine/Html5HelperExit.h"
#include "engine/NestingDepth.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#else
#include "engine/ParagraphEnds.h"
#include "engine/ParseArena.h"
#endif

namespace quillet {

namespace {

/// The UTF-8 length of the character at `i`, which takes `units` 16-bit units: 1 or 2
/// (a surrogate pair). A lone surrogate is written as U+FFFD.
inline int Utf8Width(QStringView text, qsizetype i, int& units) {
    const char16_t c = text[i].unicode();
    units = 1;
    if (c < 0x80) return 1;
    if (c < 0x800) return 2;
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        units = 2;
        return 4;
    }
    return 3;
}

/// Bytes of UTF-8 for the first `units` units of `text`.
qsizetype Utf8Size(QStringView text, qsizetype units) {
    qsizetype bytes = 0;
    int width = 1;
    for (qsizetype i = 0; i < units; i += width) bytes += Utf8Width(text, i, width);
    return bytes;
}

/// Writes the text as UTF-8, character for character, to `out`, which has room for
/// Utf8Size(text, text.size()) bytes: a lone surrogate becomes U+FFFD. Returns the end of
/// what it wrote.
char* WriteUtf8(QStringView text, char* out) {
    int units = 1;
    for (qsizetype i = 0; i < text.size(); i += units) {
        const char32_t c = text[i].unicode();
        switch (Utf8Width(text, i, units)) {
            case 1:
                *out++ = char(c);
                break;
            case 2:
                *out++ = char(0xC0 | (c >> 6));
                *out++ = char(0x80 | (c & 0x3F));
                break;
            case 3: {
                const char32_t v = QChar::isSurrogate(c) ? 0xFFFD : c;
                *out++ = char(0xE0 | (v >> 12));
                *out++ = char(0x80 | ((v >> 6) & 0x3F));
                *out++ = char(0x80 | (v & 0x3F));
                break;
            }
            default: {
                const char32_t v = QChar::surrogateToUcs4(text[i], text[i + 1]);
                *out++ = char(0xF0 | (v >> 18));
                *out++ = char(0x80 | ((v >> 12) & 0x3F));
                *out++ = char(0x80 | ((v >> 6) & 0x3F));
                *out++ = char(0x80 | (v & 0x3F));
                break;
            }
        }
    }
    return out;
}

/// Prepares the parser's UTF-8 input in `bytes`: the parser strips no byte-order mark and
/// misjudges the mode of some declarations, so both give way to what leads it to the mode
/// that ReadDocumentStart decided: spaces (no declaration, so quirks mode) or the plain
/// declaration of an HTML5 page. `begin` and `length` are the declaration's bytes.
void LeadToMode(char* bytes, const DocumentStart& start, qsizetype begin, qsizetype length) {
    if (start.byteOrderMark) std::memset(bytes, ' ', 3);
    if (length <= 0) return;
    char* doctype = bytes + begin;
    std::memset(doctype, ' ', size_t(length));
    // A declaration that leaves quirks mode names "html", so it has room for this.
    constexpr QByteArrayView kPlain = "<!DOCTYPE html";
    if (start.mode != DocumentMode::Quirks && length > kPlain.size()) {
        std::memcpy(doctype, kPlain.data(), kPlain.size());
        doctype[length - 1] = '>';
    } else if (start.mode != DocumentMode::Quirks && length == kPlain.size()) {
        std::memcpy(doctype, "<!DOCTYPEhtml>", kPlain.size());
    }
}

/// The beginning of the parser's input that differs from the page's UTF-8 (see
/// LeadToMode): up to the end of the declaration or of the byte-order mark.
QByteArray ParserInputStart(QByteArrayView utf8) {
    const DocumentStart start = ReadDocumentStart(utf8);
    QByteArray bytes =
        utf8.first(std::max<qsizetype>(start.doctypeEnd, start.byteOrderMark ? 3 : 0))
            .toByteArray();
    LeadToMode(bytes.data(), start, start.doctypeBegin, start.doctypeEnd - start.doctypeBegin);
    return bytes;
}
QByteArray ParserInputStart(QStringView text) {
    const DocumentStart start = ReadDocumentStart(text);
    const QStringView changed =
        text.first(std::max<qsizetype>(start.doctypeEnd, start.byteOrderMark ? 1 : 0));
    QByteArray bytes(Utf8Size(changed, changed.size()), Qt::Uninitialized);
    WriteUtf8(changed, bytes.data());
    const qsizetype begin = Utf8Size(text, start.doctypeBegin);
    LeadToMode(bytes.data(), start, begin, Utf8Size(text, start.doctypeEnd) - begin);
    return bytes;
}

/// For ascending byte offsets in the UTF-8 form of `text` (each at the start of a
/// character), the offsets of the same characters in `text`.
QList<qint64> Utf16Offsets(QStringView text, const std::vector<qint64>& byteOffsets) {
    QList<qint64> offsets;
    offsets.reserve(qsizetype(byteOffsets.size()));
    qsizetype bytes = 0;
    qsizetype i = 0;
    int units = 1;
    for (const qint64 target : byteOffsets) {
        for (; bytes < target && i < text.size(); i += units) bytes += Utf8Width(text, i, units);
        offsets.append(i);
    }
    return offsets;
}

/// `n` (not negative) with its digits grouped by threes: 200,000.
QString Grouped(qint64 n) {
    QString digits = QString::number(n);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, u',');
    return digits;
}

QString TooDeep(qsizetype depth, qsizetype most) {
    return QStringLiteral(
               "the page is nested too deeply for the HTML5 rules (%1 levels; the parser "
               "reads at most %2)")
        .arg(Grouped(depth), Grouped(most));
}

/// The folder of the running program.
QString ProgramFolder() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
#ifdef Q_OS_LINUX
    // Without an application object (the tests), the system knows it.
    const QString program = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (!program.isEmpty()) return QFileInfo(program).absolutePath();
#endif
    return QDir::currentPath();
}

}  // namespace

Html5Limits Html5Limits::ForPage(qint64 bytes) {
    constexpr qint64 kMegabyte = qint64(1) << 20;
    Html5Limits limits;
    limits.depth = kMostHtml5Depth;
    limits.cpu = std::chrono::seconds(10 + 2 * ((bytes + kMegabyte - 1) / kMegabyte));
    limits.wall = 2 * limits.cpu;
    // The parser's tree takes 10 to 90 bytes for each byte of the page (an ordinary page
    // about 10, a page of nothing but short tags with many attributes the most).
    limits.memory = 512 * kMegabyte + 128 * bytes;
#ifdef Q_OS_UNIX
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) {
        limits.memory = std::min(limits.memory, qint64(pages) * pageSize);
    }
#endif
    return limits;
}

QString Html5HelperPath() {
    const QDir folder(ProgramFolder());
    const QString beside = folder.filePath(QLatin1StringView(kHtml5HelperName));
    if (QFileInfo(beside).isFile()) return beside;
    return QDir::cleanPath(folder.filePath(QStringLiteral(QUILLET_INSTALLED_HELPER_DIR "/") +
                                           QLatin1StringView(kHtml5HelperName)));
}

struct Html5Parse::Job {
    QString text;
    QByteArrayView utf8;  // the text, when it came as UTF-8
    bool isUtf8 = false;
    Html5ParseSettings settings;

    std::mutex mutex;
    std::condition_variable doneChanged;
    bool done = false;
    bool cancelled = false;
    qint64 child = 0;  // the helper while it has not been reaped
    QList<qint64> ends;
    QString error;

    void run();
    void finish(bool parsed, QList<qint64> found);
#ifdef Q_OS_UNIX
    bool parse(int page, qint64 size, const Html5Limits& limits, std::vector<qint64>* offsets);
    bool start(const QString& helper, int page, int answer, const Html5Limits& limits);
    /// The helper's answer, read from `answer` up to its end; `killed` tells why the
    /// helper was killed meanwhile, if it was.
    enum class Killed { No, TimedOut, Overflowed };
    QByteArray collect(int answer, qint64 most, const Html5Limits& limits, Killed* killed);
    bool explain(int status, const rusage& usage, bool timedOut, const Html5Limits& limits);
    /// Waits for the helper to end, if there is one; its wait status and resource use.
    int reap(rusage* usage);
#endif
};

void Html5Parse::Job::finish(bool parsed, QList<qint64> found) {
    {
        const std::lock_guard lock(mutex);
        ends = std::move(found);
        if (parsed) error.clear();
        if (!parsed && error.isEmpty()) error = QStringLiteral("the parse was stopped");
        done = true;
    }
    doneChanged.notify_all();
}

#ifdef Q_OS_UNIX
namespace {

/// The parser's input: the page in UTF-8 in a file of its own in memory, which the helper
/// maps, so that the page is copied once, by the system, and read in place.
class PageFile {
  public:
    PageFile() = default;
    ~PageFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    int fd() const { return fd_; }

    /// Writes `text` into the file, then `start` over its beginning; false with `error`
    /// set when the system refused.
    bool write(QByteArrayView text, QByteArrayView start, QString* error) {
        return open() && append(text) && overwrite(start) ? true : fail(error);
    }
    /// The same with a 16-bit text, written as UTF-8 a piece at a time.
    bool write(QStringView text, QByteArrayView start, QString* error) {
        if (!open()) return fail(error);
        constexpr qsizetype kPiece = qsizetype(1) << 16;
        QByteArray buffer(3 * (kPiece + 1), Qt::Uninitialized);
        for (qsizetype at = 0; at < text.size();) {
            qsizetype end = std::min(at + kPiece, text.size());
            // A surrogate pair stays whole.
            if (end < text.size() && text[end - 1].isHighSurrogate() &&
                text[end].isLowSurrogate()) {
                ++end;
            }
            const char* written = WriteUtf8(text.sliced(at, end - at), buffer.data());
            if (!append(QByteArrayView(buffer.constData(), written - buffer.constData()))) {
                return fail(error);
            }
            at = end;
        }
        return overwrite(start) ? true : fail(error);
    }

  private:
    bool open() {
#ifdef Q_OS_LINUX
        fd_ = ::memfd_create("quillet-page", MFD_CLOEXEC);
#else
        QByteArray name = QFile::encodeName(QDir::tempPath()) + "/quillet-page-XXXXXX";
        fd_ = ::mkstemp(name.data());
        if (fd_ >= 0) {
            ::unlink(name.constData());
            ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
        }
#endif
        return fd_ >= 0;
    }
    bool append(QByteArrayView bytes) {
        const char* from = bytes.data();
        for (qsizetype left = bytes.size(); left > 0;) {
            const ssize_t written = ::write(fd_, from, size_t(left));
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return false;
            from += written;
            left -= written;
        }
        return true;
    }
    /// Writes `bytes` over the file's beginning, and leaves the file at its start for the
    /// helper to read.
    bool overwrite(QByteArrayView bytes) {
        if (!bytes.isEmpty() &&
            ::pwrite(fd_, bytes.data(), size_t(bytes.size()), 0) != ssize_t(bytes.size())) {
            return false;
        }
        return ::lseek(fd_, 0, SEEK_SET) == 0;
    }
    static bool fail(QString* error) {
        *error = QStringLiteral("the page could not be handed to the HTML5 parser: %1")
                     .arg(qt_error_string());
        return false;
    }

    int fd_ = -1;
};

/// The helper's answer: one offset a line, ascending and within the page, then "end".
bool ReadAnswer(const QByteArray& answer, qint64 size, std::vector<qint64>* offsets) {
    constexpr QByteArrayView kEnd = "end\n";
    if (!answer.endsWith(kEnd)) return false;
    const char* at = answer.constData();
    const char* const end = at + answer.size() - kEnd.size();
    qint64 last = -1;
    while (at < end) {
        qint64 offset = 0;
        const auto [next, failure] = std::from_chars(at, end, offset);
        if (failure != std::errc() || next == end || *next != '\n' || offset <= last ||
            offset >= size) {
            return false;
        }
        offsets->push_back(offset);
        last = offset;
        at = next + 1;
    }
    return true;
}

}  // namespace

void Html5Parse::Job::run() {
    const qint64 size = isUtf8 ? utf8.size() : Utf8Size(text, text.size());
    const Html5Limits limits = settings.limits.value_or(Html5Limits::ForPage(size));
    // A page nested too deeply would hold the parser up for minutes or hours: its depth is
    // estimated while the page is written for the helper, and it is refused before the
    // helper starts.
    qsizetype depth = 0;
    std::thread scan([this, &depth] {
        depth = isUtf8 ? EstimateNestingDepth(utf8) : EstimateNestingDepth(text);
    });
    PageFile page;
    QString failure;
    const bool written = isUtf8 ? page.write(utf8, ParserInputStart(utf8), &failure)
                                : page.write(text, ParserInputStart(text), &failure);
    scan.join();
    if (limits.depth > 0 && depth > limits.depth) {
        error = TooDeep(depth, limits.depth);
        return finish(false, {});
    }
    if (!written) {
        error = failure;
        return finish(false, {});
    }
    std::vector<qint64> offsets;
    const bool parsed = parse(page.fd(), size, limits, &offsets);
    QList<qint64> found;
    if (parsed) {
        found =
            isUtf8 ? QList<qint64>(offsets.begin(), offsets.end()) : Utf16Offsets(text, offsets);
    }
    finish(parsed, std::move(found));
    // The caller goes on while the helper gives back its memory.
    rusage usage{};
    reap(&usage);
}

bool Html5Parse::Job::parse(int page, qint64 size, const Html5Limits& limits,
                            std::vector<qint64>* offsets) {
    const QString helper = settings.helper.isEmpty() ? Html5HelperPath() : settings.helper;
    if (!QFileInfo::exists(helper)) {
        error = QStringLiteral("the HTML5 parser helper %1 is missing")
                    .arg(QDir::toNativeSeparators(helper));
        return false;
    }
    int answer[2];
    if (::pipe2(answer, O_CLOEXEC) != 0) {
        error = QStringLiteral("the HTML5 parser could not be started: %1").arg(qt_error_string());
        return false;
    }
    const bool started = start(helper, page, answer[1], limits);
    ::close(answer[1]);
    if (!started) {
        ::close(answer[0]);
        return false;
    }
    // The answer has a line of at most 20 digits for each offset, and the offsets are tags
    // at least three bytes apart; more means a helper gone astray.
    Killed killed = Killed::No;
    const QByteArray data = collect(answer[0], 21 * (size / 3 + 1) + 8, limits, &killed);
    ::close(answer[0]);
    // A complete answer ends the parse; the helper is reaped later, while the caller goes
    // on.
    if (killed == Killed::No && ReadAnswer(data, size, offsets)) return true;
    offsets->clear();
    rusage usage{};
    const int status = reap(&usage);
    if (killed != Killed::Overflowed &&
        explain(status, usage, killed == Killed::TimedOut, limits)) {
        return false;
    }
    error = QStringLiteral("the HTML5 parser helper %1 gave an answer that cannot be read")
                .arg(QDir::toNativeSeparators(helper));
    return false;
}

bool Html5Parse::Job::start(const QString& helper, int page, int answer,
                            const Html5Limits& limits) {
    // The helper reads the page as its standard input and answers on its standard output;
    // it starts with the signals at their defaults, whatever this program ignores.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGPIPE, SIGXCPU, SIGXFSZ, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    // In a process group of its own, so that Ctrl+C at a terminal reaches the program,
    // which decides whether to stop, and not the helper of a page it would finish.
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    // The helper's standard streams are made of these, so neither may be one of them
    // already (a program started without them).
    const int input = page > STDERR_FILENO ? page : ::fcntl(page, F_DUPFD_CLOEXEC, 3);
    const int output = answer > STDERR_FILENO ? answer : ::fcntl(answer, F_DUPFD_CLOEXEC, 3);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);

    const QByteArray program = QFile::encodeName(helper);
    const QByteArray cpu = QByteArray::number(qint64(limits.cpu.count()));
    const QByteArray memory = QByteArray::number(limits.memory);
    const char* const arguments[] = {program.constData(), "--cpu-seconds",    cpu.constData(),
                                     "--memory-bytes",    memory.constData(), nullptr};
    int result = 0;
    {
        // Started under the lock, so that a stop kills what was started.
        const std::lock_guard lock(mutex);
        if (!cancelled) {
            pid_t pid = 0;
            result = posix_spawn(&pid, program.constData(), &actions, &attributes,
                                 const_cast<char* const*>(arguments), environ);
            if (result == 0) child = pid;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (input != page) ::close(input);
    if (output != answer) ::close(output);
    if (result == ENOENT) {
        error = QStringLiteral("the HTML5 parser helper %1 is missing")
                    .arg(QDir::toNativeSeparators(helper));
    } else if (result != 0) {
        error = QStringLiteral("the HTML5 parser helper %1 could not be started: %2")
                    .arg(QDir::toNativeSeparators(helper), qt_error_string(result));
    }
    return result == 0 && child > 0;
}

QByteArray Html5Parse::Job::collect(int answer, qint64 most, const Html5Limits& limits,
                                    Killed* killed) {
    // Read until the helper closes its end, which it does when it ends, however it ends;
    // one that takes too long, or answers without end, is killed. After the kill the end
    // closes at once, unless something the helper started holds it: that is not waited for.
    using Clock = std::chrono::steady_clock;
    const auto kKillGrace = std::chrono::seconds(2);
    Clock::time_point deadline =
        limits.wall.count() > 0 ? Clock::now() + limits.wall : Clock::time_point::max();
    const auto kill = [&](Killed why) {
        const std::lock_guard lock(mutex);
        if (child > 0) ::kill(pid_t(child), SIGKILL);
        *killed = why;
        deadline = Clock::now() + kKillGrace;
    };
    QByteArray data;
    for (;;) {
        int wait = -1;
        if (deadline != Clock::time_point::max()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            wait = int(std::clamp<qint64>(left.count(), 0, 1 << 30));
        }
        pollfd ready{answer, POLLIN, 0};
        const int polled = ::poll(&ready, 1, wait);
        if (polled < 0 && errno == EINTR) continue;
        if (polled == 0 && *killed != Killed::No) break;
        if (polled == 0) {
            kill(Killed::TimedOut);
            continue;
        }
        char buffer[1 << 16];
        const ssize_t got = ::read(answer, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        data.append(buffer, got);
        if (data.size() > most && *killed == Killed::No) kill(Killed::Overflowed);
    }
    return data;
}

bool Html5Parse::Job::explain(int status, const rusage& usage, bool timedOut,
                              const Html5Limits& limits) {
    const std::lock_guard lock(mutex);
    if (cancelled) return true;
    const qint64 cpuUsed = qint64(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec;
    const bool signalled = WIFSIGNALED(status);
    const int signal = signalled ? WTERMSIG(status) : 0;
    if (timedOut) {
        error = QStringLiteral("the HTML5 parser took too long (no answer within %1 s)")
                    .arg(std::chrono::duration<double>(limits.wall).count());
    } else if (signal == SIGXCPU || (signal == SIGKILL && cpuUsed >= limits.cpu.count())) {
        error = QStringLiteral("the HTML5 parser took too long (more than %1 s of processor time)")
                    .arg(limits.cpu.count());
    } else if (signal == SIGKILL) {
        // What the system does to a process that takes more memory than there is.
        error = QStringLiteral(
                    "the HTML5 parser was stopped on this page (signal %1), perhaps for want "
                    "of memory")
                    .arg(SIGKILL);
    } else if (signalled) {
        error = QStringLiteral("the HTML5 parser failed on this page (it stopped on signal %1)")
                    .arg(signal);
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == kHelperNoMemory) {
        error = QStringLiteral("the HTML5 parser ran out of memory on this page");
        if (limits.memory > 0) {
            error += QStringLiteral(" (it may take %1 MB)").arg(Grouped(limits.memory >> 20));
        }
    } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        error = QStringLiteral("the HTML5 parser ended without a result (exit status %1)")
                    .arg(WEXITSTATUS(status));
        if (WEXITSTATUS(status) == kHelperUsage)
            error += QStringLiteral(": it was started wrongly");
    } else {
        return false;
    }
    return true;
}

int Html5Parse::Job::reap(rusage* usage) {
    pid_t pid = 0;
    {
        const std::lock_guard lock(mutex);
        pid = pid_t(child);
    }
    if (pid <= 0) return 0;
    // Waited for without being reaped, so that a stop can still kill it meanwhile: once
    // reaped, its number may go to another process, and no kill() may follow.
    siginfo_t info{};
    while (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    {
        const std::lock_guard lock(mutex);
        child = 0;
    }
    int status = 0;
    while (::wait4(pid, &status, 0, usage) < 0 && errno == EINTR) {
    }
    return status;
}

#else
void Html5Parse::Job::run() {
    // Where no helper can be started, the parser runs here, in this process.
    QByteArray bytes;
    if (isUtf8) {
        bytes = utf8.toByteArray();
    } else {
        bytes.resize(Utf8Size(text, text.size()));
        WriteUtf8(text, bytes.data());
    }
    const QByteArray start = isUtf8 ? ParserInputStart(utf8) : ParserInputStart(text);
    std::memcpy(bytes.data(), start.constData(), size_t(start.size()));
    const Html5Limits limits = settings.limits.value_or(Html5Limits::ForPage(bytes.size()));
    const qsizetype depth = EstimateNestingDepth(bytes);
    if (limits.depth > 0 && depth > limits.depth) {
        error = TooDeep(depth, limits.depth);
        return finish(false, {});
    }
    ParseArena arena;
    const std::pmr::vector<qsizetype> ends = FindParagraphEnds(bytes, arena);
    const std::vector<qint64> offsets(ends.begin(), ends.end());
    finish(true,
           isUtf8 ? QList<qint64>(offsets.begin(), offsets.end()) : Utf16Offsets(text, offsets));
}
#endif

Html5Parse::Html5Parse(QString text, Html5ParseSettings settings) : job_(std::make_shared<Job>()) {
    job_->text = std::move(text);
    job_->settings = std::move(settings);
    start();
}

Html5Parse::Html5Parse(QByteArrayView utf8, Html5ParseSettings settings)
    : job_(std::make_shared<Job>()) {
    job_->utf8 = utf8;
    job_->isUtf8 = true;
    job_->settings = std::move(settings);
    start();
}

void Html5Parse::start() {
    thread_ = std::thread([job = job_] { job->run(); });
}

Html5Parse::~Html5Parse() {
    {
        const std::lock_guard lock(job_->mutex);
        job_->cancelled = true;
#ifdef Q_OS_UNIX
        if (job_->child > 0) ::kill(pid_t(job_->child), SIGKILL);
#endif
    }
    thread_.join();
}

bool Html5Parse::wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(job_->mutex);
    return job_->doneChanged.wait_for(lock, timeout, [this] { return job_->done; });
}

bool Html5Parse::takeResult(QList<qint64>* ends, QString* error) {
    const std::lock_guard lock(job_->mutex);
    if (!job_->error.isEmpty()) {
        *error = job_->error;
        return false;
    }
    *ends = std::move(job_->ends);
    return true;
}

}  // namespace quillet
