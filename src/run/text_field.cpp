#include "run/text_field.hpp"

std::string field_without_tab(const char* text) {
  std::string field = text;
  if (!field.empty() && field.back() == '\t') field.pop_back();
  for (char& c : field) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return field;
}
