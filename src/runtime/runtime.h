#pragma once

#include <functional>
#include <vector>

#include "runtime/backend.h"

namespace orv {

class Form;

// The run-time the windows stand on: the platform backend, the list of loaded windows,
// and the dispatcher through which every event reaches its handler.
class Runtime {
 public:
  explicit Runtime(Backend& backend);
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  Backend& backend() { return backend_; }
  SystemApi& module1() { return backend_.system(); }
  AppFacts app() { return backend_.appFacts(); }
  ScreenFacts screen() { return backend_.screen(); }
  float screenWidthTwips();
  float screenHeightTwips();

  // Runs an event handler. An error no handler trapped is reported by the backend,
  // which ends the program.
  void dispatch(const std::function<void()>& handler);

  const std::vector<Form*>& loadedForms() const { return loaded_; }
  void formLoaded(Form& form);
  void formUnloaded(Form& form);

 private:
  Backend& backend_;
  std::vector<Form*> loaded_;
};

}  // namespace orv
