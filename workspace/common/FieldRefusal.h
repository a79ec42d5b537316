// A field the exchange refused while reading the controls: which one, and the
// message the operator is shown before the field gets the focus again.
#pragma once

#include <string>

template <class Field>
struct FieldRefusal {
  Field field;
  std::string message;
};
