#include "runtime/runtime.h"

#include <algorithm>

#include "runtime/errors.h"

namespace orv {

Runtime::Runtime(Backend& backend) : backend_(backend) {}

float Runtime::screenWidthTwips() {
  const ScreenFacts s = backend_.screen();
  return static_cast<float>(s.widthPixels) * s.twipsPerPixelX;
}

float Runtime::screenHeightTwips() {
  const ScreenFacts s = backend_.screen();
  return static_cast<float>(s.heightPixels) * s.twipsPerPixelY;
}

void Runtime::dispatch(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const RuntimeError& error) {
    backend_.reportUntrappedError(error);
  }
}

void Runtime::formLoaded(Form& form) {
  if (std::find(loaded_.begin(), loaded_.end(), &form) == loaded_.end()) loaded_.push_back(&form);
}

void Runtime::formUnloaded(Form& form) {
  std::erase(loaded_, &form);
  if (loaded_.empty()) backend_.lastFormUnloaded();
}

}  // namespace orv
