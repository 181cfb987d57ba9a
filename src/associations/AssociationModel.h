// The links from the selected joystick's inputs to board channels, the board button and
// keys: the records, the four collections of a session (held here, in an AssociationModel
// that EmulationSession owns as a member), the rules that add, replace and remove
// associations, and the list-box text of an association.
//
// Threads: everything here is changed on the user-interface thread only, and never while
// a run is active (the start of a run disables the controls that change it). During a run
// the association thread reads the collections without a lock.
#pragma once

#include <cstdint>

#include "core/ObjectList.h"
#include "core/RefObject.h"
#include "core/String.h"
#include "joystick/JoystickDevice.h"
#include "joystick/JoystickInput.h"

struct BoardState;

// A shared handle to one input of the selected device, as listed in the input combo box.
class InputRef : public RefObject {
  public:
    static constexpr int32_t kTypeId = kTypeInputRef;

    // parentHat: the eight-way hat that owns a direction sub-input, else null. Neither is owned.
    InputRef(JoystickInput* input, JoystickInput* parentHat) : input(input), parentHat(parentHat) {}

    int32_t GetTypeId() const override { return kTypeId; }

  private:
    InstanceCount<kTypeId> counted_;

  public:
    JoystickInput* input;
    JoystickInput* parentHat;

  protected:
    ~InputRef() override = default;
    bool IsOfType(int32_t typeId) const override { return typeId == kTypeId || RefObject::IsOfType(typeId); }
};

enum class AssociationKind : uint32_t {
    Key = 0,          // an emulated key
    BoardButton = 1,  // the board's push button, wire channel 3
    Channel = 2,      // a board sensor channel
};

class Association : public RefObject {
  public:
    static constexpr int32_t kTypeId = kTypeAssociation;

    // Takes one reference to inputRef.
    Association(InputRef* inputRef, AssociationKind kind, int32_t targetIndex, uint32_t code,
                uint32_t isChannel);

    int32_t GetTypeId() const override { return kTypeId; }
    JoystickInput& Input() const { return *inputRef->input; }

  private:
    InstanceCount<kTypeId> counted_;

  public:
    InputRef* inputRef;
    AssociationKind kind;
    // Key and BoardButton: the KeyTable index 0..43; Channel: the channel-name index 0..6.
    int32_t targetIndex;
    // Key: the KeyTable code; BoardButton: 3; Channel: the wire channel.
    uint32_t code;
    uint32_t isChannel;  // 1 for Channel, else 0

  protected:
    ~Association() override;
    bool IsOfType(int32_t typeId) const override { return typeId == kTypeId || RefObject::IsOfType(typeId); }
};

// The list box of existing associations (1046), as the model sees it. The main window
// implements it; the model calls it on every change, so that item i of the list is always
// item i of AllAssociations().
class AssociationListView {
  public:
    virtual void AppendItem(const char16_t* text) = 0;
    virtual void DeleteItem(int32_t index) = 0;
    virtual void ClearItems() = 0;

  protected:
    ~AssociationListView() = default;
};

// The list-box text: the input's DisplayName, " -> ", then the target's current text-table
// name (TargetName for keys and the board button, ChannelName for channels). A new String
// the caller releases, or null when memory ran out.
String* FormatAssociation(const Association& association);

// The main window's percentage of a joystick value, as its manual rows show it after a
// run: trunc(value x 100 / 1023) in single precision.
int32_t PercentOfValue(uint32_t value);

class AssociationModel {
  public:
    AssociationModel();
    ~AssociationModel();  // releases everything; the list view is not told
    AssociationModel(const AssociationModel&) = delete;
    AssociationModel& operator=(const AssociationModel&) = delete;

    // False when the collections could not be created (memory); the model is then unusable.
    bool IsValid() const;

    // The list box that mirrors AllAssociations(); null: none (changes are not reported).
    void SetListView(AssociationListView* view) { view_ = view; }

