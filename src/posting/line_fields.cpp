#include "posting/line_fields.h"

#include <utility>

namespace portavel {
namespace {

// (line field, product field)
constexpr std::pair<const char*, const char*> kProductFields[] = {
    {"ProductID", "ProductID"},           {"ProductName", "ProductName"},
    {"UnitofMeasure", "Unitofmeasure"},   {"ProductGroupID", "ProductGroupID"},
    {"ProductTypeKey", "ProductTypekey"}, {"TransPOS", "POS"},
    {"GLInventory", "GLInventory"},       {"GLSales", "GLSales"},
    {"GLExpense", "GLExpense"},           {"GLCOGS", "GLCGS"},
};

}  // namespace

void CopyField(DataSet& to, std::string_view to_field, DataSet& from, std::string_view from_field) {
  to.FieldByName(to_field).Set(from.FieldByName(from_field).value());
}

void CopyProductFields(DataSet& line, DataSet& product) {
  for (const auto& [line_field, product_field] : kProductFields) {
    CopyField(line, line_field, product, product_field);
  }
}

}  // namespace portavel
