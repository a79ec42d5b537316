// Small helpers around orcus's SAX parser for the workbook readers.
#pragma once

#include <orcus/sax_parser.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace sax {

// Parses XML with a handler. On damaged parts the parser looks up to two bytes
// past the end: at the end of a part cut short inside a tag (say "<a b"), and
// one further after an unclosed attribute value holding an entity. The caller
// guarantees two readable bytes there.
template <typename Handler>
void ParseWithTwoBytesBehind(const char* xml, std::size_t size, Handler& handler) {
  orcus::sax_parser<Handler> parser(xml, size, handler);
  parser.parse();
}

// Parses a whole part in place. A zero byte and then a '!' are put behind it
// for the parser (both stop it with an error, the '!' because no name can begin
// with it) and taken away again; ZipPackage leaves room for them.
template <typename Handler>
void Parse(std::vector<unsigned char>& xml, Handler& handler) {
  const std::size_t size = xml.size();
  xml.push_back('\0');
  xml.push_back('!');
  struct Unpad {
    std::vector<unsigned char>& xml;
    std::size_t size;
    ~Unpad() { xml.resize(size); }
  } unpad{xml, size};
  ParseWithTwoBytesBehind(reinterpret_cast<const char*>(xml.data()), size, handler);
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
