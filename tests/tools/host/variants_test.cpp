// The sweep's variant sources: CSV and JSON Lines files read row by row, and variants generated
// from varied options over a product's option declarations.
#include "Variants.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "Diagnostics.h"
#include "Session.h"
#include "ValueText.h"
#include "VariantGenerators.h"

namespace {

// A variant as one line: "index source: key=value;key=[v,v]" or "index source: problem".
std::string describe(const Variant& variant) {
  std::string text = std::to_string(variant.index) + " " + variant.source + ":";
  if (!variant.problem.empty()) return text + " " + variant.problem;
  for (const Choice& choice : variant.choices) {
    nlohmann::json values = choice.values;
    text += " " + choice.key + "=" + (choice.several ? values.dump() : values[0].dump());
  }
  return text;
}

std::vector<std::string> readAll(VariantSource& source) {
  std::vector<std::string> variants;
  Variant variant;
  while (source.next(variant)) variants.push_back(describe(variant));
  return variants;
}

class VariantFileTest : public ::testing::Test {
 protected:
  std::vector<std::string> read(const std::string& name, const std::string& text) {
    path_ = ::testing::TempDir() + name;
    std::ofstream(path_, std::ios::binary) << text;
    std::unique_ptr<VariantSource> source = openVariantFile(path_, VariantFormat::kAuto);
    return readAll(*source);
  }
  void TearDown() override { std::remove(path_.c_str()); }
  std::string path_;
};

TEST_F(VariantFileTest, CsvCellsAreReadAsTheyAreQuoted) {
  struct Case {
    const char* rows;
    const char* expected;
  };
  const Case cases[] = {
      {"a,b\n", "0 v.csv:2: n:m:a=\"a\" n:m:b=\"b\""},
      {"\"a,b\",\"say \"\"hi\"\"\"\n", "0 v.csv:2: n:m:a=\"a,b\" n:m:b=\"say \\\"hi\\\"\""},
      {",b\r\n", "0 v.csv:2: n:m:b=\"b\""},
      {"\"two\nlines\",x\n", "0 v.csv:2: n:m:a=\"two\\nlines\" n:m:b=\"x\""},
      {"a\n", "0 v.csv:2: v.csv:2: the row has 1 cells, the header 2"},
      {"a,b,c\n", "0 v.csv:2: v.csv:2: the row has 3 cells, the header 2"},
      {"\"a\"x,b\n", "0 v.csv:2: v.csv:2: text after the closing quote of a cell"},
      {"\"open,b\n", "0 v.csv:2: v.csv:2: a quoted cell is not closed"},
      {"\n\na,b", "0 v.csv:4: n:m:a=\"a\" n:m:b=\"b\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    std::vector<std::string> variants = read("v.csv", std::string("n:m:a,n:m:b\n") + c.rows);
    ASSERT_EQ(variants.size(), 1u);
    // The reader names the file by the path it was given.
    std::string got = variants[0];
    for (std::size_t at; (at = got.find(path_)) != std::string::npos;)
      got.replace(at, path_.size(), "v.csv");
    EXPECT_EQ(got, c.expected);
  }
}

TEST_F(VariantFileTest, CsvRowsGoOnAfterOneThatCannotBeRead) {
  std::vector<std::string> variants = read(
      "w.csv", "\xEF\xBB\xBFn:m:a\n\"broken\"x\nnext\n" + std::string(2 << 20, 'z') + "\nlast\n");
  ASSERT_EQ(variants.size(), 4u);
  EXPECT_NE(variants[0].find("text after the closing quote"), std::string::npos);
  EXPECT_NE(variants[1].find("n:m:a=\"next\""), std::string::npos);
  EXPECT_NE(variants[2].find("longer than"), std::string::npos);
  EXPECT_NE(variants[3].find(":5: n:m:a=\"last\""), std::string::npos);
}

TEST_F(VariantFileTest, JsonLinesKeepTheirKeysInOrder) {
  std::vector<std::string> variants =
      read("v.jsonl",
           "{\"n:m:b\": 1, \"n:m:a\": [true, \"x\"], \"n:m:c\": null}\n"
           "\n"
           "{\"n:m:a\": 1, \"n:m:a\": 2}\n"
           "{\"n:m:a\": [[1]]}\n"
           "{\"n:m:a\": {}}\n"
           "{\"nm\": 1}\n"
           "[1]\n"
           "{\"n:m:a\": 2.5e0}");
  for (std::string& variant : variants) {
    for (std::size_t at; (at = variant.find(path_)) != std::string::npos;)
      variant.replace(at, path_.size(), "v");
  }
  const std::vector<std::string> expected = {
      "0 v:1: n:m:b=1 n:m:a=[true,\"x\"]",
      "1 v:3: v:3: duplicate key \"n:m:a\"",
      "2 v:4: v:4: a choice must be a value or a list of values",
      "3 v:5: v:5: key \"n:m:a\": expected a value, a non-empty list of values or null",
      "4 v:6: v:6: key \"nm\": expected NODEPATH:module:option",
      "5 v:7: v:7: expected one JSON object of NODEPATH:module:option keys",
      "6 v:8: n:m:a=2.5",
  };
  EXPECT_EQ(variants, expected);
}

TEST(VariantTest, TravelsBetweenProcessesUnchanged) {
  Variant variant;
  variant.index = 41;
  variant.source = "f.csv:3";
  Choice choice;
  ASSERT_TRUE(parseChoiceKey("a.b:m:o", choice));
  choice.values = {1, "x"};
  choice.several = true;
  variant.choices.push_back(choice);
  EXPECT_EQ(describe(variantFromJson(variantToJson(variant))), describe(variant));
  EXPECT_NE(variantFromJson(nlohmann::json::parse("{\"index\": 1}")).problem, "");
  for (const char* bad : {"a:b", ":m:o", "n::o", "n:m:", "nmo"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(parseChoiceKey(bad, choice));
  }
}

class GeneratorTest : public ::testing::Test {
 protected:
  GeneratorTest() : session_(std::string(TAM_TEST_PRODUCTS) + "/basic/product.json") {
    session_.buildTree({});
  }
  std::vector<std::string> generate(const std::vector<std::string>& vary, std::int64_t sample = -1,
                                    std::uint64_t seed = 1) {
    std::vector<VaryRequest> requests;
    for (const std::string& argument : vary) requests.push_back(parseVaryRequest(argument));
    std::unique_ptr<VariantSource> source = sample < 0
                                                ? factorialVariants(session_, requests)
                                                : sampledVariants(session_, requests, sample, seed);
    std::vector<std::string> variants = readAll(*source);
    EXPECT_EQ(source->size(), static_cast<std::int64_t>(variants.size()));
    return variants;
  }
  Session session_;
};

TEST_F(GeneratorTest, FactorialsListTheDeclaredValuesFirstVarySlowest) {
  EXPECT_EQ(generate({"bike:bike:style", "bike:bike:bell_wanted"}),
            (std::vector<std::string>{"0 : bike:bike:style=\"road\" bike:bike:bell_wanted=false",
                                      "1 : bike:bike:style=\"road\" bike:bike:bell_wanted=true",
                                      "2 : bike:bike:style=\"city\" bike:bike:bell_wanted=false",
                                      "3 : bike:bike:style=\"city\" bike:bike:bell_wanted=true"}));
  std::vector<std::string> speeds = generate({"bike:bike:speed"});
  ASSERT_EQ(speeds.size(), 31u);  // 15 to 45, both ends included
  EXPECT_EQ(speeds.front(), "0 : bike:bike:speed=15");
  EXPECT_EQ(speeds.back(), "30 : bike:bike:speed=45");
  // Listed values are typed by their option; a presented option has its base's values.
  EXPECT_EQ(generate({"bike.rear:wheel:pressure=2,2.5"}),
            (std::vector<std::string>{"0 : bike.rear:wheel:pressure=2.0",
                                      "1 : bike.rear:wheel:pressure=2.5"}));
  EXPECT_EQ(generate({"bike:bike:lamp"}).size(), 3u);
}

TEST_F(GeneratorTest, DrawsAreFixedBySeedAndStayInTheirRange) {
  std::vector<std::string> first =
      generate({"bike:bike:speed", "bike.front:wheel:pressure"}, 200, 9);
  EXPECT_EQ(generate({"bike:bike:speed", "bike.front:wheel:pressure"}, 200, 9), first);
  EXPECT_NE(generate({"bike:bike:speed", "bike.front:wheel:pressure"}, 200, 10), first);
  std::vector<VaryRequest> requests = {parseVaryRequest("bike.front:wheel:pressure")};
  std::unique_ptr<VariantSource> source = sampledVariants(session_, requests, 200, 9);
  Variant variant;
  while (source->next(variant)) {
    double pressure = variant.choices[0].values[0].get<double>();
    EXPECT_GE(pressure, 1.5);
    EXPECT_LE(pressure, 8.0);
    // What a record prints is the number that was evaluated.
    EXPECT_EQ(std::strtod(realText(pressure).c_str(), nullptr), pressure);
  }
}

TEST_F(GeneratorTest, VariesTheProductCannotTakeAreRefused) {
  struct Case {
    std::vector<std::string> vary;
    const char* message;
  };
  const Case cases[] = {
      {{"bike.front:wheel:pressure"}, "real values in a range cannot be listed"},
      {{"bike:bike:speed=x"}, "'x' is not an integer (bike:speed takes integer values)"},
      {{"bike:bike:nothing"}, "module 'bike' has no option 'nothing'"},
      {{"bike.x:bike:speed"}, "no node 'bike.x' in the product"},
      {{"bike:bike:style", "bike:bike:style"}, "the option is varied twice"},
      {{"bike:bike:frame_number"}, "is a legacy option"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    try {
      generate(c.vary);
      ADD_FAILURE() << "not refused";
    } catch (const ToolError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      EXPECT_EQ(e.status(), kExitUsage);
    }
  }
}

}  // namespace
