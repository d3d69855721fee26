#include "mail/smtp_message.h"

#include <gtest/gtest.h>

#include <string>

#include "mail/mail_date.h"
#include "mail/mime_text.h"
#include "support/scoped_time_zone.h"

namespace portavel {
namespace {

std::string Repeat(std::string_view text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

TEST(SmtpMessageTest, HeaderTextIsPlainQuotedOrEncoded) {
  const struct {
    std::string name;
    std::string display;
  } kCases[] = {
      {"Harbor Valley Propane", "Harbor Valley Propane"},
      {"Smith, John", "\"Smith, John\""},
      {"O'Neil \"Bud\" \\ Co.", "\"O'Neil \\\"Bud\\\" \\\\ Co.\""},
      {"Garc\xED"
       "a, Jos\xE9",
       "=?windows-1252?Q?Garc=EDa=2C_Jos=E9?="},
      // Line breaks are dropped: a name cannot start a header of its own.
      {"Evil\r\nBcc: victim@example.com", "\"EvilBcc: victim@example.com\""},
      {"=?utf-8?Q?x?=", "=?windows-1252?Q?=3D=3Futf-8=3FQ=3Fx=3F=3D?="},
      // Every encoded-word within 75 characters, continued on folded lines.
      {std::string(30, '\xE9'), "=?windows-1252?Q?" + Repeat("=E9", 18) +
                                    "?=\r\n =?windows-1252?Q?" + Repeat("=E9", 12) + "?="},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(EncodeDisplayName(c.name), c.display) << c.name;
  }
  EXPECT_EQ(FormatMailbox("", "jdoe@example.com"), "jdoe@example.com");
  EXPECT_EQ(FormatMailbox("Manager", "boss@example.com"), "Manager <boss@example.com>");
  EXPECT_EQ(EncodeHeaderText("Access Code: (new)"), "Access Code: (new)");
  EXPECT_EQ(EncodeHeaderText("Code d'acc\xE8s"), "=?windows-1252?Q?Code_d=27acc=E8s?=");
}

TEST(SmtpMessageTest, BodyIsQuotedPrintableWithShortLines) {
  const struct {
    std::string line;
    std::string encoded;
  } kCases[] = {
      {"Your password: maple120", "Your password: maple120\r\n"},
      {"a=b \xE9\tend ", "a=3Db =E9\tend=20\r\n"},
      {"", "\r\n"},
      {".", ".\r\n"},
      // 80 characters: broken after 75 with a soft line break.
      {std::string(80, 'x'), std::string(75, 'x') + "=\r\n" + std::string(5, 'x') + "\r\n"},
      // Exactly 76 fit on one line.
      {std::string(76, 'y'), std::string(76, 'y') + "\r\n"},
      // An escape is never split.
      {std::string(74, 'z') + "\xE9", std::string(74, 'z') + "=\r\n=E9\r\n"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(QuotedPrintableBody({c.line}), c.encoded) << c.line;
  }
}

TEST(SmtpMessageTest, DateCarriesTheLocalZone) {
  ScopedTimeZone zone("EST5EDT,M3.2.0,M11.1.0");
  DateTime summer = *DateTime::FromCivil(2024, 3, 15, 10, 0, 7);
  DateTime winter = *DateTime::FromCivil(2024, 1, 5, 23, 59, 0);
  EXPECT_EQ(LocalUtcOffsetMinutes(summer), -240);
  EXPECT_EQ(LocalUtcOffsetMinutes(winter), -300);
  EXPECT_EQ(FormatMailDate(summer, -240), "Fri, 15 Mar 2024 10:00:07 -0400");
  EXPECT_EQ(FormatMailDate(winter, 330), "Fri, 5 Jan 2024 23:59:00 +0530");
}

TEST(SmtpMessageTest, OmitsAnEmptyOrganization) {
  MailMessage message;
  message.from = {"", "office@example.com"};
  message.to = {{"", "jdoe@example.com"}};
  message.subject = "Access Code";
  message.body_lines = {"Hello"};
  message.date = *DateTime::FromCivil(2024, 3, 17, 8, 5, 0);
  message.message_id = "1@example.com";
  EXPECT_EQ(BuildSmtpMessage(message),
            "From: office@example.com\r\n"
            "To: jdoe@example.com\r\n"
            "Subject: Access Code\r\n"
            "X-Mailer: Orvik Propane Software\r\n"
            "MIME-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=\"windows-1252\"\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n"
            "Date: Sun, 17 Mar 2024 08:05:00 +0000\r\n"
            "Message-ID: <1@example.com>\r\n"
            "\r\n"
            "Hello\r\n");
}

}  // namespace
}  // namespace portavel
