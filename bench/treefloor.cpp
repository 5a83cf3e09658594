// SPDX-License-Identifier: GPL-3.0-or-later
// The least work a repair of a whole site could do: walk the tree, read each page, find
// every "<" with memchr, and write each page under OUT through a temporary file that is
// flushed to disk (fsync) and renamed into place. quillet-batch fix -r --output-dir is
// measured against it. treefloor IN OUT [--no-sync] leaves out the flush.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool flush = true;
long long pages = 0;
long long tags = 0;

bool IsPage(const std::string& name) {
    for (const char* end : {".htm", ".html", ".shtml", ".xhtml"}) {
        const size_t length = std::strlen(end);
        if (name.size() > length && name.compare(name.size() - length, length, end) == 0) {
            return true;
        }
    }
    return false;
}

bool Copy(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat info {};
    ::fstat(in, &info);
    std::vector<char> bytes(size_t(info.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(in, bytes.data() + got, bytes.size() - got);
        if (n <= 0) break;
        got += size_t(n);
    }
    ::close(in);
    for (const char *at = bytes.data(), *end = at + got;
         (at = static_cast<const char*>(std::memchr(at, '<', size_t(end - at)))) != nullptr; ++at) {
        ++tags;
    }
    const std::string temporary = to + ".tmp";
    const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) return false;
    const bool written = ::write(out, bytes.data(), got) == ssize_t(got) &&
                         (!flush || ::fsync(out) == 0) && ::close(out) == 0;
    ++pages;
    return written && ::rename(temporary.c_str(), to.c_str()) == 0;
}

bool Walk(const std::string& in, const std::string& out) {
    ::mkdir(out.c_str(), 0777);
    DIR* listing = ::opendir(in.c_str());
    if (!listing) return false;
    bool ok = true;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (entry->d_type == DT_DIR) {
            ok = Walk(in + '/' + name, out + '/' + name) && ok;
        } else if (entry->d_type == DT_REG && IsPage(name)) {
            ok = Copy(in + '/' + name, out + '/' + name) && ok;
        }
    }
    ::closedir(listing);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: treefloor IN OUT [--no-sync]\n");
        return 2;
    }
    flush = !(argc > 3 && std::strcmp(argv[3], "--no-sync") == 0);
    const bool ok = Walk(argv[1], argv[2]);
    std::fprintf(stderr, "%lld pages, %lld tags\n", pages, tags);
    return ok ? 0 : 1;
}
