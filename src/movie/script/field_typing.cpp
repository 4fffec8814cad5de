// What the user types goes into the input field that has the keyboard focus.
#include <algorithm>

#include "movie/edit_text.h"
#include "movie/script/text_format_object.h"
#include "movie/script/timeline_bridge.h"

namespace orv::movie::script {

namespace {

// Key codes as Player::keyPress names them.
constexpr int kLeft = 1, kRight = 2, kHome = 3, kEnd = 4, kDelete = 6, kBackspace = 8, kEnter = 13;

// Whether `c` passes the field's restrict list ("A-Z0-9", "^abc": ranges, a leading ^
// for the characters left out, \ before a character taken as it is).
bool allowed(const std::optional<std::string>& restrict, char32_t c) {
    if (!restrict) return true;
    const std::u32string r = decodeText(*restrict, true);
    if (r.empty()) return false;  // an empty list lets nothing in
    bool excluding = false, result = false;
    for (size_t i = 0; i < r.size(); ++i) {
        if (r[i] == U'^') {
            // A list that starts with ^ allows all but what follows; later ^ switch.
            if (i == 0) result = true;
            excluding = !excluding;
            continue;
        }
        char32_t from = r[i];
        if (from == U'\\' && i + 1 < r.size()) from = r[++i];
        char32_t to = from;
        if (i + 2 < r.size() && r[i + 1] == U'-') {
            to = r[i + 2];
            if (to == U'\\' && i + 3 < r.size()) to = r[++i + 2];
            i += 2;
        }
        if (c >= from && c <= to) result = !excluding;
    }
    return result;
}

// Whether the field's box covers the stage point (twips).
bool fieldCovers(DisplayObject& field, double x, double y) {
    swf::Matrix toStage;
    for (DisplayObject* d = &field; d; d = d->parent) toStage = d->matrix * toStage;
    const std::optional<swf::Matrix> inverse = toStage.inverted();
    if (!inverse) return false;
    const double fx = inverse->mapX(x, y), fy = inverse->mapY(x, y);
    const swf::Rect& box = field.editText->def().bounds;
    return fx >= box.xMin && fx <= box.xMax && fy >= box.yMin && fy <= box.yMax;
}

}  // namespace

bool TimelineBridge::typeIntoFocusedField(int code) {
    DisplayObject* object = focusedObject();
    if (!object || !object->editText || !object->editText->input) return false;
    EditTextState& field = *object->editText;
    const size_t length = field.chars().size();
    size_t caret = std::min(field.caretIndex, length);
    bool changed = false;
    switch (code) {
    case kLeft: caret = caret > 0 ? caret - 1 : 0; break;
    case kRight: caret = std::min(length, caret + 1); break;
    case kHome: caret = 0; break;
    case kEnd: caret = length; break;
    case kBackspace:
        if (caret > 0) {
            field.replaceText(caret - 1, caret, U"");
            --caret;
            changed = true;
        }
        break;
    case kDelete:
        if (caret < length) {
            field.replaceText(caret, caret + 1, U"");
            changed = true;
        }
        break;
    default: {
        char32_t c = 0;
        if (code == kEnter) {
            if (!field.def().multiline) return true;
            c = U'\r';
        } else if (code >= 32 && code != 127) {
            c = char32_t(code);
            if (!allowed(field.restrict, c)) return true;
        } else {
            return true;  // other keys do nothing in a field
        }
        const size_t most = field.def().maxLength > 0 ? field.def().maxLength : EditTextState::kMaxChars;
        if (length >= most) return true;
        field.replaceText(caret, caret, std::u32string(1, c));
        ++caret;
        changed = true;
    }
    }
    field.caretIndex = caret;
    if (changed) fieldTextTyped(*vm_, bridgeFor(object));
    return true;
}

bool TimelineBridge::focusFieldAt(double x, double y) {
    // The topmost input field under the point: the last one found, children after parents
    // and later depths after earlier ones.
    DisplayObject* hit = nullptr;
    for (auto& weak : clipsParentsFirst()) {
        auto clip = weak.lock();
        MovieClip* c = clip ? clip->asClip() : nullptr;
        if (!c) continue;
        for (auto& [depth, child] : c->displayList()) {
            if (!child->visible) continue;
            // Fields no script has touched get their state when the user reaches them.
            const auto* edit = child->character ? std::get_if<swf::EditTextDef>(child->character) : nullptr;
            if (!child->editText && !(edit && !edit->readOnly)) continue;
            const EditTextState* field = fieldStateOf(*child);
            if (!field || !field->input) continue;
            if (fieldCovers(*child, x * 20, y * 20)) hit = child.get();
        }
    }
    if (!hit) return false;
    if (focusedObject() != hit) focusObject(hit);
    hit->editText->caretIndex = hit->editText->chars().size();
    return true;
}

}  // namespace orv::movie::script
