#pragma once

#include <functional>
#include <memory>
#include <string>

#include "runtime/backend.h"

namespace orv {

class Form;

// Invisible controls have no window of their own.
enum class ControlKind { Label, CommandButton, PictureBox, Surface, Invisible };

// A visible control placed in its form's client area (positions in twips).
class Control {
 public:
  Control(Form& owner, ControlKind kind, std::string name, TwipsRect bounds, int tabIndex);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  Form& owner() const { return owner_; }
  ControlKind kind() const { return kind_; }
  const std::string& name() const { return name_; }
  int TabIndex() const { return tabIndex_; }

  float Left() const { return bounds_.left; }
  float Top() const { return bounds_.top; }
  float Width() const { return bounds_.width; }
  float Height() const { return bounds_.height; }
  // A negative width or height raises error 380, as it does on Windows.
  void setLeft(float value);
  void setTop(float value);
  void setWidth(float value);
  void setHeight(float value);
  void move(const TwipsRect& bounds);
  const TwipsRect& bounds() const { return bounds_; }

  bool Visible() const { return visible_; }
  void setVisible(bool visible);

  // The owning form's window came into being / went away.
  virtual void attach(Backend& backend, FormPeer& parent);
  virtual void detach();

 protected:
  ControlPeer* peer() const { return peer_.get(); }
  // Controls that show text pass it on attach.
  virtual std::string peerText() const { return ""; }
  virtual void boundsChanged() {}
  void refreshText();
  std::unique_ptr<ControlPeer> peer_;

 private:
  Form& owner_;
  ControlKind kind_;
  std::string name_;
  TwipsRect bounds_;
  int tabIndex_;
  bool visible_ = true;
};

class Label : public Control {
 public:
  Label(Form& owner, std::string name, TwipsRect bounds, int tabIndex, std::string caption);
  const std::string& Caption() const { return caption_; }
  void setCaption(const std::string& caption);

 protected:
  std::string peerText() const override { return caption_; }

 private:
  std::string caption_;
};

class CommandButton : public Control {
 public:
  CommandButton(Form& owner, std::string name, TwipsRect bounds, int tabIndex, std::string caption,
                bool isDefault = false, bool isCancel = false);
  const std::string& Caption() const { return caption_; }
  bool Default() const { return default_; }
  bool Cancel() const { return cancel_; }
  // The handler wired to the click event.
  std::function<void()> onClick;
  // The user pressed the button; runs the handler through the dispatcher.
  void click();

 protected:
  std::string peerText() const override { return caption_; }

 private:
  std::string caption_;
  bool default_, cancel_;
};

// A picture box showing the program's icon.
class PictureBox : public Control {
 public:
  PictureBox(Form& owner, std::string name, TwipsRect bounds, int tabIndex, bool showsIcon);
  bool showsIcon() const { return showsIcon_; }

 private:
  bool showsIcon_;
};

}  // namespace orv
