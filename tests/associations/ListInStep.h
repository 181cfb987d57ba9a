// The association model's invariant, shared by the association tests and the profile
// record fuzz target: the list view shows AllAssociations() index for index, the kinds'
// collections hold them all, and no two share an input or a target. RecordingList is the
// list view both give the model.
#pragma once

#include <string>
#include <vector>

#include "associations/AssociationModel.h"

class RecordingList : public AssociationListView {
  public:
    void AppendItem(const char16_t* text) override { items.emplace_back(text); }
    void DeleteItem(int32_t index) override {
        items.at(index);  // an index outside the list throws, which fails a test or stops the fuzzer
        items.erase(items.begin() + index);
    }
    void ClearItems() override { items.clear(); }
    std::vector<std::u16string> items;
};

inline bool ListInStep(const AssociationModel& model, const std::vector<std::u16string>& items) {
    const ObjectList& all = model.AllAssociations();
    bool ok = items.size() == static_cast<size_t>(all.Count()) &&
              all.Count() == model.KeyAssociations().Count() + model.ChannelAssociations().Count() +
                                 (model.ButtonAssociation() != nullptr ? 1 : 0);
    for (int32_t i = 0; ok && i < all.Count(); ++i) {
        const Association* a = AssociationModel::At(all, i);
        String* text = FormatAssociation(*a);
        ok = text != nullptr && items[i] == text->Chars();
        SafeRelease(text);
        for (int32_t j = 0; ok && j < i; ++j) {
            const Association* b = AssociationModel::At(all, j);
            ok = a->inputRef != b->inputRef && (a->kind != b->kind || a->targetIndex != b->targetIndex);
        }
    }
    return ok;
}
