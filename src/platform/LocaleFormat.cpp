#include "platform/LocaleFormat.h"

namespace horalog::platform {

std::string PatternFromWindowsPicture(std::string_view picture) {
  std::string out;
  size_t i = 0;
  while (i < picture.size()) {
    const char c = picture[i];
    size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    switch (c) {
      case 'd':
        out.append(run > 4 ? 4 : run, 'd');
        break;
      case 'M':
        out.append(run > 4 ? 4 : run, 'm');
        break;
      case 'y':
        out += run <= 2 ? "yy" : "yyyy";
        break;
      case 'h':
      case 'H':
        out.append(run >= 2 ? 2 : 1, 'h');
        break;
      case 'm':
        out.append(run >= 2 ? 2 : 1, 'n');
        break;
      case 's':
        out.append(run >= 2 ? 2 : 1, 's');
        break;
      case 't':
        out += "ampm";
        break;
      case 'g':
        // The era is not shown; drop a space that only separated it.
        if (!out.empty() && out.back() == ' ') out.pop_back();
        break;
      case '\'': {
        // Quoted text: '' inside quotes is one quote.
        std::string literal;
        size_t j = i + 1;
        while (j < picture.size()) {
          if (picture[j] == '\'') {
            if (j + 1 < picture.size() && picture[j + 1] == '\'') {
              literal += '\'';
              j += 2;
              continue;
            }
            break;
          }
          literal += picture[j++];
        }
        if (!literal.empty()) out += '"' + literal + '"';
        i = j < picture.size() ? j + 1 : j;
        continue;
      }
      case '"':
        out += "'\"'";
        break;
      default:
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
          // A letter that is no token of the picture is text.
          out += '"' + std::string(run, c) + '"';
        } else {
          out.append(run, c);
        }
        break;
    }
    i += run;
  }
  return out;
}

}  // namespace horalog::platform
