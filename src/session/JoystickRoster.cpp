// The joysticks that come and go and the choice among them; see JoystickRoster.h.
#include "session/JoystickRoster.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "joystick/InputCatalogue.h"
#include "joystick/JoystickReader.h"
#include "persistence/ProfileRecord.h"

JoystickRoster::JoystickRoster(RosterView& view, AssociationModel& model, const JoystickPlatform& platform,
                               void (*stopReading)(JoystickDevice& device))
    : view_(view), model_(model), platform_(platform), stopReading_(stopReading) {}

JoystickRoster::~JoystickRoster() {
    SafeRelease(joysticks_);
}

void JoystickRoster::Prepare(ObjectList* found) {
    SafeRelease(joysticks_);
    joysticks_ = found != nullptr ? found : new (std::nothrow) ObjectList();
    for (int32_t j = joysticks_ != nullptr ? joysticks_->Count() - 1 : -1; j >= 0; --j)
        PrepareInputs(*static_cast<JoystickDevice*>(joysticks_->At(j)));
}

JoystickDevice* JoystickRoster::JoystickAt(int32_t index) const {
    return static_cast<JoystickDevice*>(joysticks_->At(index));
}

JoystickDevice* JoystickRoster::FindByHandle(void* rawHandle, bool connectedOnly) const {
    for (int32_t j = 0; joysticks_ != nullptr && j < joysticks_->Count(); ++j) {
        JoystickDevice* device = JoystickAt(j);
        if (device->RawHandle == rawHandle &&
            (!connectedOnly || device->Connected.load(std::memory_order_relaxed) != 0))
            return device;
    }
    return nullptr;
}

JoystickDevice* JoystickRoster::FindConnected(void* rawHandle) const {
    return FindByHandle(rawHandle, true);
}

void JoystickRoster::OnArrived(JoystickDevice* device) {
    Arrived(device, nullptr, 0);
}

void JoystickRoster::Arrived(JoystickDevice* device, JoystickDevice* const* going, int32_t goingCount) {
    if (device == nullptr || joysticks_ == nullptr || FindConnected(device->RawHandle) != nullptr) {
        SafeRelease(device);  // nothing new: a device already listed, told twice
        return;
    }
    // The pad that went, the selected one first: its inputs, associations and any run that
    // reads it carry on under the new handle. A pad of another make, or one whose reports
    // are laid out otherwise, is another pad. A pad whose removal the reader has not yet
    // handled has gone as well: after a fast re-plug its new handle is listed before the
    // old one's removal has come back.
    auto comesBack = [device, going, goingCount](const JoystickDevice* away) {
        return away != nullptr &&
               (away->Connected.load(std::memory_order_relaxed) == 0 ||
                std::find(going, going + goingCount, away) != going + goingCount) &&
               SameJoystick(*away, *device) && away->PreparsedSize == device->PreparsedSize &&
               std::memcmp(away->PreparsedData, device->PreparsedData, device->PreparsedSize) == 0;
    };
    const JoystickDevice* selected = model_.SelectedJoystick();
    int32_t back = comesBack(selected) ? joysticks_->IndexOf(selected) : -1;
    for (int32_t j = 0; back < 0 && j < joysticks_->Count(); ++j)
        back = comesBack(JoystickAt(j)) ? j : -1;
    if (back >= 0) {
        JoystickDevice* away = JoystickAt(back);
        RebindDevice(*away, device->RawHandle);
        view_.ShowJoystickEntry(back, away->Name->Chars(), false);
        ShowSelection();
        device->Release();
        return;
    }
    PrepareInputs(*device);
    if (!Failed(joysticks_->Append(device)))
        view_.AddJoystickEntry(device->Name->Chars());
    device->Release();
}

