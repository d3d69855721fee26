#include "account/html_table_producer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "data/data_set.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

class HtmlTableProducerTest : public ::testing::Test {
 protected:
  // Employees 1..count, named "F<key>" "L<key>", read in key order.
  DataSet& Employees(int count) {
    for (int key = 1; key <= count; ++key) {
      temp.Insert("Employee", {{"EmployeeKey", Value::Integer(key)},
                               {"First", Value::Text("F" + std::to_string(key))},
                               {"LAst", Value::Text("L" + std::to_string(key))}});
    }
    employees.SetIndexName("ByEmployeeKey");
    employees.Open();
    return employees;
  }

  TempStore temp;
  DataSet employees{temp.store(), "UserData", "Employee"};
};

HtmlTableColumn Column(std::string field_name) {
  HtmlTableColumn column;
  column.field_name = std::move(field_name);
  return column;
}

TEST_F(HtmlTableProducerTest, WithoutDataSetTheContentIsEmpty) {
  HtmlTableProducer producer;
  producer.header = {"<p>"};
  producer.footer = {"</p>"};
  EXPECT_EQ(producer.Content(), "");
}

TEST_F(HtmlTableProducerTest, DefaultColumnsShowEveryFieldFromTheCurrentRecordOn) {
  DataSet& data = Employees(3);
  data.SetDisplayLabel("LAst", "Last Name");
  data.Next();  // the caller positions the data set; the producer starts here
  HtmlTableProducer producer;
  producer.data_set = &data;
  producer.header = {"<h2>Staff</h2>", ""};
  producer.footer = {"</body>", "</html>"};
  EXPECT_EQ(producer.Content(),
            "<h2>Staff</h2>\r\n"
            "\r\n"
            "<Table Width=\"100%\">\r\n"
            "<TR><TH>EmployeeKey</TH><TH>First</TH><TH>Last Name</TH></TR>\r\n"
            "<TR><TD>2</TD><TD>F2</TD><TD>L2</TD></TR>\r\n"
            "<TR><TD>3</TD><TD>F3</TD><TD>L3</TD></TR>\r\n"
            "</Table></body>\r\n"
            "</html>\r\n");
  EXPECT_TRUE(data.Eof());
}

TEST_F(HtmlTableProducerTest, NoRecordsWriteTheTitleRowOnly) {
  DataSet& data = Employees(0);
  HtmlTableProducer producer;
  producer.data_set = &data;
  producer.columns = {Column("First")};
  EXPECT_EQ(producer.Content(), "<Table Width=\"100%\">\r\n<TR><TH>First</TH></TR>\r\n</Table>");
}

TEST_F(HtmlTableProducerTest, RowsAreWrittenOnlyInBrowseState) {
  DataSet& data = Employees(1);
  HtmlTableProducer producer;
  producer.data_set = &data;
  producer.columns = {Column("First")};
  const std::string title_only = "<Table Width=\"100%\">\r\n<TR><TH>First</TH></TR>\r\n</Table>";

  data.Edit();
  EXPECT_EQ(producer.Content(), title_only);
  data.Cancel();
  data.Close();
  // A closed data set has no default columns either.
  EXPECT_EQ(producer.Content(), title_only);
  producer.columns.clear();
  EXPECT_EQ(producer.Content(), "<Table Width=\"100%\">\r\n<TR></TR>\r\n</Table>");
}

TEST_F(HtmlTableProducerTest, MaxRowsLimitsTheRowsAndLeavesTheDataSetWhereTheyRanOut) {
  struct Case {
    int max_rows;
    int last_written;     // of employees 2..25
    std::string left_on;  // First of the record after, "" at the end
  };
  const Case cases[] = {{1, 2, "F3"}, {20, 21, "F22"}, {-1, 25, ""}};
  DataSet& data = Employees(25);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.max_rows);
    data.First();
    data.Next();
    HtmlTableProducer producer;
    producer.data_set = &data;
    producer.columns = {Column("First")};
    if (c.max_rows != 20) producer.max_rows = c.max_rows;  // 20 is the default
    std::string expected = "<Table Width=\"100%\">\r\n<TR><TH>First</TH></TR>\r\n";
    for (int key = 2; key <= c.last_written; ++key) {
      expected += "<TR><TD>F" + std::to_string(key) + "</TD></TR>\r\n";
    }
    expected += "</Table>";
    EXPECT_EQ(producer.Content(), expected);
    EXPECT_EQ(data.Eof() ? "" : data.FieldByName("First").AsString(), c.left_on);
  }
}

