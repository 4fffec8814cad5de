// TextFormat objects: a movie::TextFormat a script reads and writes through the
// accessors of TextFormat.prototype. Shared by TextFormat and TextField.
#pragma once

#include "movie/text/edit_text.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

class TextFormatObject : public Object {
 public:
  TextFormatObject() : Object(ObjectKind::Other) { className = "TextFormat"; }
  movie::TextFormat format;
};

// A new TextFormat object (TextFormat.prototype as its prototype) holding `format`.
TextFormatObject* newTextFormatObject(Vm& vm, const movie::TextFormat& format);
// The format a script value holds; nullptr when it is not a TextFormat object.
const movie::TextFormat* textFormatOf(const Value& v);
// What getTextExtent measures: `text` in `format`, wrapped at `width` pixels when given.
Object* measureTextExtent(Vm& vm, const movie::TextFormat& format, const std::string& text,
                          double width);

// TextSnapshot and MovieClip.getTextSnapshot (installTextFieldBuiltins calls it).
void installTextSnapshotBuiltins(Vm& vm);

// Hosts call this for each edit text with a variable as it is placed and once a frame:
// the field takes the variable's value; a field placed with text of its own gives it to
// an unset variable.
void syncTextFieldVariable(Vm& vm, ScriptClip* field, bool placing);

// The user typed into `field`: its variable takes the new text, then its onChanged
// method and its listeners' onChanged(field) run.
void fieldTextTyped(Vm& vm, ScriptClip* field);

// The keyboard focus Selection holds: the focused clip, button or field (nullptr: none).
ScriptClip* keyboardFocus(Vm& vm);
// Moves it to `clip` (nullptr: nowhere) as Selection.setFocus does, with the objects'
// onKillFocus/onSetFocus and Selection's listeners (the caller has decided that `clip`
// takes the focus, as Tab does for clips whose tabEnabled is true).
bool moveKeyboardFocus(Vm& vm, ScriptClip* clip);

}  // namespace orv::movie::avm1
