// The association collections and the rules that keep them: an input drives at most one
// target, and a target (kind and index) is driven by at most one input.
#include "associations/AssociationModel.h"

#include <initializer_list>
#include <new>

#include "associations/KeyTable.h"
#include "board/BoardState.h"
#include "joystick/InputCatalogue.h"
#include "text/TextTable.h"

Association::Association(InputRef* inputRef, AssociationKind kind, int32_t targetIndex, uint32_t code,
                         uint32_t isChannel)
    : inputRef(inputRef), kind(kind), targetIndex(targetIndex), code(code), isChannel(isChannel) {
    inputRef->AddRef();
}

Association::~Association() {
    SafeRelease(inputRef);
}

String* FormatAssociation(const Association& association) {
    String* text = new (std::nothrow) String();
    if (text == nullptr)
        return nullptr;
    const char16_t* target = association.kind == AssociationKind::Channel
                                 ? TextTable::ChannelName(association.targetIndex)
                                 : TextTable::TargetName(association.targetIndex);
    if (Failed(text->Assign(DisplayName(association.Input()))) || Failed(text->Append(u" -> ")) ||
        Failed(text->Append(target))) {
        text->Release();
        return nullptr;
    }
    return text;
}

int32_t PercentOfValue(uint32_t value) {
    const float scaled = static_cast<float>(static_cast<int32_t>(value)) * 100.0f;
    return static_cast<int32_t>(scaled / 1023.0f);
}

AssociationModel::AssociationModel()
    : inputRefs_(new (std::nothrow) ObjectList()),
      all_(new (std::nothrow) ObjectList()),
      keys_(new (std::nothrow) ObjectList()),
      channels_(new (std::nothrow) ObjectList()) {}

AssociationModel::~AssociationModel() {
    SafeRelease(button_);
    SafeRelease(channels_);
    SafeRelease(keys_);
    SafeRelease(all_);
    SafeRelease(inputRefs_);
    SafeRelease(selectedJoystick_);
}

bool AssociationModel::IsValid() const {
    return inputRefs_ != nullptr && all_ != nullptr && keys_ != nullptr && channels_ != nullptr;
}

void AssociationModel::SetSelectedJoystick(JoystickDevice* device) {
    if (device != nullptr)
        device->AddRef();
    SafeRelease(selectedJoystick_);
    selectedJoystick_ = device;
}

InputRef* AssociationModel::InputRefAt(int32_t index) const {
    if (index < 0 || index >= inputRefs_->Count())
        return nullptr;
    return static_cast<InputRef*>(inputRefs_->At(index));
}

HResult AssociationModel::AddInputRef(JoystickInput* input, JoystickInput* parentHat) {
    InputRef* ref = new (std::nothrow) InputRef(input, parentHat);
    if (ref == nullptr)
        return kOutOfMemory;
    const HResult code = inputRefs_->Append(ref);
    ref->Release();
    return code;
}

void AssociationModel::ClearInputRefs() {
    inputRefs_->Clear();
}

InputRef* AssociationModel::FindInput(uint32_t usagePage, uint32_t usage) const {
    return InputRefAt(FindInputIndex(usagePage, usage, nullptr));
}

int32_t AssociationModel::FindInputIndex(uint32_t usagePage, uint32_t usage, const uint8_t* taken) const {
    int32_t first = -1;
    for (int32_t i = 0; i < inputRefs_->Count(); ++i) {
        const JoystickInput& input = *InputRefAt(i)->input;
        if (input.UsagePage != usagePage || input.Usage != usage)
            continue;
        if (taken == nullptr || taken[i] == 0)
            return i;
        if (first < 0)
            first = i;
    }
    return first;
}

bool AssociationModel::TargetExists(bool isChannel, int32_t targetIndex) {
    return targetIndex >= 0 && targetIndex < (isChannel ? kManualRowCount : KeyTable::kCount);
}

HResult AssociationModel::AddAssociation(uint32_t usagePage, uint32_t usage, bool isChannel,
                                         int32_t targetIndex) {
    InputRef* ref = FindInput(usagePage, usage);
    return ref != nullptr ? Add(ref, isChannel, targetIndex) : kOk;
}

HResult AssociationModel::AddAssociationForInput(int32_t inputIndex, bool isChannel, int32_t targetIndex) {
    InputRef* ref = InputRefAt(inputIndex);
    return ref != nullptr ? Add(ref, isChannel, targetIndex) : kOk;
}