void JoystickRoster::OnRemoved(void* rawHandle) {
    // The reader thread has already marked a device it reads as gone, so an away device
    // with the handle counts too (after a connected one, should the system reuse handles).
    JoystickDevice* device = FindConnected(rawHandle);
    if (device == nullptr)
        device = FindByHandle(rawHandle, false);
    if (device == nullptr)
        return;
    const int32_t index = joysticks_->IndexOf(device);
    device->Connected.store(0, std::memory_order_relaxed);
    if (device == model_.SelectedJoystick()) {
        view_.ShowJoystickEntry(index, device->Name->Chars(), true);
        ShowSelection();
    } else {
        Remove(index);
    }
}

void JoystickRoster::OnChange(bool arrival, void* rawHandle) {
    if (!arrival)
        OnRemoved(rawHandle);
    else if (FindConnected(rawHandle) == nullptr)  // the re-listing may have found it first
        OnArrived(platform_.MakeJoystick(rawHandle));
}

void JoystickRoster::Relist() {
    constexpr uint32_t kCapacity = 64;
    void* listed[kCapacity];
    uint32_t count = 0;
    // A listing that failed says nothing about the pads: read as "all gone", it would rest
    // the selected one for good, since the system sends no arrival for a pad it still lists.
    if (joysticks_ == nullptr || Failed(platform_.ListJoysticks(listed, kCapacity, &count)))
        return;
    // Removals first: the reader rests a pad that went and then tells the window. Until
    // then the pad still reads as connected, and an arrival of it under a new handle must
    // know it as the pad that went, not as another one.
    JoystickDevice* going[kCapacity];
    int32_t goingCount = 0;
    for (int32_t j = 0; j < joysticks_->Count(); ++j) {
        JoystickDevice* device = JoystickAt(j);
        if (device->Connected.load(std::memory_order_relaxed) != 0 &&
            std::find(listed, listed + count, device->RawHandle) == listed + count &&
            platform_.PostRemoval(device->RawHandle) && goingCount < static_cast<int32_t>(kCapacity))
            going[goingCount++] = device;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (FindConnected(listed[i]) == nullptr)
            Arrived(platform_.MakeJoystick(listed[i]), going, goingCount);
    }
}

void JoystickRoster::DropAway() {
    for (int32_t j = joysticks_ != nullptr ? joysticks_->Count() - 1 : -1; j >= 0; --j) {
        const JoystickDevice* device = JoystickAt(j);
        if (device->Connected.load(std::memory_order_relaxed) == 0 && device != model_.SelectedJoystick())
            Remove(j);
    }
}

void JoystickRoster::Remove(int32_t index) {
    // The list first: the selection shown next is counted in the list as it is now.
    joysticks_->RemoveAt(index);
    view_.RemoveJoystickEntry(index);
    ShowSelection();
}

void JoystickRoster::ShowSelection() {
    const JoystickDevice* selected = model_.SelectedJoystick();
    view_.SelectJoystickEntry(selected != nullptr && joysticks_ != nullptr ? joysticks_->IndexOf(selected)
                                                                           : -1);
}

void JoystickRoster::Select(int32_t index, bool editable) {
    // A run locks the selector, and a worker that outlived its stop still reads the lists:
    // the selector goes back to what is really selected.
    if (!editable) {
        ShowSelection();
        return;
    }
    if (JoystickDevice* old = model_.SelectedJoystick())
        stopReading_(*old);
    model_.SetSelectedJoystick(nullptr);
    // The associations travel to the new joystick as a record, matched by usages there.
    Buffer* snapshot = CaptureAssociations(model_);
    model_.ClearInputRefs();
    model_.ClearAssociations();
    JoystickDevice* device =
        joysticks_ != nullptr && index >= 0 && index < joysticks_->Count() ? JoystickAt(index) : nullptr;
    model_.SetSelectedJoystick(device);
    view_.ShowEditor(device);
    if (device != nullptr)
        RestoreAssociations(model_, snapshot);
    SafeRelease(snapshot);
    // A pad that went away stays only while it is selected.
    DropAway();
}
