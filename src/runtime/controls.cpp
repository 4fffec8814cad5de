#include "runtime/controls.h"

#include "runtime/errors.h"
#include "runtime/form.h"
#include "runtime/runtime.h"

namespace orv {

Control::Control(Form& owner, ControlKind kind, std::string name, TwipsRect bounds, int tabIndex)
    : owner_(owner), kind_(kind), name_(std::move(name)), bounds_(bounds), tabIndex_(tabIndex) {
  owner_.addControl(*this);
}

Control::~Control() { owner_.removeControl(*this); }

void Control::setLeft(float value) {
  TwipsRect b = bounds_;
  b.left = value;
  move(b);
}

void Control::setTop(float value) {
  TwipsRect b = bounds_;
  b.top = value;
  move(b);
}

void Control::setWidth(float value) {
  TwipsRect b = bounds_;
  b.width = value;
  move(b);
}

void Control::setHeight(float value) {
  TwipsRect b = bounds_;
  b.height = value;
  move(b);
}

void Control::move(const TwipsRect& bounds) {
  if (bounds.width < 0 || bounds.height < 0) raiseError(err::InvalidPropertyValue);
  bounds_ = bounds;
  if (peer_) peer_->setBounds(bounds_);
  boundsChanged();
}

void Control::setVisible(bool visible) {
  visible_ = visible;
  if (peer_) peer_->setVisible(visible);
}

void Control::attach(Backend& backend, FormPeer& parent) {
  if (kind_ == ControlKind::Invisible) return;
  peer_ = backend.createControl(*this, parent);
  if (!peer_) return;
  peer_->setBounds(bounds_);
  peer_->setText(peerText());
  peer_->setVisible(visible_);
}

void Control::detach() { peer_.reset(); }

void Control::refreshText() {
  if (peer_) peer_->setText(peerText());
}

Label::Label(Form& owner, std::string name, TwipsRect bounds, int tabIndex, std::string caption)
    : Control(owner, ControlKind::Label, std::move(name), bounds, tabIndex),
      caption_(std::move(caption)) {}

void Label::setCaption(const std::string& caption) {
  caption_ = caption;
  refreshText();
}

CommandButton::CommandButton(Form& owner, std::string name, TwipsRect bounds, int tabIndex,
                             std::string caption, bool isDefault, bool isCancel)
    : Control(owner, ControlKind::CommandButton, std::move(name), bounds, tabIndex),
      caption_(std::move(caption)),
      default_(isDefault),
      cancel_(isCancel) {}

void CommandButton::click() {
  if (onClick) owner().runtime().dispatch(onClick);
}

PictureBox::PictureBox(Form& owner, std::string name, TwipsRect bounds, int tabIndex,
                       bool showsIcon)
    : Control(owner, ControlKind::PictureBox, std::move(name), bounds, tabIndex),
      showsIcon_(showsIcon) {}

}  // namespace orv
