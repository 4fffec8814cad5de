#include "movie/base/xml.h"

namespace orv::movie::base {

void appendXmlEscaped(std::string& out, std::string_view s) {
  for (char c : s) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
}

}  // namespace orv::movie::base
