#include "payments/approval_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>

#include "data/query.h"
#include "data/store.h"
#include "data/store_transaction.h"

namespace portavel {
namespace {

constexpr std::string_view kLineStart = "portavel-approval 1";

// Tabs, line ends, '%' and control bytes become %XX, so that no text can
// break its line or pose as another field.
std::string Escaped(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '%') {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> Unescaped(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    unsigned value = 0;
    if (i + 2 >= text.size()) return std::nullopt;
    auto [end, error] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
    if (error != std::errc() || end != text.data() + i + 3) return std::nullopt;
    out += static_cast<char>(value);
    i += 2;
  }
  return out;
}

using Fields = std::map<std::string, std::string, std::less<>>;

Fields FieldsOf(const JournalEntry& entry) {
  const CardLogRow& row = entry.row;
  return {
      {"recorded_at", entry.recorded_at.ToIsoDateTime()},
      {"invoice_no", entry.invoice_no},
      {"reason", entry.reason},
      {"cc_trans_key", std::to_string(row.cc_trans_key)},
      {"account_key", std::to_string(row.account_key)},
      {"amount", row.amount.ToString()},
      {"approved", row.approved ? "1" : "0"},
      {"merchant_id", std::to_string(row.merchant_id)},
      {"batch_key", std::to_string(row.batch_key)},
      {"trans_key", std::to_string(row.trans_key)},
      {"when", row.when.ToIsoDateTime()},
      {"shape", row.shape == CardLogShape::kFormPost ? "form-post" : "xml"},
      {"message", row.message},
      {"response", row.response},
      {"pn_ref", std::to_string(row.pn_ref)},
      {"transaction_id", row.transaction_id},
      {"token", row.token},
      {"request_kind", row.request_kind},
      {"card", MaskCardNumber(row.card_number)},
  };
}

template <typename Number>
Number NumberField(const Fields& fields, const char* name) {
  const std::string& text = fields.at(name);
  Number value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    throw std::runtime_error(std::string(name) + " is not a number");
  }
  return value;
}

DateTime DateTimeField(const Fields& fields, const char* name) {
  std::optional<DateTime> value = DateTime::ParseIsoDateTime(fields.at(name));
  if (!value) throw std::runtime_error(std::string(name) + " is not a date and time");
  return *value;
}

JournalEntry EntryOf(const Fields& fields) {
  JournalEntry entry;
  entry.recorded_at = DateTimeField(fields, "recorded_at");
  entry.invoice_no = fields.at("invoice_no");
  entry.reason = fields.at("reason");
  CardLogRow& row = entry.row;
  row.cc_trans_key = NumberField<int32_t>(fields, "cc_trans_key");
  row.account_key = NumberField<int32_t>(fields, "account_key");
  std::optional<Money> amount = Money::Parse(fields.at("amount"));
  if (!amount) throw std::runtime_error("amount is not an amount");
  row.amount = *amount;
  row.approved = fields.at("approved") == "1";
  row.merchant_id = NumberField<int32_t>(fields, "merchant_id");
  row.batch_key = NumberField<int32_t>(fields, "batch_key");
  row.trans_key = NumberField<int32_t>(fields, "trans_key");
  row.when = DateTimeField(fields, "when");
  row.shape = fields.at("shape") == "xml" ? CardLogShape::kXml : CardLogShape::kFormPost;
  row.message = fields.at("message");
  row.response = fields.at("response");
  row.pn_ref = NumberField<int64_t>(fields, "pn_ref");
  row.transaction_id = fields.at("transaction_id");
  row.token = fields.at("token");
  row.request_kind = fields.at("request_kind");
  row.card_number = fields.at("card");
  return entry;
}

std::optional<std::string> ParseLine(std::string_view line, Fields& fields) {
  if (!line.starts_with(kLineStart)) return "not a journal entry";
  line.remove_prefix(kLineStart.size());
  while (!line.empty()) {
    if (line.front() != '\t') return "a field without its separator";
    line.remove_prefix(1);
    const size_t end = std::min(line.find('\t'), line.size());
    const std::string_view item = line.substr(0, end);
    line.remove_prefix(end);
    const size_t equals = item.find('=');
    if (equals == std::string_view::npos) return "a field without a value";
    std::optional<std::string> value = Unescaped(item.substr(equals + 1));
    if (!value) return "a value that is not escaped right";
    fields.emplace(std::string(item.substr(0, equals)), std::move(*value));
  }
  if (fields.find("end") == fields.end()) return "an entry cut short";
  return std::nullopt;
}

}  // namespace

