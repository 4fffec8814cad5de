#pragma once

#include <functional>
#include <memory>

namespace orv {

// A window that comes into being, loaded and hidden, the first time code refers to it,
// and stays until it is unloaded.
template <class F>
class FormRef {
 public:
  using Factory = std::function<std::unique_ptr<F>()>;
  explicit FormRef(Factory factory) : factory_(std::move(factory)) {}

  F& get() {
    if (!form_) {
      form_ = factory_();
      form_->Load();
    }
    return *form_;
  }
  F* operator->() { return &get(); }
  bool exists() const { return form_ != nullptr; }
  F* ifExists() const { return form_.get(); }

  // Unloads the window (its unload handler runs) and forgets it; the next reference
  // creates a fresh one.
  void unload() {
    if (!form_) return;
    form_->Unload();
    if (!form_->loaded()) form_.reset();
  }

 private:
  Factory factory_;
  std::unique_ptr<F> form_;
};

}  // namespace orv
