// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Html5HelperExit.h"

#include <cstddef>
#include <memory_resource>

namespace quillet {

/// Memory for one parse, handed out from large blocks and given back all at once: the
/// tree is dropped whole, so freeing its nodes one by one would be wasted work. On Unix
/// the blocks come straight from the system (mmap), and a block the system refuses ends
/// the process with kHelperNoMemory: the arena serves the parser's own process only.
class ParseArena final : public std::pmr::memory_resource {
  public:
    ParseArena() = default;
    ~ParseArena() override;
    ParseArena(const ParseArena&) = delete;
    ParseArena& operator=(const ParseArena&) = delete;

  private:
    struct Block {
        Block* previous;
        size_t size;
    };
    static constexpr size_t kAlign = alignof(std::max_align_t);
    static constexpr size_t kHeader = (sizeof(Block) + kAlign - 1) & ~(kAlign - 1);
    static constexpr size_t kBlockSize = size_t(4) << 20;

    void* do_allocate(size_t bytes, size_t) override;
    void do_deallocate(void*, size_t, size_t) override {}
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
        return this == &other;
    }
    static Block* Obtain(size_t size);
    static void Release(Block* block);

    Block* blocks_ = nullptr;
    std::byte* next_ = nullptr;
    size_t left_ = 0;
};

}  // namespace quillet
