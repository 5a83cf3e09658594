// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ParseArena.h"

#include <QtGlobal>
#include <new>

#ifdef Q_OS_UNIX
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace quillet {

ParseArena::~ParseArena() {
    while (blocks_) {
        Block* block = blocks_;
        blocks_ = block->previous;
        Release(block);
    }
}

void* ParseArena::do_allocate(size_t bytes, size_t) {
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

ParseArena::Block* ParseArena::Obtain(size_t size) {
#ifdef Q_OS_UNIX
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) _exit(kHelperNoMemory);
#else
    void* memory = ::operator new(size);
#endif
    Block* block = static_cast<Block*>(memory);
    block->size = size;
    return block;
}

void ParseArena::Release(Block* block) {
#ifdef Q_OS_UNIX
    munmap(block, block->size);
#else
    ::operator delete(block);
#endif
}

}  // namespace quillet
