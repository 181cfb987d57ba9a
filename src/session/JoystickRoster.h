// The joysticks the program offers, free of the window: which pads are listed and in what
// order, which pad an arrival is (the same pad back under a new handle, or another), what
// a re-listing adds and removes where the system sends no notifications, and what choosing
// another pad does (stop reading the old one, carry the links over, drop pads that went).
// The session owns it; the window forwards the reader's news, WM_DEVICECHANGE and the
// selector's changes, and shows what this decides through RosterView.
//
// Threads: every method runs on the user-interface thread. The reader thread marks a pad
// it reads as gone (and rests it) before it tells the window.
#pragma once

#include <cstdint>

#include "associations/AssociationModel.h"
#include "core/ObjectList.h"
#include "core/Status.h"
#include "joystick/JoystickDevice.h"

// What the joysticks that come and go need of the platform, as a table so that tests can
// list pads of their own.
struct JoystickPlatform {
    // The device of a raw-input device as enumeration builds one, or null.
    JoystickDevice* (*MakeJoystick)(void* rawHandle);
    // The raw handles of the pads the system lists now (at most capacity) in *count; a
    // failed listing returns its code and says nothing about the pads.
    HResult (*ListJoysticks)(void** handles, uint32_t capacity, uint32_t* count);
    // Has the reader rest the device with this handle and tell the window it went; false
    // when that could not be arranged now (the next re-listing tries again).
    bool (*PostRemoval)(void* rawHandle);
};

// What the roster asks of the window.
class RosterView {
  public:
    // The joystick selector, whose entries follow List(): one appended, one removed, and
    // one's text, its name marked while the pad is away; after each change the roster says
    // which entry to show selected (index in List(), -1 for "[Nenhum joystick]").
    virtual void AddJoystickEntry(const char16_t* name) = 0;
    virtual void RemoveJoystickEntry(int32_t index) = 0;
    virtual void ShowJoystickEntry(int32_t index, const char16_t* name, bool away) = 0;
    virtual void SelectJoystickEntry(int32_t index) = 0;
    // The editor below the selector lists the chosen pad's inputs, building the model's
    // input list in the editor's order, or (null) hides itself.
    virtual void ShowEditor(JoystickDevice* device) = 0;

  protected:
    ~RosterView() = default;
};

class JoystickRoster {
  public:
    // model: whose selected joystick this chooses; stopReading: the run's StopReading.
    JoystickRoster(RosterView& view, AssociationModel& model, const JoystickPlatform& platform,
                   void (*stopReading)(JoystickDevice& device));
    ~JoystickRoster();
    JoystickRoster(const JoystickRoster&) = delete;
    JoystickRoster& operator=(const JoystickRoster&) = delete;

    // The listed joysticks, in the system's order; never null once prepared.
    ObjectList* List() const { return joysticks_; }

    // Takes over the list of enumerated joysticks (null: none were found) and prepares each
    // as the editor needs it: axes normalised, eight-way hats given their directions.
    void Prepare(ObjectList* found);
    // A joystick the system lists anew, built as enumeration builds one (null: nothing to
    // add); the reference passes here. The same pad come back is bound again under its new
    // handle, and a run that reads it goes on with it; another pad joins the list, prepared.
    void OnArrived(JoystickDevice* device);
    // The system no longer lists the device with this handle (the reader has rested it if
    // it was read). The selected pad stays, with its associations, marked away; another
    // leaves the list.
    void OnRemoved(void* rawHandle);
    // The reader's news (JoystickReader_win.cpp): a device with this handle arrived or went.
    void OnChange(bool arrival, void* rawHandle);
    // Where the system sends no device notifications: the pads it lists now against those
    // listed here. A listing that fails changes nothing.
    void Relist();
    // The user chose selector entry index (in List(), -1 for none). editable false (a run,
    // or a worker of an earlier one, reads the lists): refused, the selector goes back.
    void Select(int32_t index, bool editable);
    // Pads that went away and are no longer selected leave.
    void DropAway();
    // The selector shows the selected joystick.
    void ShowSelection();

  private:
    // The listed, connected joystick with this raw handle, or null.
    JoystickDevice* FindConnected(void* rawHandle) const;
    JoystickDevice* JoystickAt(int32_t index) const;
    // The first listed joystick with this raw handle, connected or (connectedOnly false) not.
    JoystickDevice* FindByHandle(void* rawHandle, bool connectedOnly) const;
    void Remove(int32_t index);
    // An arrival; going: pads the re-listing found gone whose removal is still on its way.
    void Arrived(JoystickDevice* device, JoystickDevice* const* going, int32_t goingCount);

    RosterView& view_;
    AssociationModel& model_;
    const JoystickPlatform& platform_;
    void (*stopReading_)(JoystickDevice& device);
    ObjectList* joysticks_ = nullptr;
};
