#include "account/html_table_producer.h"

#include "data/data_set.h"
#include "text/html_escape.h"

namespace portavel {
namespace {

constexpr const char* kLineBreak = "\r\n";

const char* AlignText(HtmlAlign align) {
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
const char* VAlignText(HtmlVAlign valign) {
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
const char* CaptionAlignText(HtmlCaptionAlign align) {
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

std::string TableStart(const HtmlTableAttributes& table) {
  std::string out = "<Table";
  if (table.width > 0) out += " Width=\"" + std::to_string(table.width) + "%\"";
  out += AlignText(table.align);
  if (table.cell_spacing >= 0) out += " CellSpacing=" + std::to_string(table.cell_spacing);
  if (table.cell_padding >= 0) out += " CellPadding=" + std::to_string(table.cell_padding);
  if (table.border >= 0) out += " Border=" + std::to_string(table.border);
  AppendColorAndCustom(out, table.bg_color, table.custom);
  return out + ">";
}

void AppendRowStart(std::string& out, const HtmlRowAttributes& row) {
  out += "<TR";
  out += AlignText(row.align);
  out += VAlignText(row.valign);
  AppendColorAndCustom(out, row.bg_color, row.custom);
  out += '>';
}

// The cell's own attributes, as the hook receives them.
struct Cell {
  std::string bg_color;
  HtmlAlign align = HtmlAlign::kDefault;
  HtmlVAlign valign = HtmlVAlign::kDefault;
  std::string custom;
  std::string data;
};

// The field each column shows, or nullptr; only an open data set has
// fields with values.
std::vector<const Field*> ColumnFields(DataSet& data_set,
                                       const std::vector<HtmlTableColumn>& columns) {
  std::vector<const Field*> fields;
  for (const HtmlTableColumn& column : columns) {
    fields.push_back(data_set.Active() ? data_set.FindField(column.field_name) : nullptr);
  }
  return fields;
}

}  // namespace

std::string HtmlTableProducer::Content() const {
  if (!data_set) return std::string();
  DataSet& data = *data_set;

  std::vector<HtmlTableColumn> shown = columns;
  if (shown.empty() && data.Active()) {
    for (const auto& field : data.fields()) shown.emplace_back().field_name = field->name();
  }
  const std::vector<const Field*> fields = ColumnFields(data, shown);

  std::string out;
  for (const std::string& line : header) out += line + kLineBreak;

  out += TableStart(table_attributes);
  if (!caption.empty()) {
    out += std::string("<Caption ") + CaptionAlignText(caption_alignment) + caption + "</Caption>";
  }
  out += kLineBreak;

  // One cell's attributes, set afresh from its column for every cell (the
  // hook may have changed them); assigning into the same strings keeps a
  // table of thousands of cells from allocating for each.
  Cell cell;
  auto set_cell = [&cell](const std::string& bg_color, HtmlAlign align, HtmlVAlign valign,
                          const std::string& custom) {
    cell.bg_color = bg_color;
    cell.align = align;
    cell.valign = valign;
    cell.custom = custom;
  };
  auto write_cell = [&](const char* tag, int row, int column) {
    out += '<';
    out += tag;
    if (on_format_cell) {
      on_format_cell(row, column, cell.bg_color, cell.align, cell.valign, cell.custom, cell.data);
    }
    out += AlignText(cell.align);
    out += VAlignText(cell.valign);
    AppendColorAndCustom(out, cell.bg_color, cell.custom);
    out += '>';
    out += cell.data;
    out += "</";
    out += tag;
    out += '>';
  };

  AppendRowStart(out, row_attributes);
  for (size_t i = 0; i < shown.size(); ++i) {
    const HtmlColumnTitle& title = shown[i].title;
    set_cell(title.bg_color, title.align, title.valign, title.custom);
    cell.data = title.caption;
    if (cell.data.empty()) cell.data = fields[i] ? fields[i]->display_label() : shown[i].field_name;
    write_cell("TH", 0, static_cast<int>(i));
  }
  out += "</TR>";
  out += kLineBreak;

  if (data.state() == DataSet::State::kBrowse) {
    int budget = max_rows;  // a negative budget never runs out
    for (int row = 1; budget != 0 && !data.Eof(); ++row) {
      AppendRowStart(out, row_attributes);
      for (size_t i = 0; i < shown.size(); ++i) {
        const HtmlTableColumn& column = shown[i];
        set_cell(column.bg_color, column.align, column.valign, column.custom);
        // Values come from the database: escaped before the hook, which
        // may then add markup of its own.
        if (fields[i]) {
          cell.data = HtmlEscape(fields[i]->DisplayText());
        } else {
          cell.data.clear();
        }
        write_cell("TD", row, static_cast<int>(i));
      }
      out += "</TR>";
      out += kLineBreak;
      data.Next();
      if (budget > 0) --budget;
    }
  }

  out += "</Table>";
  for (const std::string& line : footer) out += line + kLineBreak;
  return out;
}

}  // namespace portavel
