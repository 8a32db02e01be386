#include "support/text.h"

#include <cstdio>

std::string printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 32 || c >= 127) {
      char buffer[8];
      snprintf(buffer, sizeof buffer, "\\x%02X", c);
      out += buffer;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string located(const std::string& lines) {
  std::string out;
  size_t begin = 0;
  while (begin < lines.size()) {
    size_t end = lines.find('\n', begin) + 1;
    out += "\"src.c\" (1) " + lines.substr(begin, end - begin);
    begin = end;
  }
  return out;
}

Options wall_options() {
  Options options = default_options();
  options.wall = 1;
  return options;
}
