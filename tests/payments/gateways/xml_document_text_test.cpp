#include "payments/gateways/xml_document_text.h"

#include <gtest/gtest.h>

namespace portavel {
namespace {

TEST(XmlDocumentText, LoadRefusesWhatIsNotOneWholeDocument) {
  struct Case {
    const char* text;
    const char* reason;  // nullptr: loads
  };
  const Case cases[] = {
      {"<a><b>x</b></a>", nullptr},
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<a/>\r\n", nullptr},
      {"<!-- note --><a/>", nullptr},
      {"", "XML document must have a top level element."},
      {"  \r\n", "XML document must have a top level element."},
      // What is left of an answer that lost its first "<".
      {"?xml version=\"1.0\" encoding=\"utf-8\"?><a/>",
       "Invalid at the top level of the document."},
      {"a><b/>", "Invalid at the top level of the document."},
      {"<a/>junk", "Invalid at the top level of the document."},
      {"<a/><b/>", "Only one top level element is allowed in an XML document."},
      {"<html><body>Server Error", "Start-end tags mismatch"},
  };
  for (const Case& c : cases) {
    pugi::xml_document document;
    std::optional<std::string> reason = LoadXml(document, c.text);
    if (c.reason == nullptr) {
      EXPECT_FALSE(reason) << c.text << ": " << *reason;
      EXPECT_TRUE(document.document_element()) << c.text;
    } else {
      EXPECT_EQ(reason.value_or("(loaded)"), c.reason) << c.text;
      // A half-read answer must not leave elements to be found.
      EXPECT_FALSE(document.first_child()) << c.text;
    }
  }
}

TEST(XmlDocumentText, LookupsGoByNameInDocumentOrderWhateverTheNamespace) {
  pugi::xml_document document;
  ASSERT_FALSE(LoadXml(document,
                       "<r xmlns=\"urn:x\" xmlns:p=\"urn:p\">"
                       "<messages><message><code>M1</code><text>First</text></message></messages>"
                       "<p:tx><p:messages><p:message><p:code>310</p:code></p:message></p:messages>"
                       "</p:tx><messages><resultCode>late</resultCode></messages></r>"));
  EXPECT_EQ(NodeText(ElementNamed(document, "code")), "M1");
  EXPECT_EQ(NodeText(ElementNamed(document, "code", 1)), "310");
  EXPECT_FALSE(ElementNamed(document, "code", 2));
  EXPECT_EQ(NodeText(SelectPath(document, "/r/messages/message/text")), "First");
  // The first match in document order, even under a later sibling.
  EXPECT_EQ(NodeText(SelectPath(document, "/r/messages/resultCode")), "late");
  EXPECT_FALSE(SelectPath(document, "/other/messages"));
  EXPECT_FALSE(SelectPath(document, "/messages"));
  EXPECT_EQ(RequiredElementText(document, "text"), "First");
  EXPECT_THROW(RequiredElementText(document, "transId"), MissingElementError);
}

TEST(XmlDocumentText, TextCrossesBetweenWindows1252AndUtf8) {
  pugi::xml_document document;
  pugi::xml_node root = document.append_child("r");
  AppendElement(root, "street", "Caf\xE9 & <Co>");
  AppendElement(root, "empty");
  EXPECT_EQ(SerializeXml(document), "<r><street>Caf\xC3\xA9 &amp; &lt;Co&gt;</street><empty/></r>");
  EXPECT_EQ(NodeText(root.child("street")), "Caf\xE9 & <Co>");

  // Characters windows-1252 has not, and broken UTF-8, become "?".
  EXPECT_EQ(GatewayTextToCp1252("a\xE2\x82\xAC b\xE4\xB8\xAD c\xC3 d\xFF"), "a\x80 b? c? d?");
}

}  // namespace
}  // namespace portavel
