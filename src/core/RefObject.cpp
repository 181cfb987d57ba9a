// Reference counting, the down-cast by type id and the live-instance counters that the
// leak check at exit reads; see RefObject.h.
#include "core/RefObject.h"

std::atomic<int32_t> InstanceCounters[kInstanceCounterCount];

void CountInstance(int32_t typeId, int32_t delta) {
    if (typeId >= 0 && typeId < kInstanceCounterCount) {
        InstanceCounters[typeId].fetch_add(delta, std::memory_order_relaxed);
    }
}

bool AllInstanceCountersZero() {
    for (const auto& counter : InstanceCounters) {
        if (counter.load(std::memory_order_relaxed) != 0)
            return false;
    }
    return true;
}

uint32_t RefObject::Release() {
    uint32_t current = refCount_.load(std::memory_order_relaxed);
    do {
        if (current == 0)
            return 0;
    } while (!refCount_.compare_exchange_weak(current, current - 1, std::memory_order_acq_rel,
                                              std::memory_order_relaxed));
    if (current == 1) {
        delete this;
        return 0;
    }
    return current - 1;
}

HResult RefObject::QueryInterface(int32_t typeId, void** out) {
    if (out == nullptr)
        return kInvalidArg;
    if (!IsOfType(typeId) && typeId != GetTypeId())
        return kNoInterface;
    AddRef();
    *out = this;
    return kOk;
}
