// Upper and lower case of UTF-16 units, by the simple case mappings of the Basic
// Multilingual Plane (one unit to one unit; "ß" stays "ß").
#pragma once

namespace orv::movie {

char16_t toUpperUnit(char16_t c);
char16_t toLowerUnit(char16_t c);

}  // namespace orv::movie
