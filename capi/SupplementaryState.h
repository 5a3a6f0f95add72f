#pragma once
// What the component remembers about supplementary services between
// messages: invoke identifiers and what they were sent for, the services the
// controller offers, and the call-forwarding requests waiting for an answer.
// Main thread only; no lock.

#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <optional>

// A queued call-forwarding request.
struct TQuery {
    uint32_t Address = 0;
    QString ServedUserNumber;
    QString ForwardedToNumber; // forward queue only
    uint16_t Procedure = 0;
    uint16_t BasicService = 0;
    uint32_t Time = 0; // tick count when queued

    bool operator==(const TQuery&) const = default;
};

// Absent until first used; an emptied queue stays present until dropped.
using TQueryQueue = std::optional<std::deque<TQuery>>;

inline bool AbsentOrEmpty(const TQueryQueue& queue)
{
    return !queue || queue->empty();
}

// Bits of the supported-services mask, in CAPI order.
enum class TSupplementaryService : uint8_t {
    HoldRetrieve, TerminalPortability, ECT, ThreePTY, CallForwarding, CallDeflection, MCID, CCBS, MWI
};

struct TSupplementaryState {
    static constexpr uint32_t kServiceCount = 9;
    static constexpr uint32_t kQueueTimeout = 3000; // ms

    uint8_t InvokeCounter = 0;
    // Operation code of the invoke sent with each identifier; 0 = none.
    std::array<uint8_t, 256> PendingInvokes{};
    bool ListenSent = false;
    bool InterrogationPending = false;
    uint32_t InterrogationTime = 0;
    uint32_t SupportedMask = 0;
    std::array<bool, kServiceCount> Supported{};
    TQueryQueue ForwardQueue;
    TQueryQueue UnForwardQueue;
    TQueryQueue InterrogationQueue;

    // Identifiers run 1, 2, ..., 254, 0, 1, ...: 255 is never issued.
    uint8_t StepInvokeCounter()
    {
        InvokeCounter = InvokeCounter >= 254 ? 0 : uint8_t(InvokeCounter + 1);
        return InvokeCounter;
    }

    void SetSupportedServices(uint32_t mask)
    {
        SupportedMask = mask;
        for (uint32_t bit = 0; bit < kServiceCount; ++bit)
            Supported[bit] = (mask >> bit) & 1;
    }
    bool Offers(TSupplementaryService service) const { return Supported[size_t(service)]; }

    void SetInterrogationPending(uint32_t now)
    {
        InterrogationPending = true;
        InterrogationTime = now;
    }
    void ClearInterrogationPending()
    {
        InterrogationPending = false;
        InterrogationTime = 0;
    }

    // Appends a record (creating the queue); true when an earlier one waits.
    static bool Append(TQueryQueue& queue, TQuery query)
    {
        if (!queue)
            queue.emplace();
        queue->push_back(std::move(query));
        return queue->size() > 1;
    }

    // True when the oldest record is more than the time-out old. Tick counts
    // wrap at 2^32, so the age is a wrapping difference.
    static bool Stale(const TQueryQueue& queue, uint32_t now)
    {
        return !AbsentOrEmpty(queue) && uint32_t(now - queue->front().Time) > kQueueTimeout;
    }
    bool InterrogationStale(uint32_t now) const
    {
        return InterrogationPending && uint32_t(now - InterrogationTime) > kQueueTimeout;
    }
};
