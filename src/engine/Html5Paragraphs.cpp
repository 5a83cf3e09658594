// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Html5Paragraphs.h"

#include "engine/DocumentMode.h"
#include "engine/ParagraphEnds.h"

#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <memory_resource>
#include <mutex>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
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

#ifdef Q_OS_UNIX
/// Exit statuses of the parse process besides 0.
constexpr int kExitNoMemory = 3;
constexpr int kExitWriteFailed = 4;
#endif

/// Memory for one parse, handed out from large blocks and given back all at once: the
/// tree is dropped whole, so freeing its nodes one by one would be wasted work. The
/// blocks come straight from the system, so the parse process needs no heap of its own.
class Arena final : public std::pmr::memory_resource {
  public:
    Arena() = default;
    ~Arena() override {
        while (blocks_) {
            Block* block = blocks_;
            blocks_ = block->previous;
            Release(block);
        }
    }
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

  private:
    struct Block {
        Block* previous;
        size_t size;
    };
    static constexpr size_t kAlign = alignof(std::max_align_t);
    static constexpr size_t kHeader = (sizeof(Block) + kAlign - 1) & ~(kAlign - 1);
    static constexpr size_t kBlockSize = size_t(4) << 20;

    void* do_allocate(size_t bytes, size_t) override {
        bytes = (bytes + kAlign - 1) & ~(kAlign - 1);
        if (bytes > kBlockSize / 4) {
            // A large piece gets a block of its own, and the current block goes on.
            Block* block = Obtain(kHeader + bytes);
            block->previous = blocks_;
            blocks_ = block;
            return reinterpret_cast<std::byte*>(block) + kHeader;
        }
        if (bytes > left_) {
            Block* block = Obtain(kBlockSize);
            block->previous = blocks_;
            blocks_ = block;
            next_ = reinterpret_cast<std::byte*>(block) + kHeader;
            left_ = kBlockSize - kHeader;
        }
        void* piece = next_;
        next_ += bytes;
        left_ -= bytes;
        return piece;
    }
    void do_deallocate(void*, size_t, size_t) override {}
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
        return this == &other;
    }

    static Block* Obtain(size_t size) {
#ifdef Q_OS_UNIX
        void* memory =
            mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) _exit(kExitNoMemory);  // only ever in the parse process
#else
        void* memory = ::operator new(size);
#endif
        Block* block = static_cast<Block*>(memory);
        block->size = size;
        return block;
    }
    static void Release(Block* block) {
#ifdef Q_OS_UNIX
        munmap(block, block->size);
#else
        ::operator delete(block);
#endif
    }

    Block* blocks_ = nullptr;
    std::byte* next_ = nullptr;
    size_t left_ = 0;
};

/// The text as UTF-8, character for character: a lone surrogate becomes U+FFFD.
QByteArray ToUtf8(QStringView text) {
    const qsizetype size = Utf8Size(text, text.size());
    QByteArray bytes(size, Qt::Uninitialized);
    char* out = bytes.data();
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
    return bytes;
}

/// Prepares the parser's UTF-8 input: the parser strips no byte-order mark and misjudges
/// the mode of some declarations, so both give way to what leads it to the mode that
/// ReadDocumentStart decided: spaces (no declaration, so quirks mode) or the plain
/// declaration of an HTML5 page. `begin` and `length` are the declaration's bytes.
void LeadToMode(QByteArray& bytes, const DocumentStart& start, qsizetype begin, qsizetype length) {
    if (start.byteOrderMark) std::memset(bytes.data(), ' ', 3);
    if (length <= 0) return;
    char* doctype = bytes.data() + begin;
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

/// The parser's input for a 16-bit text.
QByteArray Html5ParserInput(QStringView text) {
    QByteArray bytes = ToUtf8(text);
    const DocumentStart start = ReadDocumentStart(text);
    const qsizetype begin = Utf8Size(text, start.doctypeBegin);
    LeadToMode(bytes, start, begin, Utf8Size(text, start.doctypeEnd) - begin);
    return bytes;
}

/// The parser's input for a text in UTF-8, made of a copy of it.
QByteArray Html5ParserInput(QByteArray utf8) {
    const DocumentStart start = ReadDocumentStart(utf8);
    LeadToMode(utf8, start, start.doctypeBegin, start.doctypeEnd - start.doctypeBegin);
    return utf8;
}

/// For ascending byte offsets in the UTF-8 form of `text` (each at the start of a
/// character), the offsets of the same characters in `text`.
QList<qint64> Utf16Offsets(QStringView text, const std::vector<qsizetype>& byteOffsets) {
    QList<qint64> offsets;
    offsets.reserve(qsizetype(byteOffsets.size()));
    qsizetype bytes = 0;
    qsizetype i = 0;
    int units = 1;
    for (const qsizetype target : byteOffsets) {
        for (; bytes < target && i < text.size(); i += units) bytes += Utf8Width(text, i, units);
        offsets.append(i);
    }
    return offsets;
}

}  // namespace

struct Html5Parse::Job {
    QString text;
    QByteArray utf8;  // the text, when it came as UTF-8
    bool isUtf8 = false;
    std::mutex mutex;
    std::condition_variable doneChanged;
    bool done = false;
    bool cancelled = false;
    qint64 child = 0;  // the parse process while it may still run
    QList<qint64> ends;
    QString error;

    /// Byte offsets of the paragraph ends in `input`; false with `error` set when the
    /// parser failed (or nothing set, when cancelled).
    bool parse(QByteArrayView input, std::vector<qsizetype>* offsets);
    /// Waits for the parse process to end, if there is one; its wait status.
    int reap();
};

