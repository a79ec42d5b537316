#include "data/FieldReader.h"

std::optional<std::string_view> FieldReader::Next(std::string_view separators) {
  while (position_ < text_.size() && separators.find(text_[position_]) != std::string_view::npos) ++position_;
  if (position_ >= text_.size()) return std::nullopt;
  const std::size_t start = position_;
  while (position_ < text_.size() && separators.find(text_[position_]) == std::string_view::npos) ++position_;
  const std::string_view field = std::string_view(text_).substr(start, position_ - start);
  if (position_ < text_.size()) ++position_;  // the separator that ended the field
  return field;
}

std::string MarkEmptyNames(std::string_view reply) {
  std::string out;
  out.reserve(reply.size() + 4);
  for (std::size_t i = 0; i < reply.size(); ++i) {
    out += reply[i];
    if (reply[i] == ',' && i + 1 < reply.size() && reply[i + 1] == '\n') out += ' ';
  }
  return out;
}
