// The latest value of each of the effect's parameters, handed from the threads
// that set them to the one that sends them on to the UI.
//
// Threads: post on any thread, several at once, the audio thread among them
// (real-time: two atomic operations, no allocation, no lock, no system call);
// drain and discard on one thread at a time (the poll thread, or the host thread
// while the poll is stopped).
//
// A parameter posted many times between two drains is sent once, with the value
// posted last; the value posted last is always sent, by the drain running at the
// time or by the next one.
#pragma once

#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>

class ParameterHandoff {
public:
    static constexpr int32_t kParameters = 24;

    // Any thread, real-time. An index outside the parameters is dropped: no UI
    // control answers to it.
    void post(int32_t index, float value)
    {
        if (index < 0 || index >= kParameters) return;
        // Relaxed: the release below is what publishes the value.
        values[size_t(index)].store(value, std::memory_order_relaxed);
        // Release: a drain that takes this bit reads this value or a later one.
        pending.fetch_or(bitOf(index), std::memory_order_release);
    }

    // Drainer. Calls send(index, value) for every parameter posted since the
    // last drain, in index order. A send that answers false (the pipe is full)
    // ends the drain; it and those not reached yet stay for the next one.
    template <typename Send> void drain(Send&& send)
    {
        // Every bit is cleared before any value is read, so no post falls between
        // the two. A post whose bit this exchange takes is seen by the reads below:
        // acquire pairs with its release (later fetch_ors continue its release
        // sequence), so each value read is the one posted or a later one. A post
        // whose bit comes after the exchange is sent by the next drain, perhaps
        // once more with a value already sent now.
        uint32_t taken = pending.exchange(0, std::memory_order_acquire);
        while (taken != 0) {
            const int index = std::countr_zero(taken);
            // Relaxed: ordered by the acquire above.
            if (!send(int32_t(index), values[size_t(index)].load(std::memory_order_relaxed))) {
                // Relaxed: the values stay where they are, and only drains, which
                // never overlap, read the bits back.
                pending.fetch_or(taken, std::memory_order_relaxed);
                return;
            }
            taken &= taken - 1;
        }
    }

    // Drainer. Forgets what is waiting to be sent.
    void discard()
    {
        // Relaxed: nothing is published by an empty mask.
        pending.store(0, std::memory_order_relaxed);
    }

private:
    static constexpr uint32_t bitOf(int32_t index) { return uint32_t(1) << index; }

    static_assert(kParameters <= 32, "one bit per parameter in one word");
    static_assert(std::atomic<float>::is_always_lock_free);
    static_assert(std::atomic<uint32_t>::is_always_lock_free);

    std::array<std::atomic<float>, kParameters> values{};
    std::atomic<uint32_t> pending{0};
};
