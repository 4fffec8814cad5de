// flash.text: TextFormat objects (a character format whose unset fields read null) and
// the text field classes over the host's text fields.
#pragma once

#include "movie/avm2/machine.h"
#include "movie/avm2/text_host.h"

namespace orv::movie::avm2 {

class TextFormatObject : public Object {
 public:
  using Object::Object;
  TextStyle style;
};

// A new TextFormat holding `style`.
Value makeTextFormat(Machine& m, const TextStyle& style);
// The format a TextFormat argument holds; TypeError #2007 for null, #1034 for others.
const TextStyle& textFormatArg(Machine& m, const Value& v, const char* param);

void installTextFormat(Machine& m);  // TextFormat and the string constants of flash.text
void installTextFields(Machine& m);  // TextField, StaticText, Font

}  // namespace orv::movie::avm2
