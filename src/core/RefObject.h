// The reference-counted base of every long-lived object, with a numeric type id per
// class, a down-cast by type id, and one live-instance counter per type id that the
// application checks at exit to catch leaks.
//
// Each class level counts itself: its constructor increments the counter of its own id
// and its destructor decrements it, so counter 0 counts every live object and a live
// derived object counts once in each of its ancestors' counters as well.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/Status.h"

enum TypeId : int32_t {
    kTypeRefObject = 0,
    kTypeBuffer = 2,
    kTypeString = 3,
    kTypeObjectList = 4,
    kTypeBitmap = 6,
    kTypeWindow = 7,
    kTypeForm = 8,
    kTypeControl = 9,
    kTypeTextBox = 10,
    kTypeButton = 11,
    kTypeLabel = 12,
    kTypeComboBox = 13,
    kTypeListBox = 14,
    kTypeJoystickDevice = 20,
    kTypeInputRef = 21,
    kTypeAssociation = 22,
};

constexpr int kInstanceCounterCount = 40;

// Live objects per type id. Written on any thread, hence atomic.
extern std::atomic<int32_t> InstanceCounters[kInstanceCounterCount];

void CountInstance(int32_t typeId, int32_t delta);
// True when every counter is 0: nothing created has been left alive.
bool AllInstanceCountersZero();

class RefObject {
  public:
    RefObject(const RefObject&) = delete;
    RefObject& operator=(const RefObject&) = delete;

    uint32_t AddRef() { return refCount_.fetch_add(1, std::memory_order_relaxed) + 1; }
    // Destroys the object when the last reference goes. A count already at 0 is left
    // alone, so a stray extra release cannot destroy an object twice.
    virtual uint32_t Release();
    virtual int32_t GetTypeId() const = 0;
    // Accepts 0, the object's own id and the ids of its bases; adds a reference. The design
    // asks for it; only its test calls it, since every caller knows its object's type.
    virtual HResult QueryInterface(int32_t typeId, void** out);

    uint32_t RefCount() const { return refCount_.load(std::memory_order_relaxed); }

  protected:
    RefObject() { CountInstance(kTypeRefObject, 1); }
    virtual ~RefObject() { CountInstance(kTypeRefObject, -1); }
    // Whether this object is of the given type or derives from it.
    virtual bool IsOfType(int32_t typeId) const { return typeId == kTypeRefObject; }

  private:
    std::atomic<uint32_t> refCount_{1};
};

// Releases and nulls a reference; accepts null.
template <typename T>
void SafeRelease(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

// Counts one class level in InstanceCounters for as long as it lives. A class declares
// it as its first member so that construction and destruction balance even when a later
// member's construction throws or the object is a member of another.
template <int32_t Id>
struct InstanceCount {
    InstanceCount() { CountInstance(Id, 1); }
    InstanceCount(const InstanceCount&) { CountInstance(Id, 1); }
    ~InstanceCount() { CountInstance(Id, -1); }
};
