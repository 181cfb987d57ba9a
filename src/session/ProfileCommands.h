// The rules of the profile commands of the main window's "..." menu, free of the window:
// open, save and delete a named set of associations. They say when a command is refused,
// what to ask (the name, the question before replacing or deleting) and what to show; the
// window only shows the dialog and the boxes (ProfileView) over the registry (ProfileStore).
//
// Opening replaces the association lists, which a run's association thread reads without
// a lock and whose key records it sized at its start: it is refused while the lists must
// not change (the menu also greys it out then). Saving and deleting only read the lists.
// User-interface thread only.
#pragma once

#include <cstdint>

#include "associations/AssociationModel.h"
#include "core/Buffer.h"
#include "core/Status.h"
#include "core/String.h"

// What the profile commands ask of the window.
class ProfileView {
  public:
    // The profile name dialog under title, in open and delete mode (existingOnly) or save
    // mode: the accepted name, or null when cancelled; *exists, whether it names a saved
    // profile.
    virtual String* AskProfileName(const char16_t* title, bool existingOnly, bool* exists) = 0;
    // The question with OK and Cancel, Cancel the default: true only for OK.
    virtual bool Confirm(const char16_t* question) = 0;
    // A box under the profile commands' caption: information, an error, or the system's
    // text for code.
    virtual void ShowProfileInfo(const char16_t* text) = 0;
    virtual void ShowProfileError(const char16_t* text) = 0;
    virtual void ShowProfileFailure(HResult code) = 0;

  protected:
    ~ProfileView() = default;
};

// The saved profiles, as a table so that tests can stand in for the registry.
struct ProfileStore {
    // The record under name, empty when there is none; null when the key was refused.
    Buffer* (*Read)(const char16_t* name);
    HResult (*Write)(const char16_t* name, const void* bytes, uint32_t length);
    HResult (*Delete)(const char16_t* name);
};

class ProfileCommands {
  public:
    ProfileCommands(ProfileView& view, const ProfileStore& store, AssociationModel& model)
        : view_(view), store_(store), model_(model) {}

    // "Abrir perfil": editable false (a run, or a worker of an earlier one, reads the
    // lists) refuses it without a word. A record that is not valid is refused with a box.
    void Open(bool editable);
    // "Salvar perfil": asks before replacing a saved profile; a refused store is told.
    void Save();
    // "Excluir perfil": always asks first; a refused delete is told.
    void Delete();

  private:
    // False, after telling the user, while "[Nenhum joystick]" is selected.
    bool JoystickChosen();
    // Asks opening + name + "\"?", the closing quote and mark never translated; a question
    // that cannot be made for want of memory counts as Cancel.
    bool Confirm(const char16_t* opening, const String& name);

    ProfileView& view_;
    const ProfileStore& store_;
    AssociationModel& model_;
};
