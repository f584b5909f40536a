// A scalar shared between the parameter threads and the audio thread.
//
// The parameter side only needs each write to become visible to the audio side
// eventually, and no pair of fields is read as a consistent snapshot, so every
// access is a relaxed atomic: free on x86-64, and silent under ThreadSanitizer.
#pragma once

#include <atomic>
#include <cstdint>

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
    // Stores desired if the value is still expected, as one step.
    bool compareExchange(T expected, T desired)
    {
        return value.compare_exchange_strong(expected, desired, std::memory_order_relaxed);
    }

private:
    static_assert(std::atomic<T>::is_always_lock_free);
    std::atomic<T> value;
};

// A hand-off from the parameter side to the audio side. It is raised with
// release after the loop fields it refers to are written, so the audio side
// that takes it with an acquire exchange sees them; taking it in one step
// means a flag raised again between a read and a clear is never lost.
class PendingFlag {
public:
    void raise() { value.store(true, std::memory_order_release); }
    // Withdraws a flag not yet taken; nothing is handed over by it.
    void lower() { value.store(false, std::memory_order_relaxed); }
    bool raised() const { return value.load(std::memory_order_acquire); }
    bool take() { return value.exchange(false, std::memory_order_acquire); }

private:
    std::atomic<bool> value{false};
};

// The latest switch of the loops as a whole, from the parameter side to the
// audio side: a capture when the first loop goes on, a stop when the last one
// goes off. One word holds both, so the latest request wins and the audio side
// can never take a stop and a capture in another order than they were made.
// Each request carries a count, so the audio side takes exactly the request it
// looked at, and one made since stays for the next grid event.
class LoopRequest {
public:
    enum class Kind : uint32_t { None, Capture, Stop };
    struct Seen {
        uint32_t word;
        Kind kind() const { return Kind(word & kKindMask); }
    };

    // Posted with release after the loop fields it refers to are written.
    void post(Kind kind)
    {
        uint32_t old = word.load(std::memory_order_relaxed);
        while (!word.compare_exchange_weak(old, ((old & ~kKindMask) + kCountStep) | uint32_t(kind),
                                           std::memory_order_release, std::memory_order_relaxed)) {
        }
    }
    Seen peek() const { return {word.load(std::memory_order_acquire)}; }
    // False when a newer request came in since seen.
    bool take(Seen seen)
    {
        return seen.kind() != Kind::None &&
               word.compare_exchange_strong(seen.word, seen.word & ~kKindMask,
                                            std::memory_order_acquire, std::memory_order_relaxed);
    }

private:
    static constexpr uint32_t kKindMask = 3;
    static constexpr uint32_t kCountStep = 4;
    std::atomic<uint32_t> word{0};
};