// One record, one column: every attribute lands in its place.
TEST_F(HtmlTableProducerTest, AttributesAreWrittenInTheirOrder) {
  struct Case {
    const char* name;
    std::function<void(HtmlTableProducer&)> configure;
    std::string expected;
  };
  const Case cases[] = {
      {"border with default width", [](HtmlTableProducer& p) { p.table_attributes.border = 1; },
       "<Table Width=\"100%\" Border=1>\r\n<TR><TH>First</TH></TR>\r\n<TR><TD>F1</TD></TR>\r\n"
       "</Table>"},
      {"every table attribute",
       [](HtmlTableProducer& p) {
         p.table_attributes = {.width = 50,
                               .border = 0,
                               .cell_spacing = 2,
                               .cell_padding = 0,
                               .align = HtmlAlign::kCenter,
                               .bg_color = "Aqua",
                               .custom = "id=\"t\""};
       },
       "<Table Width=\"50%\" Align=\"Center\" CellSpacing=2 CellPadding=0 Border=0"
       " BgColor=\"Aqua\" id=\"t\">\r\n"
       "<TR><TH>First</TH></TR>\r\n<TR><TD>F1</TD></TR>\r\n</Table>"},
      {"no width", [](HtmlTableProducer& p) { p.table_attributes.width = 0; },
       "<Table>\r\n<TR><TH>First</TH></TR>\r\n<TR><TD>F1</TD></TR>\r\n</Table>"},
      {"every row attribute",
       [](HtmlTableProducer& p) {
         p.row_attributes = {HtmlAlign::kLeft, HtmlVAlign::kBaseline, "Silver", "class=\"r\""};
       },
       "<Table Width=\"100%\">\r\n"
       "<TR Align=\"Left\" VAlign=\"Basline\" BgColor=\"Silver\" "
       "class=\"r\"><TH>First</TH></TR>\r\n"
       "<TR Align=\"Left\" VAlign=\"Basline\" BgColor=\"Silver\" class=\"r\"><TD>F1</TD></TR>\r\n"
       "</Table>"},
      {"column colour only", [](HtmlTableProducer& p) { p.columns[0].bg_color = "Yellow"; },
       "<Table Width=\"100%\">\r\n<TR><TH>First</TH></TR>\r\n"
       "<TR><TD BgColor=\"Yellow\">F1</TD></TR>\r\n</Table>"},
      {"column and title attributes apply to their own cells",
       [](HtmlTableProducer& p) {
         HtmlTableColumn& c = p.columns[0];
         c.align = HtmlAlign::kRight;
         c.valign = HtmlVAlign::kTop;
         c.custom = "nowrap";
         c.title = {"Given", HtmlAlign::kCenter, HtmlVAlign::kBottom, "Gray", "scope=\"col\""};
       },
       "<Table Width=\"100%\">\r\n"
       "<TR><TH Align=\"Center\" VAlign=\"Bottom\" BgColor=\"Gray\" "
       "scope=\"col\">Given</TH></TR>\r\n"
       "<TR><TD Align=\"Right\" VAlign=\"Top\" nowrap>F1</TD></TR>\r\n</Table>"},
      {"middle alignment", [](HtmlTableProducer& p) { p.columns[0].valign = HtmlVAlign::kMiddle; },
       "<Table Width=\"100%\">\r\n<TR><TH>First</TH></TR>\r\n"
       "<TR><TD VAlign=\"Middle\">F1</TD></TR>\r\n</Table>"},
      {"caption, default alignment", [](HtmlTableProducer& p) { p.caption = "Staff"; },
       "<Table Width=\"100%\"><Caption >Staff</Caption>\r\n"
       "<TR><TH>First</TH></TR>\r\n<TR><TD>F1</TD></TR>\r\n</Table>"},
      {"caption at the top",
       [](HtmlTableProducer& p) {
         p.caption = "Staff";
         p.caption_alignment = HtmlCaptionAlign::kTop;
       },
       "<Table Width=\"100%\"><Caption  Align=\"Top\">Staff</Caption>\r\n"
       "<TR><TH>First</TH></TR>\r\n<TR><TD>F1</TD></TR>\r\n</Table>"},
      {"caption at the bottom",
       [](HtmlTableProducer& p) {
         p.caption = "Staff";
         p.caption_alignment = HtmlCaptionAlign::kBottom;
       },
       "<Table Width=\"100%\"><Caption  Align=\"Bottom\">Staff</Caption>\r\n"
       "<TR><TH>First</TH></TR>\r\n<TR><TD>F1</TD></TR>\r\n</Table>"},
      {"a column without a field is titled by its name and shows nothing",
       [](HtmlTableProducer& p) { p.columns = {Column("Nickname")}; },
       "<Table Width=\"100%\">\r\n<TR><TH>Nickname</TH></TR>\r\n<TR><TD></TD></TR>\r\n</Table>"},
  };
  DataSet& data = Employees(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    data.First();
    HtmlTableProducer producer;
    producer.data_set = &data;
    producer.columns = {Column("First")};
    c.configure(producer);
    EXPECT_EQ(producer.Content(), c.expected);
  }
}

