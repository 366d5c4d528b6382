// The capture buffers of one stream.
//
// A buffer is out of the pool from the moment a capture takes it until every array over it is
// gone (Lease), so a frame the caller keeps is never written again. The pool keeps up to `keep`
// free buffers for reuse; when all are out it grows by one, unless it is fixed, and a buffer that
// comes back to a pool holding more than `keep` is freed, so the pool shrinks back once the
// caller lets go. Buffers are allocated zero-filled, and only when first needed; large ones on
// huge pages where the system offers them.
//
// Thread-safe, and never touches Python: the latest-frame thread takes buffers without the
// interpreter lock, and leases give them back from whichever thread drops the last array.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace lentra_stream {

struct FreeBuffer {
    void operator()(std::uint8_t* p) const;
};
using Buffer = std::unique_ptr<std::uint8_t[], FreeBuffer>;

class BufferPool {
public:
    BufferPool(std::size_t buffer_bytes, std::size_t keep, bool fixed);

    // A free buffer, the most recently returned first (it is likely still in the cache); a new
    // one if none is free and the pool may grow; empty when a fixed pool has none left.
    Buffer take();
    // As take(), but a fixed pool waits for a buffer to come back; empty once `stop` is set
    // (call wake() after setting it).
    Buffer take_waiting(const std::atomic<bool>& stop);
    void give_back(Buffer buffer);
    void wake();

    std::size_t buffer_bytes() const { return buffer_bytes_; }
    std::size_t keep() const { return keep_; }
    bool fixed() const { return fixed_; }
    std::size_t allocated() const;  // buffers that exist now, free or out
    std::size_t free_count() const;
    // A take_waiting() caller is waiting for a buffer to come back.
    bool starved() const;

private:
    Buffer take_locked();

    const std::size_t buffer_bytes_;
    const std::size_t keep_;
    const bool fixed_;
    mutable std::mutex mutex_;
    std::condition_variable returned_;
    std::vector<Buffer> free_;
    std::size_t allocated_ = 0;
    bool starved_ = false;
};

// One buffer out of its pool; gives it back when destroyed. An array's base owns one.
class Lease {
public:
    Lease(std::shared_ptr<BufferPool> pool, Buffer buffer)
        : pool_(std::move(pool)), buffer_(std::move(buffer)) {}
    ~Lease() {
        if (buffer_) pool_->give_back(std::move(buffer_));
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    std::uint8_t* data() const { return buffer_.get(); }

private:
    std::shared_ptr<BufferPool> pool_;
    Buffer buffer_;
};

}  // namespace lentra_stream