#ifdef Q_OS_UNIX
namespace {

bool WriteAll(int fd, const void* data, size_t size) {
    const char* from = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, from, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        from += written;
        size -= size_t(written);
    }
    return true;
}

constexpr qsizetype kEndMark = -1;

/// The parse process: finds the paragraph ends, writes their offsets to `out` followed
/// by kEndMark, and ends.
[[noreturn]] void RunParseProcess(QByteArrayView input, int out) {
#ifdef Q_OS_LINUX
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // it is of no use once the program is gone
#endif
    Arena arena;
    const std::pmr::vector<qsizetype> ends = FindParagraphEnds(input, arena);
    const bool written = WriteAll(out, ends.data(), ends.size() * sizeof(qsizetype)) &&
                         WriteAll(out, &kEndMark, sizeof kEndMark);
    // Closed now, the program has its answer while this process still gives back its
    // memory.
    ::close(out);
    _exit(written ? 0 : kExitWriteFailed);
}

}  // namespace

bool Html5Parse::Job::parse(QByteArrayView input, std::vector<qsizetype>* offsets) {
    // The parser runs in a child process: a page that trips one of its assertions or
    // worse ends that process, not the program. It writes its findings to a pipe.
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        error = QStringLiteral("the HTML5 parser could not be started: %1").arg(qt_error_string());
        return false;
    }
    pid_t pid = -1;
    int forkError = 0;
    {
        const std::lock_guard lock(mutex);
        if (cancelled) {
            ::close(pipeEnds[0]);
            ::close(pipeEnds[1]);
            return false;
        }
        pid = fork();
        forkError = errno;
        if (pid == 0) {
            ::close(pipeEnds[0]);
            RunParseProcess(input, pipeEnds[1]);
        }
        child = pid > 0 ? pid : 0;
    }
    ::close(pipeEnds[1]);
    QByteArray data;
    if (pid > 0) {
        char buffer[1 << 16];
        for (;;) {
            const ssize_t got = ::read(pipeEnds[0], buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            data.append(buffer, got);
        }
    }
    ::close(pipeEnds[0]);
    if (pid < 0) {
        error = QStringLiteral("the HTML5 parser could not be started: %1")
                    .arg(qt_error_string(forkError));
        return false;
    }

    // A complete answer ends in the mark; the process is then reaped later, while the
    // caller goes on.
    const qsizetype count = data.size() / qsizetype(sizeof(qsizetype));
    qsizetype last = 0;
    if (count > 0) std::memcpy(&last, data.constData() + data.size() - sizeof last, sizeof last);
    if (data.size() % qsizetype(sizeof(qsizetype)) == 0 && count > 0 && last == kEndMark) {
        offsets->resize(size_t(count - 1));
        if (!offsets->empty()) {
            std::memcpy(offsets->data(), data.constData(), offsets->size() * sizeof(qsizetype));
        }
        return true;
    }
    const int status = reap();
    const std::lock_guard lock(mutex);
    if (cancelled) return false;
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
        // What the system does to a process that takes more memory than there is.
        error = QStringLiteral(
                    "the HTML5 parser was stopped on this page (signal %1), perhaps "
                    "for want of memory")
                    .arg(SIGKILL);
    } else if (WIFSIGNALED(status)) {
        error = QStringLiteral("the HTML5 parser failed on this page (it stopped on signal %1)")
                    .arg(WTERMSIG(status));
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == kExitNoMemory) {
        error = QStringLiteral("the HTML5 parser ran out of memory on this page");
    } else {
        error = QStringLiteral("the HTML5 parser ended without a result (exit status %1)")
                    .arg(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    return false;
}

int Html5Parse::Job::reap() {
    pid_t pid = 0;
    {
        // Once reaped, the process's number may go to another one: no kill() after this.
        const std::lock_guard lock(mutex);
        pid = pid_t(child);
        child = 0;
    }
    int status = 0;
    if (pid > 0) {
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    return status;
}
#else
bool Html5Parse::Job::parse(QByteArrayView input, std::vector<qsizetype>* offsets) {
    Arena arena;
    const std::pmr::vector<qsizetype> ends = FindParagraphEnds(input, arena);
    offsets->assign(ends.begin(), ends.end());
    return true;
}

int Html5Parse::Job::reap() {
    return 0;
}
#endif

Html5Parse::Html5Parse(QString text) : job_(std::make_shared<Job>()) {
    job_->text = std::move(text);
    start();
}

Html5Parse::Html5Parse(QByteArrayView utf8) : job_(std::make_shared<Job>()) {
    job_->utf8 = utf8.toByteArray();
    job_->isUtf8 = true;
    start();
}

void Html5Parse::start() {
    thread_ = std::thread([job = job_] {
        std::vector<qsizetype> offsets;
        QList<qint64> ends;
        const bool parsed = job->parse(
            job->isUtf8 ? Html5ParserInput(std::move(job->utf8)) : Html5ParserInput(job->text),
            &offsets);
        if (parsed && job->isUtf8) ends = QList<qint64>(offsets.begin(), offsets.end());
        if (parsed && !job->isUtf8) ends = Utf16Offsets(job->text, offsets);
        {
            const std::lock_guard lock(job->mutex);
            job->ends = std::move(ends);
            if (parsed) job->error.clear();
            job->done = true;
        }
        job->doneChanged.notify_all();
        job->reap();
    });
}

Html5Parse::~Html5Parse() {
    {
        const std::lock_guard lock(job_->mutex);
        job_->cancelled = true;
#ifdef Q_OS_UNIX
        if (job_->child > 0) kill(pid_t(job_->child), SIGKILL);
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