TEST_F(HtmlTableProducerTest, HookSeesEveryCellAndChangesOnlyWhatItTouches) {
  temp.Insert("Employee", {{"EmployeeKey", Value::Integer(1)}, {"First", Value::Text("<b>&")}});
  temp.Insert("Employee", {{"EmployeeKey", Value::Integer(2)}, {"First", Value::Text("Bo")}});
  DataSet& data = Employees(0);
  HtmlTableProducer producer;
  producer.data_set = &data;
  producer.columns = {Column("First"), Column("LAst")};
  producer.columns[1].title.caption = "<i>Last</i>";  // titles are the program's own markup
  std::vector<std::string> seen;
  producer.on_format_cell = [&](int row, int column, std::string& bg_color, HtmlAlign& align,
                                HtmlVAlign& valign, std::string& custom, std::string& text) {
    seen.push_back(std::to_string(row) + "," + std::to_string(column) + ":" + text);
    if (row == 2 && column == 0) bg_color = "Red";
    if (row == 0) align = HtmlAlign::kLeft;
    if (row == 1 && column == 0) {
      valign = HtmlVAlign::kTop;
      custom = "title=\"x\"";
    }
    if (text.empty()) text = "&nbsp";  // markup from the hook is written as it is
  };
  EXPECT_EQ(producer.Content(),
            "<Table Width=\"100%\">\r\n"
            "<TR><TH Align=\"Left\">First</TH><TH Align=\"Left\"><i>Last</i></TH></TR>\r\n"
            "<TR><TD VAlign=\"Top\" title=\"x\">&lt;b&gt;&amp;</TD><TD>&nbsp</TD></TR>\r\n"
            "<TR><TD BgColor=\"Red\">Bo</TD><TD>&nbsp</TD></TR>\r\n"
            "</Table>");
  EXPECT_EQ(seen, (std::vector<std::string>{"0,0:First", "0,1:<i>Last</i>", "1,0:&lt;b&gt;&amp;",
                                            "1,1:", "2,0:Bo", "2,1:"}));
}

