// SPDX-License-Identifier: GPL-3.0-or-later
// The HTML5 parser alone, as the yardstick of Fix File by HTML5 rules: reads a UTF-8 page
// and parses it once with gumbo, then prints the parse time in seconds. With --lean it
// parses as Quillet does (no error list, memory from large blocks that are never freed one
// by one); without, with the parser's default options.
//
// With --nesting N... it measures how the parser's time grows with the nesting of a page:
// for each N, "<p>x" + "<div>" N times + "<p>y" (every block inside the one before) against
// "<p>x" + "<div></div>" N times + "<p>y" (as many blocks, side by side), parsed as
// Quillet parses, the best of a few runs of each; it prints N, both times and the time per
// block.
#include <gumbo.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory_resource>
#include <string>
#include <vector>

namespace {

/// Seconds of one parse of `page`; the tree is left to the end of the process, as Quillet
/// leaves it, unless `blocks` are given to hold it.
double Parse(const char* page, size_t size, bool lean, std::pmr::memory_resource* blocks,
             bool* parsed) {
    GumboOptions options = kGumboDefaultOptions;
    if (lean) {
        options.max_errors = 0;
        options.userdata = blocks;
        options.allocator = [](void* memory, size_t bytes) {
            return static_cast<std::pmr::memory_resource*>(memory)->allocate(bytes, 16);
        };
        options.deallocator = [](void*, void*) {};
    }
    const auto start = std::chrono::steady_clock::now();
    const GumboOutput* output = gumbo_parse_with_options(&options, page, size);
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    *parsed = output->root != nullptr;
    return seconds.count();
}

/// The best of `runs` parses of `page`, each with memory of its own.
double Best(const std::string& page, int runs) {
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        std::pmr::monotonic_buffer_resource blocks(size_t(4) << 20);
        bool parsed = false;
        best = std::min(best, Parse(page.data(), page.size(), true, &blocks, &parsed));
    }
    return best;
}

int Nesting(int argc, char** argv) {
    std::printf(
        "| blocks N | nested | side by side | per block, nested | per block, side by side |\n");
    std::printf("|---|---|---|---|---|\n");
    for (int i = 2; i < argc; ++i) {
        const long n = std::atol(argv[i]);
        std::string nested = "<p>x";
        std::string flat = "<p>x";
        for (long k = 0; k < n; ++k) nested += "<div>";
        for (long k = 0; k < n; ++k) flat += "<div></div>";
        nested += "<p>y\n";
        flat += "<p>y\n";
        // A long parse is timed once.
        const int runs = n <= 20000 ? 5 : 1;
        const double deep = Best(nested, runs);
        const double side = Best(flat, runs);
        std::printf("| %ld | %.4f s | %.4f s | %.2f µs | %.2f µs |\n", n, deep, side,
                    deep / double(n) * 1e6, side / double(n) * 1e6);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--nesting") == 0) return Nesting(argc, argv);
    const bool lean = argc == 3 && std::strcmp(argv[2], "--lean") == 0;
    if (argc != 2 && !lean) {
        std::fprintf(stderr, "usage: html5parse PAGE [--lean]\n       html5parse --nesting N...\n");
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "rb");
    if (!in) return 1;
    std::vector<char> page;
    char buffer[1 << 16];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
        page.insert(page.end(), buffer, buffer + got);
    }
    std::fclose(in);

    std::pmr::monotonic_buffer_resource blocks(size_t(4) << 20);
    bool parsed = false;
    const double seconds = Parse(page.data(), page.size(), lean, &blocks, &parsed);
    std::printf("%.4f\n", seconds);
    std::fflush(stdout);
    // The tree is left to the end of the process, as Quillet leaves it.
    std::quick_exit(parsed ? 0 : 1);
}
