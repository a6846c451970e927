#include <gtest/gtest.h>

#include <string>

#include "tam/Tam.h"
#include "tam/TamException.h"
#include "tam/TamWindow.h"

namespace {

// The least a host must supply: it has no modules to load.
class TinyAdapter : public Tam::AdapterInterface {
 public:
  bool loadModule(TamWindow*, const std::string&) override { return false; }
  bool refreshModule(TamWindow*, ref_count_ptr<TamModule>) override { return true; }
};

// A host that keeps one legacy value and overrides nothing else about legacy options.
class LegacyAdapter : public TinyAdapter {
 public:
  ref_count_ptr<TamValue> getLegacyOptionValue(TamWindow*,
                                               const ref_count_ptr<TamOption>&) override {
    return TamValue::createInt(42);
  }
};

TamSelOptionSet::TamSosEntry entrySetBy(std::vector<TamSelOptionSet::HowSet> howSet) {
  TamSelOptionSet::TamSosEntry entry;
  for (size_t i = 0; i < howSet.size(); ++i) entry.values.push_back(TamValue::createInt(1));
  entry.howSet = std::move(howSet);
  return entry;
}

TEST(DefaultAdapterTest, OverrideTableEveryCell) {
  // Rows: existing HowSet; columns: new HowSet, both from HOWSET_DEFAULT to HOWSET_HOST_FORCED.
  // Y allows, N refuses, T throws code 2.
  const char* const expected[] = {"TYYYYYY", "NYYYYYY", "NYYYYYY", "NYNYNYY",
                                  "NNNNNYY", "NNNNNNY", "YYYYYYY"};
  TinyAdapter adapter;
  for (int existing = 0; existing < 7; ++existing) {
    for (int howNew = 0; howNew < 7; ++howNew) {
      SCOPED_TRACE("existing " + std::to_string(existing) + ", new " + std::to_string(howNew));
      // Only the first HowSet of the entry counts.
      const auto entry = entrySetBy({static_cast<TamSelOptionSet::HowSet>(existing),
                                     TamSelOptionSet::HOWSET_HOST_FORCED});
      char answer;
      try {
        answer = adapter.allowOptionOverride(entry, nullptr,
                                             static_cast<TamSelOptionSet::HowSet>(howNew))
                     ? 'Y'
                     : 'N';
      } catch (const TamException& e) {
        EXPECT_EQ(e.code(), 2);
        EXPECT_EQ(e.info(), "Trying to change a default value with another default");
        EXPECT_EQ(e.context(), "");
        EXPECT_EQ(e.extrainfo2(), "");
        answer = 'T';
      }
      EXPECT_EQ(answer, expected[existing][howNew]);
    }
  }
}

TEST(DefaultAdapterTest, InvalidHowSetIsMisuse) {
  TinyAdapter adapter;
  const TamSelOptionSet::TamSosEntry entries[] = {
      entrySetBy({}),
      // 7 is the one value outside the seven kinds that the enumeration can still hold.
      entrySetBy({static_cast<TamSelOptionSet::HowSet>(7)}),
  };
  for (const auto& entry : entries) {
    try {
      adapter.allowOptionOverride(entry, nullptr, TamSelOptionSet::HOWSET_HOST_FORCED);
      ADD_FAILURE() << "accepted an invalid HowSet";
    } catch (const TamException& e) {
      EXPECT_EQ(e.code(), 2);
      EXPECT_EQ(e.info(), "Invalid value for HowSet");
    }
  }
}

TEST(DefaultAdapterTest, LegacyValuesMessagesAndLocalisation) {
  TinyAdapter plain;
  EXPECT_EQ(plain.getLegacyOptionValue(nullptr, nullptr)->type(), TamValue::VT_UNSET);
  const auto unsetValues = plain.getLegacyOptionValues(nullptr, nullptr);
  ASSERT_EQ(unsetValues.size(), 1u);
  EXPECT_EQ(unsetValues[0]->type(), TamValue::VT_UNSET);
  EXPECT_TRUE(plain.userMsg(nullptr, Tam::MSG_ERROR, "refuse?", nullptr));

  LegacyAdapter legacy;
  const auto values = legacy.getLegacyOptionValues(nullptr, nullptr);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0]->intValue(), 42);

  EXPECT_EQ(plain.localizeString("SE_missing_to"),
            "Error parsing set/fix statement: 'to' not found");
  EXPECT_EQ(plain.localizeString("SE_expect_optname"), "Expected option name after ':'");
  EXPECT_EQ(plain.localizeString("no such code"), "no such code");
  EXPECT_EQ(plain.localizeString(""), "");
}

TEST(TamTest, CreateWindowNeedsAnAdapter) {
  Tam::initialize(nullptr);
  try {
    Tam::createWindow();
    ADD_FAILURE() << "created a window without an adapter";
  } catch (const TamException& e) {
    EXPECT_EQ(e.code(), 3);
    EXPECT_EQ(e.info(), "");
    EXPECT_EQ(e.context(), "");
    EXPECT_EQ(e.extrainfo2(), "");
  }

  TinyAdapter first;
  TinyAdapter second;
  Tam::initialize(&first);
  Tam::initialize(&second);
  EXPECT_EQ(Tam::adapterInterface(), &second);
  const int32_t live = ref_count::liveObjects();
  {
    ref_count_ptr<TamWindow> window = Tam::createWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->referenceCount(), 1);
  }
  EXPECT_EQ(ref_count::liveObjects(), live);
  Tam::initialize(nullptr);
  EXPECT_EQ(Tam::adapterInterface(), nullptr);
}

TEST(TamTest, QuotingIdentifiers) {
  struct Case { std::string id; std::string quoted; std::string moduleQuoted; };
  const Case cases[] = {
      {"", "", ""},
      {"_ab12", "_ab12", "_ab12"},
      {"Drive", "Drive", "Drive"},
      {"12", "'12'", "12"},
      {"2ways", "'2ways'", "2ways"},
      {"a b", "'a b'", "'a b'"},
      {"a.b", "'a.b'", "'a.b'"},
      {"it's", "'it\\'s'", "'it\\'s'"},
      {"a\\b", "'a\\\\b'", "'a\\\\b'"},
      {"\\'", "'\\\\\\''", "'\\\\\\''"},
      {"caf\xc3\xa9", "'caf\xc3\xa9'", "'caf\xc3\xa9'"},
      {std::string("a\0b", 3), std::string("'a\0b'", 5), std::string("'a\0b'", 5)},
      {"if", "if", "if"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(Tam::rixQuoteId(c.id), c.quoted);
    EXPECT_EQ(Tam::rixQuoteModuleId(c.id), c.moduleQuoted);
  }
}

}  // namespace