void AppendJournalEntry(const std::string& path, const JournalEntry& entry) {
  std::string line(kLineStart);
  for (const auto& [name, value] : FieldsOf(entry)) line += "\t" + name + "=" + Escaped(value);
  // The last field: a line without it was cut short.
  line += "\tend=1\n";
  const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0640);
  if (fd < 0) {
    throw std::runtime_error("cannot open the journal " + path + ": " + std::strerror(errno));
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  // A line cut short by a crash or a full disk must not swallow this one.
  const off_t size = ::lseek(fd, 0, SEEK_END);
  char last = '\n';
  if (size > 0 && ::pread(fd, &last, 1, size - 1) == 1 && last != '\n') line.insert(0, "\n");
  const ssize_t written = ::write(fd, line.data(), line.size());
  if (written != static_cast<ssize_t>(line.size())) {
    throw std::runtime_error("cannot write the journal " + path + ": " +
                             (written < 0 ? std::strerror(errno) : "a short write"));
  }
  if (::fsync(fd) != 0) {
    throw std::runtime_error("cannot sync the journal " + path + ": " + std::strerror(errno));
  }
}

std::vector<JournalEntry> ReadJournal(const std::string& path,
                                      std::vector<JournalDamage>* damaged) {
  std::vector<JournalEntry> entries;
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (errno == ENOENT) return entries;
    throw std::runtime_error("cannot read the journal " + path + ": " + std::strerror(errno));
  }
  std::string line;
  int number = 0;
  while (std::getline(file, line)) {
    ++number;
    if (line.empty()) continue;
    Fields fields;
    std::optional<std::string> problem = ParseLine(line, fields);
    if (!problem) {
      try {
        entries.push_back(EntryOf(fields));
        continue;
      } catch (const std::out_of_range&) {
        problem = "a field missing";
      } catch (const std::runtime_error& error) {
        problem = error.what();
      }
    }
    if (damaged) damaged->push_back({number, *problem});
  }
  return entries;
}

std::string DescribeJournalEntry(const JournalEntry& entry) {
  const CardLogRow& row = entry.row;
  std::string reference = row.shape == CardLogShape::kFormPost
                              ? "reference " + std::to_string(row.pn_ref)
                              : "transaction id " + row.transaction_id + ", token " + row.token;
  return entry.recorded_at.ToIsoDateTime() + ": account " + std::to_string(row.account_key) +
         ", amount " + row.amount.ToString() + ", invoice " + entry.invoice_no + ", merchant " +
         std::to_string(row.merchant_id) + ", card log key " + std::to_string(row.cc_trans_key) +
         ", authorization " + row.response + ", message " + row.message + ", " + reference +
         (row.card_number.empty() ? "" : ", card " + MaskCardNumber(row.card_number)) + ", batch " +
         std::to_string(row.batch_key) + ", transaction " + std::to_string(row.trans_key);
}

bool IsJournalEntryRecorded(Store& store, const JournalEntry& entry) {
  Query query(store, "UserData",
              R"(select "Approved", "Response", "RespMsg" from "ccTransactions" )"
              R"(where "CCTransKey" = :key order by rowid limit 1)");
  query.SetParam("key", Value::Integer(entry.row.cc_trans_key));
  query.Open();
  return !query.Eof() && query.Column(0).AsBoolean() == entry.row.approved &&
         query.Column(1).AsString() == entry.row.response &&
         query.Column(2).AsString() == entry.row.message;
}

ReplayOutcome ReplayJournalEntry(Store& store, const JournalEntry& entry) {
  StoreTransaction transaction(store, "UserData");
  if (IsJournalEntryRecorded(store, entry)) return ReplayOutcome::kAlreadyRecorded;
  if (!UpdateCardLogRow(store, entry.row)) InsertCardLogRow(store, entry.row);
  transaction.Commit();
  return ReplayOutcome::kRecorded;
}

}  // namespace portavel