HResult AssociationModel::Add(InputRef* inputRef, bool isChannel, int32_t targetIndex) {
    // A profile entry from outside may name a target that does not exist: it is skipped.
    if (!TargetExists(isChannel, targetIndex))
        return kOk;
    AssociationKind kind;
    uint32_t code;
    if (isChannel) {
        kind = AssociationKind::Channel;
        code = static_cast<uint32_t>(kNameToWire[targetIndex]);
    } else if (KeyTable::Code(targetIndex) == KeyTable::kBoardButtonCode) {
        kind = AssociationKind::BoardButton;
        code = kChannelButton;
    } else {
        kind = AssociationKind::Key;
        code = KeyTable::Code(targetIndex);
    }

    // Everything that can fail comes before the first change: the record, its text and the
    // room in the lists (removing conflicts only frees room).
    Association* association =
        new (std::nothrow) Association(inputRef, kind, targetIndex, code, isChannel ? 1 : 0);
    if (association == nullptr)
        return kOutOfMemory;
    String* text = FormatAssociation(*association);
    ObjectList* kindList =
        kind == AssociationKind::Key ? keys_ : (kind == AssociationKind::Channel ? channels_ : nullptr);
    if (text == nullptr || Failed(all_->Reserve(all_->Count() + 1)) ||
        (kindList != nullptr && Failed(kindList->Reserve(kindList->Count() + 1)))) {
        SafeRelease(text);
        association->Release();
        return kOutOfMemory;
    }

    for (int32_t i = 0; i < all_->Count();) {
        Association* item = At(*all_, i);
        if (item->inputRef == inputRef || (item->kind == kind && item->targetIndex == targetIndex))
            RemoveAtIndex(i);  // the next item moved into i
        else
            ++i;
    }

    if (kindList != nullptr) {
        kindList->Append(association);
    } else {
        association->AddRef();
        button_ = association;
    }
    all_->Append(association);
    if (view_ != nullptr)
        view_->AppendItem(text->Chars());
    text->Release();
    association->Release();
    return kOk;
}

void AssociationModel::RemoveFromKindCollection(Association* association) {
    switch (association->kind) {
        case AssociationKind::Key:
            keys_->Remove(association);
            break;
        case AssociationKind::Channel:
            channels_->Remove(association);
            break;
        case AssociationKind::BoardButton:
            SafeRelease(button_);
            break;
    }
}

void AssociationModel::RemoveAtIndex(int32_t index) {
    RemoveFromKindCollection(At(*all_, index));
    all_->RemoveAt(index);
    if (view_ != nullptr)
        view_->DeleteItem(index);
}

void AssociationModel::RemoveAssociation(int32_t index) {
    if (index < 0 || index >= all_->Count())
        return;
    RemoveAtIndex(index);
}

void AssociationModel::ClearAssociations() {
    SafeRelease(button_);
    for (ObjectList* list : {channels_, keys_, all_})
        list->Clear();
    if (view_ != nullptr)
        view_->ClearItems();
}

void AssociationModel::EnableUsedInputs(bool withBoardTargets) const {
    if (selectedJoystick_ == nullptr)
        return;
    JoystickInput* inputs = selectedJoystick_->Inputs();
    for (int32_t i = 0; i < selectedJoystick_->InputCount(); ++i) {
        inputs[i].Enabled.store(0, std::memory_order_relaxed);
        inputs[i].Changed = 0;
    }
    auto enable = [](const Association* association) {
        association->Input().Enabled.store(~0u, std::memory_order_relaxed);
        if (association->inputRef->parentHat != nullptr)
            association->inputRef->parentHat->Enabled.store(~0u, std::memory_order_relaxed);
    };
    if (withBoardTargets) {
        if (button_ != nullptr)
            enable(button_);
        for (int32_t i = 0; i < channels_->Count(); ++i)
            enable(At(*channels_, i));
    }
    // A key input starts every run at rest, whatever the last run left: the reading then
    // starts from rest too, so an input still held gives one press with the next report
    // and one released meanwhile gives no key-up that nothing pressed. Channels and the
    // board button keep their last values, which the start hands to the board.
    for (int32_t i = 0; i < keys_->Count(); ++i) {
        enable(At(*keys_, i));
        At(*keys_, i)->Input().StoreValue(0);
    }
}

void AssociationModel::ApplyInputsToBoard(BoardState& board, bool withChannels) const {
    // Any nonzero value presses the button: passing the value itself would store its low
    // byte, and a wide input at 256 would read as released.
    if (button_ != nullptr)
        board.SetPercent(kChannelButton, button_->Input().LoadValue() != 0 ? 1 : 0);
    if (!withChannels)
        return;
    for (int32_t i = channels_->Count() - 1; i >= 0; --i) {
        const Association* association = At(*channels_, i);
        board.SetRaw(static_cast<int32_t>(association->code),
                     static_cast<int32_t>(association->Input().LoadValue()));
    }
}
