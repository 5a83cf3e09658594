// SPDX-License-Identifier: GPL-3.0-or-later
// quillet-html5-parse: the helper that runs the HTML5 parser for Fix File by HTML5 rules.
//
// usage: quillet-html5-parse [--cpu-seconds N] [--memory-bytes N] <PAGE
//
// Reads a page in UTF-8 on standard input (mapped in place when it is a file), finds
// where the parser ends paragraphs of its own accord (FindParagraphEnds), and writes their
// byte offsets to standard output, one decimal number a line, then the line "end". The
// programs start it afresh for every parse, so that the parser runs apart from them: a page
// that trips one of its assertions ends this process only, and the limits below bound what
// one page can take. It sets its own limits first: N seconds of processor time (then the
// system ends it with SIGXCPU) and N bytes of address space (then the parse ends with
// kHelperNoMemory). It ends with the process that started it.
#include "engine/Html5HelperExit.h"
#include "engine/ParagraphEnds.h"
#include "engine/ParseArena.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {

using namespace quillet;

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= size_t(written);
    }
    return true;
}

[[noreturn]] void Usage(const char* problem) {
    const char* const lines[] = {"quillet-html5-parse: ", problem,
                                 "\nusage: quillet-html5-parse [--cpu-seconds N] "
                                 "[--memory-bytes N] <PAGE\n"};
    for (const char* line : lines) WriteAll(STDERR_FILENO, line, std::strlen(line));
    _exit(kHelperUsage);
}

/// Lowers a limit of this process to `value` (never above what it may have already).
void Limit(int resource, rlim_t value) {
    rlimit limit{};
    if (::getrlimit(resource, &limit) != 0) return;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < value) value = limit.rlim_max;
    limit.rlim_cur = value;
    limit.rlim_max = value;
    ::setrlimit(resource, &limit);
}

/// Standard input: mapped when it is a file, else read to its end into `storage`.
std::string_view ReadPage(std::vector<char>& storage) {
    struct stat info {};
    if (::fstat(STDIN_FILENO, &info) == 0 && S_ISREG(info.st_mode)) {
        if (info.st_size == 0) return {};
        int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
        flags |= MAP_POPULATE;  // the parser reads it all, from the start
#endif
        void* page = ::mmap(nullptr, size_t(info.st_size), PROT_READ, flags, STDIN_FILENO, 0);
        if (page == MAP_FAILED) _exit(errno == ENOMEM ? kHelperNoMemory : kHelperReadFailed);
        return {static_cast<const char*>(page), size_t(info.st_size)};
    }
    for (;;) {
        const size_t held = storage.size();
        storage.resize(held + (size_t(1) << 16));
        const ssize_t got = ::read(STDIN_FILENO, storage.data() + held, size_t(1) << 16);
        if (got < 0 && errno == EINTR) {
            storage.resize(held);
            continue;
        }
        if (got < 0) _exit(kHelperReadFailed);
        storage.resize(held + size_t(got));
        if (got == 0) return {storage.data(), storage.size()};
    }
}

}  // namespace

int main(int argc, char** argv) {
#ifdef __linux__
    // Of no use once the program that asked is gone.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    rlim_t cpu = 0;
    rlim_t memory = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if ((option != "--cpu-seconds" && option != "--memory-bytes") || i + 1 == argc) {
            Usage("unknown argument or missing value");
        }
        const std::string_view value = argv[++i];
        unsigned long long number = 0;
        const auto [end, failure] =
            std::from_chars(value.data(), value.data() + value.size(), number);
        if (failure != std::errc() || end != value.data() + value.size())
            Usage("the limits are whole numbers");
        (option == "--cpu-seconds" ? cpu : memory) = rlim_t(number);
    }

    // A page that trips an assertion leaves no core file behind.
    Limit(RLIMIT_CORE, 0);
    if (cpu > 0) {
        // The soft limit sends SIGXCPU, which ends the process; the hard one a second later
        // is for a process that would not end.
        rlimit limit{cpu, cpu + 1};
        rlimit current{};
        if (::getrlimit(RLIMIT_CPU, &current) == 0 && current.rlim_max != RLIM_INFINITY) {
            limit.rlim_cur = std::min(limit.rlim_cur, current.rlim_max);
            limit.rlim_max = std::min(limit.rlim_max, current.rlim_max);
        }
        ::setrlimit(RLIMIT_CPU, &limit);
    }
#if !defined(__SANITIZE_ADDRESS__)
    // (AddressSanitizer reserves terabytes of address space for itself.)
    if (memory > 0) Limit(RLIMIT_AS, memory);
#endif

    std::vector<char> storage;
    const std::string_view page = ReadPage(storage);
    ParseArena arena;
    const std::pmr::vector<qsizetype> ends =
        FindParagraphEnds(QByteArrayView(page.data(), qsizetype(page.size())), arena);

    std::pmr::vector<char> answer(&arena);
    answer.resize(ends.size() * 21 + 4);
    char* out = answer.data();
    for (const qsizetype end : ends) {
        out = std::to_chars(out, answer.data() + answer.size(), end).ptr;
        *out++ = '\n';
    }
    std::memcpy(out, "end\n", 4);
    out += 4;
    const bool written = WriteAll(STDOUT_FILENO, answer.data(), size_t(out - answer.data()));
    // Closed now, the program has its answer while this process still gives back its
    // memory; the tree goes with the process, not node by node.
    if (::close(STDOUT_FILENO) != 0 || !written) _exit(kHelperWriteFailed);
    _exit(kHelperDone);
}
