// SPDX-License-Identifier: GPL-3.0-or-later
// The least work a byte-exact repair that writes safely could do on one page: read the
// file, find every "<" with memchr, write the page back in one write to a temporary file in
// the output's folder, flush it to disk (fsync) and rename it into place. quillet-batch's
// repairs of a page in its own bytes are measured against it. No Qt: nothing but the
// system's calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

int Fail(const char* what, const std::string& name) {
    std::fprintf(stderr, "bytefloor: %s %s: %s\n", what, name.c_str(), std::strerror(errno));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bytefloor IN OUT\n");
        return 2;
    }
    const std::string from = argv[1];
    const std::string to = argv[2];
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Fail("cannot open", from);
    struct stat info {};
    if (::fstat(in, &info) != 0) return Fail("cannot examine", from);
    const size_t size = size_t(info.st_size);
    // Not value-initialised: the read fills it, as a program that reads a page would.
    const std::unique_ptr<char[]> bytes(new char[size + 1]);
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(in, bytes.get() + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail("cannot read", from);
        got += size_t(n);
    }
    ::close(in);

    long long tags = 0;
    const char* const end = bytes.get() + got;
    for (const char* at = bytes.get();
         (at = static_cast<const char*>(std::memchr(at, '<', size_t(end - at)))) != nullptr; ++at) {
        ++tags;
    }

    const std::string temporary = to + ".bytefloor-tmp";
    const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) return Fail("cannot create", temporary);
    for (size_t put = 0; put < got;) {
        const ssize_t n = ::write(out, bytes.get() + put, got - put);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail("cannot write", temporary);
        put += size_t(n);
    }
    if (::fsync(out) != 0) return Fail("cannot flush", temporary);
    if (::close(out) != 0) return Fail("cannot close", temporary);
    if (::rename(temporary.c_str(), to.c_str()) != 0) return Fail("cannot rename to", to);
    std::fprintf(stderr, "%lld tags\n", tags);
    return 0;
}
