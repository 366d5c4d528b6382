#include "buffer_pool.h"

#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace lentra_stream {
namespace {

// Large buffers start on a 2 MB boundary and ask for transparent huge pages, as NumPy does for
// its own large arrays: a 4K BGRA frame spans 8,100 small pages but 16 huge ones, so writing it
// misses the TLB far less often.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kHugeFrom = std::size_t{4} << 20;

Buffer allocate(std::size_t bytes) {
    const bool huge = bytes >= kHugeFrom;
    const std::size_t alignment = huge ? kHugePage : alignof(std::max_align_t);
    const std::size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    Buffer buffer(static_cast<std::uint8_t*>(std::aligned_alloc(alignment, rounded)));
    if (!buffer) throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (huge) madvise(buffer.get(), rounded, MADV_HUGEPAGE);  // a hint: failure changes nothing
#endif
    // Zero-filled: a new buffer never shows what the memory held before.
    std::memset(buffer.get(), 0, bytes);
    return buffer;
}

}  // namespace

void FreeBuffer::operator()(std::uint8_t* p) const { std::free(p); }

BufferPool::BufferPool(std::size_t buffer_bytes, std::size_t keep, bool fixed)
    : buffer_bytes_(buffer_bytes), keep_(keep), fixed_(fixed) {
    free_.reserve(keep);
}

Buffer BufferPool::take_locked() {
    if (!free_.empty()) {
        Buffer buffer = std::move(free_.back());
        free_.pop_back();
        return buffer;
    }
    if (fixed_ && allocated_ >= keep_) return nullptr;
    Buffer buffer = allocate(buffer_bytes_);
    ++allocated_;
    return buffer;
}

Buffer BufferPool::take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return take_locked();
}

Buffer BufferPool::take_waiting(const std::atomic<bool>& stop) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (stop.load()) return nullptr;
        if (Buffer buffer = take_locked()) return buffer;
        starved_ = true;
        returned_.wait(lock);
        starved_ = false;
    }
}

void BufferPool::give_back(Buffer buffer) {
    if (!buffer) return;
    std::unique_lock<std::mutex> lock(mutex_);
    if (allocated_ > keep_) {
        --allocated_;
        lock.unlock();
        buffer.reset();  // freed outside the lock
        return;
    }
    free_.push_back(std::move(buffer));
    lock.unlock();
    returned_.notify_all();
}

void BufferPool::wake() {
    { std::lock_guard<std::mutex> lock(mutex_); }
    returned_.notify_all();
}

std::size_t BufferPool::allocated() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return allocated_;
}

std::size_t BufferPool::free_count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return free_.size();
}

bool BufferPool::starved() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return starved_;
}

}  // namespace lentra_stream
