#pragma once
// A bounded first-in-first-out queue for one producer and one consumer thread: blocking
// push and pop, tests that never wait, and a cancel that releases every waiter.

#include <condition_variable>
#include <cstddef>
#include <mutex>

#include <boost/circular_buffer.hpp>

namespace framework {

template <typename T>
class ConcurrentCircularBuffer {
public:
    explicit ConcurrentCircularBuffer(std::size_t capacity) : items_(capacity) {}
    ConcurrentCircularBuffer(const ConcurrentCircularBuffer&) = delete;
    ConcurrentCircularBuffer& operator=(const ConcurrentCircularBuffer&) = delete;

    // Waits while the queue is full. Returns false, storing nothing, once canceled.
    bool pushFront(const T& item) {
        std::unique_lock<std::mutex> lock(mutex_);
        notFull_.wait(lock, [&] { return unread_ < items_.capacity() || canceled_; });
        if (canceled_) return false;
        items_.push_front(item);
        ++unread_;
        notEmpty_.notify_one();
        return true;
    }

    // Waits while the queue is empty. Returns false, leaving `item` alone, once canceled.
    bool popBack(T& item) {
        std::unique_lock<std::mutex> lock(mutex_);
        notEmpty_.wait(lock, [&] { return unread_ > 0 || canceled_; });
        if (canceled_ && unread_ == 0) return false;
        // Copy first: a copy that throws leaves the record unread.
        item = items_[unread_ - 1];
        --unread_;
        notFull_.notify_one();
        return true;
    }

    bool isNotEmpty() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return unread_ > 0;
    }

    bool isNotFull() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return unread_ < items_.capacity();
    }

    std::size_t size() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return unread_;
    }

    std::size_t capacity() const { return items_.capacity(); }

    // Ends every wait, now and later; the queue's records stay until it is destroyed.
    void cancel() {
        std::lock_guard<std::mutex> lock(mutex_);
        canceled_ = true;
        notFull_.notify_all();
        notEmpty_.notify_all();
    }

private:
    // New records go in at the front; the oldest unread one is at index unread_ - 1. Read
    // records stay behind it until a later push reuses their slot.
    boost::circular_buffer<T> items_;
    std::size_t unread_ = 0;
    bool canceled_ = false;
    mutable std::mutex mutex_;
    std::condition_variable notFull_;
    std::condition_variable notEmpty_;
};

}  // namespace framework