TEST_F(HtmlTableProducerTest, ValuesAreEscapedWithoutAHookToo) {
  temp.Insert("Employee", {{"EmployeeKey", Value::Integer(1)},
                           {"First", Value::Text("Ren\xe9\x80 & 'Co' <x>")},
                           {"LAst", Value::Text("\"q\"")}});
  DataSet& data = Employees(0);
  HtmlTableProducer producer;
  producer.data_set = &data;
  producer.columns = {Column("First"), Column("LAst")};
  producer.columns[1].bg_color = "Gray";
  EXPECT_EQ(producer.Content(),
            "<Table Width=\"100%\">\r\n<TR><TH>First</TH><TH>LAst</TH></TR>\r\n"
            "<TR><TD>Ren\xe9\x80 &amp; &#39;Co&#39; &lt;x&gt;</TD>"
            "<TD BgColor=\"Gray\">&quot;q&quot;</TD></TR>\r\n</Table>");
}

// What the hook changes holds for its cell only: the next cell of the
// column, one row on, starts again from the column's attributes.
TEST_F(HtmlTableProducerTest, HookChangesDoNotCarryOverToLaterCells) {
  DataSet& data = Employees(4);
  HtmlTableProducer producer;
  producer.data_set = &data;
  producer.columns = {Column("First"), Column("LAst")};
  HtmlTableColumn& first = producer.columns[0];
  first.bg_color = "Yellow";
  first.custom = "nowrap";
  first.align = HtmlAlign::kRight;
  first.title.bg_color = "Gray";
  producer.on_format_cell = [](int row, int column, std::string& bg_color, HtmlAlign& align,
                               HtmlVAlign& valign, std::string& custom, std::string& text) {
    if (column != 0) return;
    switch (row) {
      case 1:  // changed in place
        bg_color += "Green";
        custom.clear();
        break;
      case 2:  // replaced, and a value outside the alignments writes none
        bg_color = "Red";
        custom = "id=\"c2\"";
        align = static_cast<HtmlAlign>(9);
        valign = HtmlVAlign::kBaseline;
        break;
      case 3:
        text = "<i>" + text + "</i>";
        break;
      default:
        break;
    }
  };
  EXPECT_EQ(producer.Content(),
            "<Table Width=\"100%\">\r\n"
            "<TR><TH BgColor=\"Gray\">First</TH><TH>LAst</TH></TR>\r\n"
            "<TR><TD Align=\"Right\" BgColor=\"YellowGreen\">F1</TD><TD>L1</TD></TR>\r\n"
            "<TR><TD VAlign=\"Basline\" BgColor=\"Red\" id=\"c2\">F2</TD><TD>L2</TD></TR>\r\n"
            "<TR><TD Align=\"Right\" BgColor=\"Yellow\" nowrap><i>F3</i></TD><TD>L3</TD></TR>\r\n"
            "<TR><TD Align=\"Right\" BgColor=\"Yellow\" nowrap>F4</TD><TD>L4</TD></TR>\r\n"
            "</Table>");
}

TEST_F(HtmlTableProducerTest, CellsFollowTheFieldsDisplayFormat) {
  temp.Insert("Accounts", {{"AccountIndex", Value::Integer(1)},
                           {"Balance", Value::Currency(*Money::Parse("1234.5"))},
                           {"Current", Value::Currency(Money())}});
  DataSet accounts(temp.store(), "UserData", "Accounts");
  for (const char* field : {"Balance", "Current", "OverThirty"}) {
    accounts.SetDisplayFormat(field, "#,###,###.00");
  }
  accounts.Open();
  HtmlTableProducer producer;
  producer.data_set = &accounts;
  producer.columns = {Column("Balance"), Column("Current"), Column("OverThirty")};
  producer.columns[0].bg_color = "Yellow";
  EXPECT_EQ(producer.Content(),
            "<Table Width=\"100%\">\r\n"
            "<TR><TH>Balance</TH><TH>Current</TH><TH>OverThirty</TH></TR>\r\n"
            "<TR><TD BgColor=\"Yellow\">1,234.50</TD><TD>.00</TD><TD></TD></TR>\r\n"
            "</Table>");
}

}  // namespace
}  // namespace portavel
