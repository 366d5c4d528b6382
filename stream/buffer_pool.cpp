#include "buffer_pool.h"

namespace lentra_stream {

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
    // Value-initialised: a new buffer never shows what the memory held before.
    Buffer buffer(new std::uint8_t[buffer_bytes_]());
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
