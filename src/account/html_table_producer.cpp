#include "account/html_table_producer.h"

#include <string_view>

#include "data/data_set.h"
#include "text/html_escape.h"

namespace portavel {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

constexpr std::string_view AlignText(HtmlAlign align) {
  switch (align) {
    case HtmlAlign::kLeft:
      return " Align=\"Left\"";
    case HtmlAlign::kRight:
      return " Align=\"Right\"";
    case HtmlAlign::kCenter:
      return " Align=\"Center\"";
    case HtmlAlign::kDefault:
      break;
  }
  return "";
}

// "Basline" is how browsers have always received it from this system.
constexpr std::string_view VAlignText(HtmlVAlign valign) {
  switch (valign) {
    case HtmlVAlign::kTop:
      return " VAlign=\"Top\"";
    case HtmlVAlign::kMiddle:
      return " VAlign=\"Middle\"";
    case HtmlVAlign::kBottom:
      return " VAlign=\"Bottom\"";
    case HtmlVAlign::kBaseline:
      return " VAlign=\"Basline\"";
    case HtmlVAlign::kDefault:
      break;
  }
  return "";
}

// Ends the caption's opening tag.
std::string_view CaptionAlignText(HtmlCaptionAlign align) {
  switch (align) {
    case HtmlCaptionAlign::kTop:
      return " Align=\"Top\">";
    case HtmlCaptionAlign::kBottom:
      return " Align=\"Bottom\">";
    case HtmlCaptionAlign::kDefault:
      break;
  }
  return ">";
}

// The colour and custom attributes every tag ends with.
void AppendColorAndCustom(std::string& out, const std::string& bg_color,
                          const std::string& custom) {
  if (!bg_color.empty()) {
    out += " BgColor=\"";
    out += bg_color;
    out += '"';
  }
  if (!custom.empty()) {
    out += ' ';
    out += custom;
  }
}

void AppendTableStart(std::string& out, const HtmlTableAttributes& table) {
  out += "<Table";
  if (table.width > 0) {
    out += " Width=\"";
    out += std::to_string(table.width);
    out += "%\"";
  }
  out += AlignText(table.align);
  if (table.cell_spacing >= 0) {
    out += " CellSpacing=";
    out += std::to_string(table.cell_spacing);
  }
  if (table.cell_padding >= 0) {
    out += " CellPadding=";
    out += std::to_string(table.cell_padding);
  }
  if (table.border >= 0) {
    out += " Border=";
    out += std::to_string(table.border);
  }
  AppendColorAndCustom(out, table.bg_color, table.custom);
  out += '>';
}

std::string RowStart(const HtmlRowAttributes& row) {
  std::string out = "<TR";
  out += AlignText(row.align);
  out += VAlignText(row.valign);
  AppendColorAndCustom(out, row.bg_color, row.custom);
  out += '>';
  return out;
}

// A cell's tag: its name in the tables below and its closing tag.
struct CellTag {
  int index;               // 0: "TH", 1: "TD"
  std::string_view close;  // "</TD>"
};
constexpr CellTag kTitleTag = {0, "</TH>"};
constexpr CellTag kDataTag = {1, "</TD>"};

// Every opening tag a cell can get from its tag and alignments, built at
// compile time with its closing '>': a cell without colour or custom
// attributes, as most are, opens with one append.
constexpr int kAlignments = 4;   // HtmlAlign::kDefault .. kCenter
constexpr int kVAlignments = 5;  // HtmlVAlign::kDefault .. kBaseline

struct OpenTagTable {
  static constexpr size_t kLongest = 40;  // "<TD Align=\"Center\" VAlign=\"Basline\">" has 36
  char text[2][kAlignments][kVAlignments][kLongest] = {};
  size_t size[2][kAlignments][kVAlignments] = {};
};

constexpr OpenTagTable kOpenTags = [] {
  OpenTagTable table;
  const std::string_view names[2] = {"<TH", "<TD"};
  for (int tag = 0; tag < 2; ++tag) {
    for (int align = 0; align < kAlignments; ++align) {
      for (int valign = 0; valign < kVAlignments; ++valign) {
        char* text = table.text[tag][align][valign];
        size_t& size = table.size[tag][align][valign];
        for (std::string_view part :
             {names[tag], AlignText(static_cast<HtmlAlign>(align)),
              VAlignText(static_cast<HtmlVAlign>(valign)), std::string_view(">")}) {
          for (char c : part) text[size++] = c;
        }
      }
    }
  }
  return table;
}();

// The opening tag with its '>'. A value outside the enumerations (a hook
// may set one) writes no attribute, like kDefault.
std::string_view OpenTag(CellTag tag, HtmlAlign align, HtmlVAlign valign) {
  auto a = static_cast<unsigned>(align);
  auto v = static_cast<unsigned>(valign);
  if (a >= kAlignments) a = 0;
  if (v >= kVAlignments) v = 0;
  return {kOpenTags.text[tag.index][a][v], kOpenTags.size[tag.index][a][v]};
}

void AppendOpenTag(std::string& out, CellTag tag, HtmlAlign align, HtmlVAlign valign,
                   const std::string& bg_color, const std::string& custom) {
  const std::string_view open = OpenTag(tag, align, valign);
  if (bg_color.empty() && custom.empty()) {
    out += open;
    return;
  }
  out += open.substr(0, open.size() - 1);
  AppendColorAndCustom(out, bg_color, custom);
  out += '>';
}

void AppendCell(std::string& out, CellTag tag, HtmlAlign align, HtmlVAlign valign,
                const std::string& bg_color, const std::string& custom, std::string_view data) {
  AppendOpenTag(out, tag, align, valign, bg_color, custom);
  out += data;
  out += tag.close;
}

// The cell's own attributes, as the hook receives them.
struct Cell {
  std::string bg_color;
  HtmlAlign align = HtmlAlign::kDefault;
  HtmlVAlign valign = HtmlVAlign::kDefault;
  std::string custom;
  std::string data;

