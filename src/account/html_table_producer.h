// Turns the records of a data set into the HTML table the customer's
// browser receives: configurable columns, table, row and cell attributes,
// and a hook that may restyle or rewrite any cell.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace portavel {

class DataSet;

// Default writes no attribute.
enum class HtmlAlign { kDefault, kLeft, kRight, kCenter };
enum class HtmlVAlign { kDefault, kTop, kMiddle, kBottom, kBaseline };
enum class HtmlCaptionAlign { kDefault, kTop, kBottom };

struct HtmlTableAttributes {
  int width = 100;  // percent; 0 or less writes no width
  int border = -1;  // -1 (any negative value): not written
  int cell_spacing = -1;
  int cell_padding = -1;
  HtmlAlign align = HtmlAlign::kDefault;
  std::string bg_color;
  std::string custom;  // written as it is, after a blank
};

struct HtmlRowAttributes {
  HtmlAlign align = HtmlAlign::kDefault;
  HtmlVAlign valign = HtmlVAlign::kDefault;
  std::string bg_color;
  std::string custom;
};

// The attributes of a column's title cell; a caption replaces the field's
// display label as the title text.
struct HtmlColumnTitle {
  std::string caption;
  HtmlAlign align = HtmlAlign::kDefault;
  HtmlVAlign valign = HtmlVAlign::kDefault;
  std::string bg_color;
  std::string custom;
};

// A column shows one field; the other attributes apply to its data cells.
struct HtmlTableColumn {
  std::string field_name;
  HtmlAlign align = HtmlAlign::kDefault;
  HtmlVAlign valign = HtmlVAlign::kDefault;
  std::string bg_color;
  std::string custom;
  HtmlColumnTitle title;
};

// Called before each cell is written. cell_row is 0 for the title row and
// counts data rows from 1; cell_column counts from 0. The hook may change
// the last five arguments. A data cell's text arrives already escaped, so
// whatever markup the hook puts in is written as it is.
using HtmlFormatCellHook =
    std::function<void(int cell_row, int cell_column, std::string& bg_color, HtmlAlign& align,
                       HtmlVAlign& valign, std::string& custom_attrs, std::string& cell_data)>;

struct HtmlTableProducer {
  DataSet* data_set = nullptr;
  std::vector<std::string> header;  // lines written before the table
  std::vector<std::string> footer;  // lines written after it
  // Empty: one column per field of the open data set, in field order.
  std::vector<HtmlTableColumn> columns;
  int max_rows = 20;  // negative: no limit
  std::string caption;
  HtmlCaptionAlign caption_alignment = HtmlCaptionAlign::kDefault;
  HtmlTableAttributes table_attributes;
  HtmlRowAttributes row_attributes;
  HtmlFormatCellHook on_format_cell;

  // The header lines, the table and the footer lines; "" without a data
  // set. Rows start at the data set's current record, and the data set is
  // left where the rows ran out.
  std::string Content() const;
  // The same, appended to `out`: a page made of several tables is written
  // into one text.
  void AppendContent(std::string& out) const;
};

}  // namespace portavel
