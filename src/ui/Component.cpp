#include "ui/Component.h"

#include <algorithm>

namespace horalog::ui {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  if (owner_) {
    auto& list = owner_->components_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    owner_->Notification(this, TOperation::Remove);
    // A copy: a notified component must not change the list under us.
    std::vector<TComponent*> siblings = list;
    for (TComponent* sibling : siblings) sibling->Notification(this, TOperation::Remove);
  }
  for (TComponent* child : components_) child->owner_ = nullptr;
}

void TComponent::Notification(TComponent*, TOperation) {}

}  // namespace horalog::ui