  // Takes a column's attributes afresh for every cell, as the hook may
  // have changed them. Strings that already match (the usual case: the
  // same column one row on, untouched by the hook) are not copied again.
  void Reset(const std::string& column_bg_color, HtmlAlign column_align, HtmlVAlign column_valign,
             const std::string& column_custom) {
    if (bg_color != column_bg_color) bg_color = column_bg_color;
    align = column_align;
    valign = column_valign;
    if (custom != column_custom) custom = column_custom;
  }
};

// The field each column shows, or nullptr; only an open data set has
// fields with values.
std::vector<const Field*> ColumnFields(DataSet& data_set,
                                       const std::vector<HtmlTableColumn>& columns) {
  std::vector<const Field*> fields;
  fields.reserve(columns.size());
  for (const HtmlTableColumn& column : columns) {
    fields.push_back(data_set.Active() ? data_set.FindField(column.field_name) : nullptr);
  }
  return fields;
}

// Rows of a table are much alike: once the first is written, room for
// the rest up to the row limit (and the end of the table) saves growing
// the text step by step. An unlimited table, or a very high limit, gets
// room for a screenful and grows from there.
void ReserveForRows(std::string& out, size_t row_size, int rows_left,
                    const std::vector<std::string>& footer) {
  constexpr int kMostRowsReserved = 64;
  const int rows = rows_left < 0 || rows_left > kMostRowsReserved ? kMostRowsReserved : rows_left;
  size_t rest = sizeof "</Table>";
  for (const std::string& line : footer) rest += line.size() + kLineBreak.size();
  // A little over, as cells differ in length.
  out.reserve(out.size() + (row_size + row_size / 8) * static_cast<size_t>(rows) + rest);
}

}  // namespace

std::string HtmlTableProducer::Content() const {
  std::string out;
  AppendContent(out);
  return out;
}

void HtmlTableProducer::AppendContent(std::string& out) const {
  if (!data_set) return;
  DataSet& data = *data_set;

  std::vector<HtmlTableColumn> every_field;
  if (columns.empty() && data.Active()) {
    for (const auto& field : data.fields()) every_field.emplace_back().field_name = field->name();
  }
  const std::vector<HtmlTableColumn>& shown = columns.empty() ? every_field : columns;
  const std::vector<const Field*> fields = ColumnFields(data, shown);

  for (const std::string& line : header) {
    out += line;
    out += kLineBreak;
  }

  AppendTableStart(out, table_attributes);
  if (!caption.empty()) {
    out += "<Caption ";
    out += CaptionAlignText(caption_alignment);
    out += caption;
    out += "</Caption>";
  }
  out += kLineBreak;

  const std::string row_start = RowStart(row_attributes);
  // Without a hook a cell is written straight from its column; with one,
  // the hook gets the cell's attributes and text to change.
  Cell cell;
  auto write_hooked_cell = [&](CellTag tag, int row, int column) {
    on_format_cell(row, column, cell.bg_color, cell.align, cell.valign, cell.custom, cell.data);
    AppendCell(out, tag, cell.align, cell.valign, cell.bg_color, cell.custom, cell.data);
  };

  out += row_start;
  for (size_t i = 0; i < shown.size(); ++i) {
    const HtmlColumnTitle& title = shown[i].title;
    const std::string& text = !title.caption.empty() ? title.caption
                              : fields[i]            ? fields[i]->display_label()
                                                     : shown[i].field_name;
    if (on_format_cell) {
      cell.Reset(title.bg_color, title.align, title.valign, title.custom);
      cell.data = text;
      write_hooked_cell(kTitleTag, 0, static_cast<int>(i));
    } else {
      AppendCell(out, kTitleTag, title.align, title.valign, title.bg_color, title.custom, text);
    }
  }
  out += "</TR>";
  out += kLineBreak;

  if (data.state() == DataSet::State::kBrowse) {
    int budget = max_rows;  // a negative budget never runs out
    for (int row = 1; budget != 0 && !data.Eof(); ++row) {
      const size_t row_begin = out.size();
      out += row_start;
      for (size_t i = 0; i < shown.size(); ++i) {
        const HtmlTableColumn& column = shown[i];
        // Values come from the database: escaped before the hook, which
        // may then add markup of its own.
        if (on_format_cell) {
          cell.Reset(column.bg_color, column.align, column.valign, column.custom);
          cell.data.clear();
          if (fields[i]) AppendHtmlEscaped(cell.data, fields[i]->DisplayText());
          write_hooked_cell(kDataTag, row, static_cast<int>(i));
        } else {
          AppendOpenTag(out, kDataTag, column.align, column.valign, column.bg_color, column.custom);
          if (fields[i]) AppendHtmlEscaped(out, fields[i]->DisplayText());
          out += kDataTag.close;
        }
      }
      out += "</TR>";
      out += kLineBreak;
      if (row == 1) ReserveForRows(out, out.size() - row_begin, budget - 1, footer);
      data.Next();
      if (budget > 0) --budget;
    }
  }

  out += "</Table>";
  for (const std::string& line : footer) {
    out += line;
    out += kLineBreak;
  }
}

}  // namespace portavel
