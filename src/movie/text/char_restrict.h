#pragma once
// A field's restrict list: which typed or pasted characters it takes.
#include <optional>
#include <string>

namespace orv::movie {

// The character a field whose restrict list is `restrict` takes for `c`: `c` itself when
// the list lets it in, else an ASCII letter in its other case when that one is let in;
// none when neither is. The list names characters and ranges ("a-z", "-9" from the first
// character); ^ switches between characters let in and left out, \ takes the next
// character as it is. A list that starts with ^ lets in all but what it leaves out; an
// empty list takes nothing, no list everything.
std::optional<char32_t> restrictedChar(const std::optional<std::string>& restrict, char32_t c);

}  // namespace orv::movie
