// A named object with an owner. When a component goes away, the other
// components of its owner are told, so that none keeps a reference to it.
#pragma once

#include <string>
#include <vector>

namespace horalog::ui {

enum class TOperation { Remove };

class TComponent {
 public:
  explicit TComponent(TComponent* owner = nullptr);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }

  // Told when a component of the same owner goes away.
  virtual void Notification(TComponent* component, TOperation operation);
  // Runs once after the owner has set the component's properties up.
  virtual void Loaded() {}

 private:
  TComponent* owner_;
  std::vector<TComponent*> components_;  // not owned
};

}  // namespace horalog::ui