    // The selected joystick, held with one reference; null for "[Nenhum joystick]".
    JoystickDevice* SelectedJoystick() const { return selectedJoystick_; }
    // Takes a reference to device (may be null) and releases the previous one. Does not
    // touch inputRefs or the associations: the editor rebuilds those.
    void SetSelectedJoystick(JoystickDevice* device);

    // The inputs that can be associated, in the order of the input combo box.
    ObjectList& InputRefs() const { return *inputRefs_; }
    InputRef* InputRefAt(int32_t index) const;
    // Appends a new InputRef. kOk or kOutOfMemory.
    HResult AddInputRef(JoystickInput* input, JoystickInput* parentHat);
    // Releases every InputRef (associations keep theirs until they go).
    void ClearInputRefs();

    // The first InputRef whose input has this usage page and usage, or null.
    InputRef* FindInput(uint32_t usagePage, uint32_t usage) const;
    // The index in InputRefs() of the first input with this usage page and usage whose
    // taken[index] is 0, else of the first with them at all; -1 when none has them. A null
    // taken counts every input as free.
    int32_t FindInputIndex(uint32_t usagePage, uint32_t usage, const uint8_t* taken) const;
    // Whether index names a target of its list: 0..6 for channels, 0..43 for keys.
    static bool TargetExists(bool isChannel, int32_t targetIndex);

    // Links the first input with this usage page and usage (FindInput) to a target:
    // isChannel selects the channel list (index 0..6), else the key list (0..43, 0 being
    // the board button). Replaces any association that uses the same input or the same
    // kind and target, then appends the new one to its collection, to AllAssociations()
    // and to the list view. No matching input, or an index outside its list: nothing
    // changes. Returns kOk (also when nothing was to be done) or kOutOfMemory, in which
    // case nothing changed.
    HResult AddAssociation(uint32_t usagePage, uint32_t usage, bool isChannel, int32_t targetIndex);
    // The same for item inputIndex of InputRefs() itself, for an editor that binds the
    // input the user chose even when another input shares its usages.
    HResult AddAssociationForInput(int32_t inputIndex, bool isChannel, int32_t targetIndex);
    // Removes item index of AllAssociations() from every collection and the list view;
    // an index out of range does nothing.
    void RemoveAssociation(int32_t index);
    // Removes every association and empties the list view.
    void ClearAssociations();

    ObjectList& AllAssociations() const { return *all_; }
    ObjectList& KeyAssociations() const { return *keys_; }
    ObjectList& ChannelAssociations() const { return *channels_; }
    Association* ButtonAssociation() const { return button_; }
    static Association* At(const ObjectList& list, int32_t index) {
        return static_cast<Association*>(list.At(index));
    }

    // Start of a run, before StartReading: disables every button, axis and hat of the
    // selected device (clearing Changed), then enables the inputs the associations use,
    // with the hat of a direction sub-input. withBoardTargets false (joystick-only run):
    // only the key associations' inputs. The key associations' inputs start at rest (Value 0).
    void EnableUsedInputs(bool withBoardTargets) const;
    // Start and stop of a run: the board takes the associated inputs' current values: the
    // button association's (pressed for any nonzero value), then, with channels, each
    // channel association's through SetRaw, from the last to the first. The window hides or
    // shows the rows of ChannelAssociations() and updates them with PercentOfValue.
    void ApplyInputsToBoard(BoardState& board, bool withChannels) const;

  private:
    void RemoveFromKindCollection(Association* association);
    void RemoveAtIndex(int32_t index);
    HResult Add(InputRef* inputRef, bool isChannel, int32_t targetIndex);

    ObjectList* inputRefs_;
    ObjectList* all_;
    ObjectList* keys_;
    ObjectList* channels_;
    Association* button_ = nullptr;
    JoystickDevice* selectedJoystick_ = nullptr;
    AssociationListView* view_ = nullptr;
};
