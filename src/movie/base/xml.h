#pragma once
// Text written into XML and HTML: the five characters markup gives meaning to, as entities.
#include <string>
#include <string_view>

namespace orv::movie::base {

// Appends `s` with < > & " ' written as &lt; &gt; &amp; &quot; &apos;.
void appendXmlEscaped(std::string& out, std::string_view s);
inline std::string xmlEscaped(std::string_view s) {
  std::string out;
  appendXmlEscaped(out, s);
  return out;
}

}  // namespace orv::movie::base
