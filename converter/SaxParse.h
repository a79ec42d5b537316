// Small helpers around orcus's SAX parser for the workbook readers.
#pragma once

#include <orcus/sax_parser.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace sax {

// Parses a whole part with a handler; the parser wants the bytes in one piece.
// On damaged parts the parser looks up to two bytes past the end: at the end
// of a part cut short inside a tag (say "<a b"), and one further after an
// unclosed attribute value holding an entity. The copy it reads carries a zero
// byte and then a '!' there; both stop it with an error, the '!' because no
// name can begin with it.
template <typename Handler>
void Parse(const char* xml, std::size_t size, Handler& handler) {
  std::string padded(xml, size);
  padded.append("\0!", 2);
  orcus::sax_parser<Handler> parser(padded.data(), size, handler);
  parser.parse();
}

template <typename Handler>
void Parse(const std::vector<unsigned char>& xml, Handler& handler) {
  Parse(reinterpret_cast<const char*>(xml.data()), xml.size(), handler);
}

// The parser reports an element's attributes before the element itself; a
// handler keeps them here until start_element and reads them from there.
struct AttributeHandler : orcus::sax_handler {
  struct Attribute {
    std::string ns, name, value;
  };
  std::vector<Attribute> attributes;
  std::size_t count = 0;

  void attribute(const orcus::sax::parser_attribute& a) {
    if (count == attributes.size()) attributes.emplace_back();
    Attribute& slot = attributes[count++];
    slot.ns = a.ns;
    slot.name = a.name;
    slot.value = a.value;
  }
  // The attribute of that local name of the element just started, or nullptr.
  const Attribute* Find(std::string_view name) const {
    for (std::size_t i = 0; i < count; ++i)
      if (attributes[i].name == name) return &attributes[i];
    return nullptr;
  }
  std::string ValueOf(std::string_view name) const {
    const Attribute* a = Find(name);
    return a ? a->value : std::string();
  }
  void Forget() { count = 0; }
};

}  // namespace sax
