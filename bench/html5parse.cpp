// SPDX-License-Identifier: GPL-3.0-or-later
// The HTML5 parser alone, as the yardstick of Fix File by HTML5 rules: reads a UTF-8 page
// and parses it once with gumbo, then prints the parse time in seconds. With --lean it
// parses as Quillet does (no error list, memory from large blocks that are never freed one
// by one); without, with the parser's default options.
#include <gumbo.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory_resource>
#include <vector>

int main(int argc, char** argv) {
    const bool lean = argc == 3 && std::strcmp(argv[2], "--lean") == 0;
    if (argc != 2 && !lean) {
        std::fprintf(stderr, "usage: html5parse PAGE [--lean]\n");
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

    GumboOptions options = kGumboDefaultOptions;
    std::pmr::monotonic_buffer_resource blocks(size_t(4) << 20);
    if (lean) {
        options.max_errors = 0;
        options.userdata = &blocks;
        options.allocator = [](void* memory, size_t size) {
            return static_cast<std::pmr::memory_resource*>(memory)->allocate(size, 16);
        };
        options.deallocator = [](void*, void*) {};
    }
    const auto start = std::chrono::steady_clock::now();
    const GumboOutput* output = gumbo_parse_with_options(&options, page.data(), page.size());
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf("%.4f\n", seconds.count());
    std::fflush(stdout);
    // The tree is left to the end of the process, as Quillet leaves it.
    std::quick_exit(output->root ? 0 : 1);
}
