// The demo register's sample contents: a small grocery with eight departments
// and a few hundred articles that have been selling for a while.
#include <cmath>
#include <cstdint>

#include "device/transport/DemoRegister.h"

namespace {

struct SampleDepartment {
  const char* name;
  char tax;
  bool weighed;
  std::int32_t unit;  // 0-based: 0 piece, 1 kg, 2 litre, 3 pack
  const char* products[10];
  const char* variants[4];
  double basePrice;
};

const SampleDepartment kDepartments[8] = {
    {"Bakery",
     'B',
     false,
     0,
     {"White bread", "Rye bread", "Baguette", "Croissant", "Bagel", "Muffin", "Doughnut", "Pretzel", "Ciabatta",
      "Brioche"},
     {"", " small", " large", " 4-pack"},
     1.20},
    {"Dairy",
     'B',
     false,
     2,
     {"Whole milk", "Skimmed milk", "Butter", "Natural yoghurt", "Cream", "Cottage cheese", "Gouda", "Cheddar", "Kefir",
      "Buttermilk"},
     {" 250g", " 500g", " 1kg", " organic"},
     1.05},
    {"Fruit & Vegetables",
     'B',
     true,
     1,
     {"Apples", "Bananas", "Pears", "Oranges", "Tomatoes", "Cucumbers", "Carrots", "Potatoes", "Onions", "Peppers"},
     {"", " organic", " loose", " premium"},
     1.60},
    {"Butcher",
     'B',
     true,
     1,
     {"Pork chops", "Beef mince", "Chicken breast", "Chicken legs", "Lamb shoulder", "Pork belly", "Veal cutlet",
      "Smoked ham", "Salami", "Sausages"},
     {"", " free range", " marinated", " family pack"},
     7.90},
    {"Beverages",
     'A',
     false,
     2,
     {"Mineral water", "Sparkling water", "Orange juice", "Apple juice", "Cola", "Lemonade", "Iced tea", "Lager",
      "Red wine", "White wine"},
     {" 0.33l", " 0.5l", " 1l", " 6x1.5l"},
     1.10},
    {"Household",
     'A',
     false,
     0,
     {"Washing powder", "Dish soap", "Kitchen roll", "Toilet paper", "Bin bags", "Sponges", "Glass cleaner", "Bleach",
      "Fabric softener", "Light bulb"},
     {"", " refill", " value pack", " eco"},
     2.40},
    {"Confectionery",
     'A',
     false,
     3,
     {"Milk chocolate", "Dark chocolate", "Wine gums", "Liquorice", "Toffees", "Lollipops", "Chocolate biscuits",
      "Shortbread", "Marshmallows", "Nougat"},
     {" 50g", " 100g", " 200g", " gift box"},
     0.95},
    {"Tobacco & News",
     'A',
     false,
     0,
     {"Daily paper", "Weekend paper", "Magazine", "Crossword book", "Lighter", "Matches", "Rolling papers",
      "Pipe tobacco", "Cigarillos", "Postcards"},
     {"", " limited", " 2-pack", " deluxe"},
     1.80},
};

// A fixed pseudo-random sequence, so the sample is the same at every start.
class SampleNumbers {
 public:
  std::uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }
  double Between(double low, double high) { return low + (high - low) * (Next() % 10000) / 9999.0; }

 private:
  std::uint32_t state_ = 20260101u;
};

double Cents(double value) { return std::round(value * 100.0) / 100.0; }

std::int64_t Ean13(std::int64_t twelveDigits) {
  std::int64_t digits = twelveDigits;
  int sum = 0;
  for (int position = 0; position < 12; ++position) {
    const int digit = static_cast<int>(digits % 10);
    digits /= 10;
    sum += (position % 2 == 0) ? digit * 3 : digit;
  }
  return twelveDigits * 10 + (10 - sum % 10) % 10;
}

}  // namespace

void DemoRegister::FillSample() {
  SampleNumbers random;
  for (std::uint32_t d = 0; d < 8 && d < profile_.departmentCount; ++d) {
    const SampleDepartment& sample = kDepartments[d];
    DepartmentRecord& department = departments_[d];
    department = ZeroDepartment();
    department.DEPTNO = d + 1;
    SetName(department.NAME, sample.name);
    department.TAX_GROUP = sample.tax;
    department.STOCK_GROUP = static_cast<std::int32_t>(d);
    department.MEASURE_UNIT = sample.unit;
    department.OPT_FRACT_QTY = sample.weighed ? 1 : 0;
    department.OPT_FREEPRICE = 1;
    department.MAX_PRICE = 999.99;
    department.MAX_AMOUNT = 9999.99;

    for (int p = 0; p < 10; ++p) {
      for (int v = 0; v < 4; ++v) {
        ArticleRecord a = ZeroArticle();
        a.PLUNO = (d + 1) * 100 + static_cast<std::uint32_t>(p * 4 + v + 1);
        a.TAX_GROUP = sample.tax;
        SetName(a.NAME, std::string(sample.products[p]) + sample.variants[v]);
        a.SING_PRICE = Cents(sample.basePrice * (1.0 + 0.35 * p) * (1.0 + 0.5 * v) * random.Between(0.8, 1.2));
        a.MAX_PRICE = (random.Next() % 4 == 0) ? Cents(a.SING_PRICE * 0.9) : 0.0;
        a.OPT_FRACT_QTY = sample.weighed ? 1 : 0;
        // Weighed goods carry an in-store code with the PLU; packed goods a maker's code.
        a.BARCODE = sample.weighed ? Ean13(210000000000LL + a.PLUNO * 100000LL)
                                   : Ean13(400000000000LL + (random.Next() % 100000000LL) * 100 + a.PLUNO % 100);
        a.DEPARTMENT = static_cast<std::int32_t>(d + 1);
        a.STOCK_GROUP = static_cast<std::int32_t>((d * 2 + static_cast<std::uint32_t>(p) / 5) %
                                                  std::max<std::uint32_t>(profile_.commodityGroupCount, 1));
        a.MEASURE_UNIT = std::min<std::int32_t>(sample.unit, static_cast<std::int32_t>(profile_.measureUnitCount) - 1);
        a.OPT_FREEPRICE = sample.weighed ? 1 : 0;
        a.OPT_SINGTRANS = (d == 7 && p < 2) ? 1 : 0;
        if (sample.weighed) {
          a.SOLDQTY = std::round(random.Between(0.0, 180.0) * 1000.0) / 1000.0;
          a.STOCKQTY = std::round(random.Between(5.0, 300.0) * 1000.0) / 1000.0;
        } else {
          a.SOLDQTY = static_cast<double>(random.Next() % 400);
          a.STOCKQTY = static_cast<double>(20 + random.Next() % 500);
        }
        a.INITQTY = a.STOCKQTY + a.SOLDQTY;
        a.AMOUNT = Cents(a.SOLDQTY * a.SING_PRICE);
        if (a.MAX_PRICE > 0) {
          a.SOLDQTY_DS = sample.weighed ? std::round(random.Between(0.0, 20.0) * 1000.0) / 1000.0
                                        : static_cast<double>(random.Next() % 40);
          a.AMOUNT_DS = Cents(a.SOLDQTY_DS * a.MAX_PRICE);
        }
        a.IN_USE = 1;
        department.SOLDQTY += a.SOLDQTY + a.SOLDQTY_DS;
        department.AMOUNT += a.AMOUNT + a.AMOUNT_DS;
        articles_[a.PLUNO] = a;
      }
    }
    department.AMOUNT = Cents(department.AMOUNT);
    department.SOLDQTY = std::round(department.SOLDQTY * 1000.0) / 1000.0;
  }
}
