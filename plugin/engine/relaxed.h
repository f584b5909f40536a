// A scalar shared between the parameter threads and the audio thread.
//
// The parameter side only needs each write to become visible to the audio side
// eventually, and no pair of fields is read as a consistent snapshot, so every
// access is a relaxed atomic: free on x86-64, and silent under ThreadSanitizer.
#pragma once

#include <atomic>

template <typename T> class Relaxed {
public:
    constexpr Relaxed(T initial = T()) : value(initial) {}
    Relaxed(const Relaxed&) = delete;
    // Assigning one shared field to another copies its current value.
    Relaxed& operator=(const Relaxed& other) { return *this = T(other); }

    operator T() const { return value.load(std::memory_order_relaxed); }
    Relaxed& operator=(T newValue)
    {
        value.store(newValue, std::memory_order_relaxed);
        return *this;
    }

private:
    static_assert(std::atomic<T>::is_always_lock_free);
    std::atomic<T> value;
};
