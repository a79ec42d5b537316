// Numbers as a person types them into an editor field or a workbook holds
// them as cell text, with what each field makes of them: the article editor
// and the converter are both held to this one table.
#pragma once

#include <optional>

enum class NumberField { PluNumber, Barcode, Price, SecondPrice, PluLink, Quantity };

struct TypedNumberCase {
  NumberField field;
  const char* text;
  std::optional<double> value;  // nullopt: refused
};

// Quantities are those of an article with fractional quantities, whose
// "not controlled" value is 999999.999.
inline const TypedNumberCase kTypedNumberCases[] = {
    {NumberField::PluNumber, " 42 ", 42},
    {NumberField::PluNumber, "+7", 7},
    {NumberField::PluNumber, "2147483647", 2147483647.0},
    {NumberField::PluNumber, "0", std::nullopt},
    {NumberField::PluNumber, "-3", std::nullopt},
    {NumberField::PluNumber, "2147483648", std::nullopt},
    {NumberField::PluNumber, "12abc", std::nullopt},
    {NumberField::PluNumber, "1.5", std::nullopt},
    {NumberField::PluNumber, "1e3", std::nullopt},
    {NumberField::PluNumber, "0x10", std::nullopt},
    {NumberField::Barcode, "0004006381333931", 4006381333931.0},
    {NumberField::Barcode, "9999999999999", 9999999999999.0},
    {NumberField::Barcode, "10000000000000", std::nullopt},
    {NumberField::Barcode, "1234567890123456789", std::nullopt},
    {NumberField::Barcode, "-1", std::nullopt},
    {NumberField::Price, "12,5", 12.5},
    {NumberField::Price, "12.5", 12.5},
    {NumberField::Price, "1,234", 1.234},
    {NumberField::Price, "-0,50", -0.5},
    {NumberField::Price, ".5", 0.5},
    {NumberField::Price, "999999999.99", 999999999.99},
    {NumberField::Price, "-999999999,99", -999999999.99},
    {NumberField::Price, "1000000000", std::nullopt},
    {NumberField::Price, "1e3", std::nullopt},
    {NumberField::Price, "1,234.50", std::nullopt},
    {NumberField::Price, "1.234,5", std::nullopt},
    {NumberField::Price, "12,5x", std::nullopt},
    {NumberField::Price, "nan", std::nullopt},
    {NumberField::Price, "inf", std::nullopt},
    {NumberField::SecondPrice, "7,25", 7.25},
    {NumberField::SecondPrice, "-1e2", std::nullopt},
    {NumberField::PluLink, "-42", -42},
    {NumberField::PluLink, "-2147483648", -2147483648.0},
    {NumberField::PluLink, "2147483648", std::nullopt},
    {NumberField::PluLink, "4294967295", std::nullopt},
    {NumberField::Quantity, "2,5", 2.5},
    {NumberField::Quantity, "-5", -5},
    {NumberField::Quantity, "999999.998", 999999.998},
    {NumberField::Quantity, "999999.999", std::nullopt},
    {NumberField::Quantity, "1000000", std::nullopt},
    {NumberField::Quantity, "xyz", std::nullopt},
};
