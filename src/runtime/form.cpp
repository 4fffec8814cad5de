#include "runtime/form.h"

#include "runtime/controls.h"
#include "runtime/errors.h"
#include "runtime/runtime.h"
#include "runtime/timer.h"

namespace orv {

Form::Form(Runtime& runtime, std::string name, FormDesign design)
    : runtime_(runtime),
      name_(std::move(name)),
      design_(std::move(design)),
      caption_(design_.caption) {
  menuBar_.dispatcher = [this](const std::function<void()>& handler) {
    runtime_.dispatch(handler);
  };
  menuBar_.onChange = [this](const MenuItem& item) {
    if (peer_) peer_->menuItemChanged(item);
  };
}

Form::~Form() {
  // A form destroyed while loaded goes without its unload handler (the program is ending).
  for (Timer* timer : timers_) timer->detach();
  for (Control* control : controls_) control->detach();
  if (peer_) {
    peer_.reset();
    runtime_.formUnloaded(*this);
  }
}

void Form::Load() {
  if (peer_) return;
  peer_ = runtime_.backend().createForm(*this);
  for (Control* control : controls_) control->attach(runtime_.backend(), *peer_);
  for (Timer* timer : timers_) timer->attach(runtime_.backend(), *peer_);
  runtime_.formLoaded(*this);
  Form_Load();
}

void Form::Show(ShowMode mode) {
  Load();
  if (!peer_) return;  // Form_Load unloaded the form
  peer_->setVisible(true);
  if (!shownOnce_) {
    shownOnce_ = true;
    onResized();
  }
  if (mode == ShowMode::Modal) runtime_.backend().runModal(*this);
}

void Form::Hide() {
  Load();
  if (peer_) peer_->setVisible(false);
}

void Form::Unload() {
  if (!peer_ || unloading_) return;
  unloading_ = true;
  int cancel = 0;
  try {
    Form_Unload(cancel);
  } catch (...) {
    unloading_ = false;
    throw;
  }
  unloading_ = false;
  if (cancel != 0) return;
  for (Timer* timer : timers_) timer->detach();
  for (Control* control : controls_) control->detach();
  peer_.reset();
  shownOnce_ = false;
  runtime_.formUnloaded(*this);
}

FormPeer& Form::window() {
  Load();
  if (!peer_) raiseError(err::InvalidProcedureCall);
  return *peer_;
}

float Form::Left() { return window().outerBounds().left; }
float Form::Top() { return window().outerBounds().top; }
float Form::Width() { return window().outerBounds().width; }
float Form::Height() { return window().outerBounds().height; }

void Form::setBounds(const TwipsRect& bounds) {
  FormPeer& w = window();
  if (w.windowState() != WindowState::Normal) raiseError(err::CantSizeMinMax);
  if (bounds.width < 0 || bounds.height < 0) raiseError(err::InvalidPropertyValue);
  w.setOuterBounds(bounds);
}

void Form::setLeft(float value) {
  TwipsRect b = window().outerBounds();
  b.left = value;
  setBounds(b);
}

void Form::setTop(float value) {
  TwipsRect b = window().outerBounds();
  b.top = value;
  setBounds(b);
}

void Form::setWidth(float value) {
  TwipsRect b = window().outerBounds();
  b.width = value;
  setBounds(b);
}

void Form::setHeight(float value) {
  TwipsRect b = window().outerBounds();
  b.height = value;
  setBounds(b);
}

float Form::ScaleWidth() { return window().clientWidth(); }
float Form::ScaleHeight() { return window().clientHeight(); }
WindowState Form::windowState() { return window().windowState(); }
void Form::setWindowState(WindowState state) { window().setWindowState(state); }
bool Form::Visible() { return peer_ && peer_->visible(); }

void Form::setVisible(bool visible) {
  if (visible)
    Show();
  else
    Hide();
}

void Form::setCaption(const std::string& caption) {
  caption_ = caption;
  if (peer_) peer_->setCaption(caption);
}

std::intptr_t Form::hWnd() { return window().handle(); }

void Form::onResized() {
  if (peer_) runtime_.dispatch([this] { Form_Resize(); });
}

void Form::onCloseRequested() {
  runtime_.dispatch([this] { Unload(); });
}

void Form::addControl(Control& control) { controls_.push_back(&control); }
void Form::addTimer(Timer& timer) { timers_.push_back(&timer); }
void Form::removeControl(Control& control) { std::erase(controls_, &control); }
void Form::removeTimer(Timer& timer) { std::erase(timers_, &timer); }

}  // namespace orv
