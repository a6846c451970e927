#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "rix/TamLexer.h"
#include "tam/Tam.h"
#include "tam/TamException.h"
#include "tam/TamWindow.h"

namespace {

// The least a host must supply; a host keeping a legacy value may override only the single read.
class TinyAdapter : public Tam::AdapterInterface {
 public:
  bool loadModule(TamWindow*, const std::string&) override { return false; }
  bool refreshModule(TamWindow*, ref_count_ptr<TamModule>) override { return true; }
};
class LegacyAdapter : public TinyAdapter {
 public:
  ref_count_ptr<TamValue> getLegacyOptionValue(TamWindow*,
                                               const ref_count_ptr<TamOption>&) override {
    return TamValue::createInt(42);
  }
};

// 'Y' allowed, 'N' refused, or "E<code> info" raised.
std::string decide(std::vector<TamSelOptionSet::HowSet> existing,
                   TamSelOptionSet::HowSet howNew) {
  TamSelOptionSet::TamSosEntry entry;
  for (size_t i = 0; i < existing.size(); ++i) entry.values.push_back(TamValue::createInt(1));
  entry.howSet = std::move(existing);
  try {
    return TinyAdapter().allowOptionOverride(entry, nullptr, howNew) ? "Y" : "N";
  } catch (const TamException& e) {
    return "E" + std::to_string(e.code()) + " " + e.info() + e.context() + e.extrainfo2();
  }
}

TEST(DefaultAdapterTest, OverrideTableEveryCell) {
  // Rows: existing HowSet; columns: new HowSet, both from HOWSET_DEFAULT to HOWSET_HOST_FORCED.
  const char* const expected[] = {"TYYYYYY", "NYYYYYY", "NYYYYYY", "NYNYNYY",
                                  "NNNNNYY", "NNNNNNY", "YYYYYYY"};
  const std::string refused = "E2 Trying to change a default value with another default";
  for (int existing = 0; existing < 7; ++existing) {
    for (int howNew = 0; howNew < 7; ++howNew) {
      SCOPED_TRACE("existing " + std::to_string(existing) + ", new " + std::to_string(howNew));
      // Only the first HowSet of the entry counts.
      const std::string answer = decide({static_cast<TamSelOptionSet::HowSet>(existing),
                                         TamSelOptionSet::HOWSET_HOST_FORCED},
                                        static_cast<TamSelOptionSet::HowSet>(howNew));
      const char cell = expected[existing][howNew];
      EXPECT_EQ(answer, cell == 'T' ? refused : std::string(1, cell));
    }
  }
  // An empty list, or 7 (the one value past the seven the enumeration can still hold), is misuse.
  for (const auto& bad : {std::vector<TamSelOptionSet::HowSet>{},
                          {static_cast<TamSelOptionSet::HowSet>(7)}}) {
    EXPECT_EQ(decide(bad, TamSelOptionSet::HOWSET_HOST_FORCED), "E2 Invalid value for HowSet");
  }
}

TEST(DefaultAdapterTest, LegacyValuesMessagesAndLocalisation) {
  TinyAdapter plain;
  const auto unsetValues = plain.getLegacyOptionValues(nullptr, nullptr);
  const auto values = LegacyAdapter().getLegacyOptionValues(nullptr, nullptr);
  ASSERT_EQ(unsetValues.size(), 1u);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(unsetValues[0]->type(), TamValue::VT_UNSET);
  EXPECT_EQ(values[0]->intValue(), 42);
  EXPECT_TRUE(plain.userMsg(nullptr, Tam::MSG_ERROR, "refuse?", nullptr));
  EXPECT_EQ(plain.localizeString("SE_missing_to"),
            "Error parsing set/fix statement: 'to' not found");
  EXPECT_EQ(plain.localizeString("no such code"), "no such code");
}

TEST(TamTest, CreateWindowNeedsAnAdapter) {
  Tam::initialize(nullptr);
  try {
    Tam::createWindow();
    ADD_FAILURE() << "created a window without an adapter";
  } catch (const TamException& e) {
    EXPECT_EQ(std::to_string(e.code()) + e.info() + e.context() + e.extrainfo2(), "3");
  }
  TinyAdapter adapter;
  Tam::initialize(&adapter);
  EXPECT_EQ(Tam::adapterInterface(), &adapter);
  EXPECT_EQ(Tam::createWindow()->referenceCount(), 1);
  Tam::initialize(nullptr);
}

TEST(TamTest, QuotingIdentifiers) {
  struct Case { std::string id; std::string quoted; std::string moduleQuoted; };
  const Case cases[] = {
      {"", "", ""},
      {"_ab12", "_ab12", "_ab12"},       {"2ways", "'2ways'", "2ways"},
      {"a b", "'a b'", "'a b'"},          {"it's", "'it\\'s'", "'it\\'s'"},
      {"a\\b", "'a\\\\b'", "'a\\\\b'"},    {"\\'", "'\\\\\\''", "'\\\\\\''"},
      {"caf\xc3\xa9", "'caf\xc3\xa9'", "'caf\xc3\xa9'"},  {"if", "if", "if"},
      {std::string("a\0b", 3), std::string("'a\0b'", 5), std::string("'a\0b'", 5)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(Tam::rixQuoteId(c.id), c.quoted);
    EXPECT_EQ(Tam::rixQuoteModuleId(c.id), c.moduleQuoted);
  }
}

// An option name must read back as one identifier of the same value wherever it stands, also
// before a blank, where a bare keyword spelling would be read as the keyword.
TEST(TamTest, QuotingOptionNamesReadsBack) {
  struct Case { std::string name; std::string written; };
  const Case cases[] = {
      {"if", "'if'"},          {"set", "'set'"},        {"integer", "'integer'"},
      {"interface", "'interface'"},  {"endif", "'endif'"},  {"ifs", "ifs"},
      {"If", "If"},            {"_if", "_if"},          {"a b", "'a b'"},
      {"2ways", "'2ways'"},    {"it's", "'it\\'s'"},   {"", "''"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string written = Tam::rixQuoteOptionName(c.name);
    EXPECT_EQ(written, c.written);
    TamLexer lexer(written + " integer");
    EXPECT_EQ(lexer.kind(), TOKEN_IDENT);
    EXPECT_EQ(lexer.identifierValue(), c.name);
    lexer.next();
    EXPECT_EQ(lexer.kind(), TOKEN_INTEGER);
  }
}

}  // namespace
