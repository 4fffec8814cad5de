#pragma once
// A text field of the ActionScript 3 machine over the engine's edit text state: the same
// model, layout and drawing ActionScript 1/2's fields have.
#include <memory>

#include "movie/avm2/text_host.h"
#include "movie/text/edit_text.h"

namespace orv::movie {

std::unique_ptr<avm2::TextFieldAccess> textFieldAccess(std::shared_ptr<EditTextState> field);

}  // namespace orv::movie
