// The shared diagnostic component of tam: how a diagnostic is laid out (place, caret and
// underline, notes), how awkward source lines are shown (tabs, control characters, malformed
// UTF-8, very long lines), colour, the error limit, and where a text offset lands.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "Diagnostics.h"
#include "SourceText.h"

namespace {

SourcePlace at(int line, int column, int length, const std::string& source) {
  SourcePlace place = SourcePlace::fileLine("m.rix", line, source);
  place.column = column;
  place.length = length;
  return place;
}

std::string plain(const Diagnostic& diagnostic) {
  std::ostringstream out;
  return DiagnosticPrinter(out, false, kDefaultErrorLimit, false).render(diagnostic);
}

TEST(DiagnosticTest, LaysOutPlaceSourceAndCaret) {
  struct Case {
    const char* name;
    Diagnostic diagnostic;
    const char* expected;
  };
  Diagnostic withNote = Diagnostic::error(at(3, 5, 3, "set a:b to 1"), "bad");
  withNote.note(at(1, 1, 0, "module a"), "declared here");
  Diagnostic withCode = Diagnostic::error(SourcePlace::fileLine("p.json", 7, "x"), "finding");
  withCode.code = "VE_X";
  const Case cases[] = {
      {"caret", Diagnostic::error(at(2, 3, 0, "abcdef"), "msg"),
       "m.rix:2:3: error: msg\nabcdef\n  ^\n"},
      {"underline", Diagnostic::warning(at(2, 3, 3, "abcdef"), "msg"),
       "m.rix:2:3: warning: msg\nabcdef\n  ^~~\n"},
      {"tabs stay tabs", Diagnostic::error(at(1, 3, 1, "\t\tx"), "msg"),
       "m.rix:1:3: error: msg\n\t\tx\n\t\t^\n"},
      {"past the end", Diagnostic::error(at(1, 4, 0, "abc"), "msg"),
       "m.rix:1:4: error: msg\nabc\n   ^\n"},
      {"note", withNote,
       "m.rix:3:5: error: bad\nset a:b to 1\n    ^~~\nm.rix:1:1: note: declared here\nmodule a\n^\n"},
      {"line only", withCode, "p.json:7: error: finding [VE_X]\n"},
      {"file only", Diagnostic::error(SourcePlace::fileOnly("big.rix"), "too large"),
       "big.rix: error: too large\n"},
      {"tam itself", Diagnostic::general("no module files"), "tam: error: no module files\n"},
      {"control characters",
       Diagnostic::error(at(1, 2, 1, std::string("a\0b\x7f", 4)), "nul"),
       "m.rix:1:2: error: nul\na<U+0000>b<U+007F>\n ^~~~~~~~\n"},
      {"malformed utf-8", Diagnostic::error(at(1, 5, 1, "caf\xc3\xa9\xff!"), "byte"),
       "m.rix:1:5: error: byte\ncaf\xc3\xa9<FF>!\n   ^\n"},
      {"byte after a character", Diagnostic::error(at(1, 6, 1, "caf\xc3\xa9\xff!"), "byte"),
       "m.rix:1:6: error: byte\ncaf\xc3\xa9<FF>!\n    ^~~~\n"},
      {"message sanitised", Diagnostic::error(SourcePlace(), std::string("name 'a\nb'")),
       "tam: error: name 'a<U+000A>b'\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(plain(c.diagnostic), c.expected);
  }
}

// A line far wider than a terminal shows a window around the caret, cut with "...".
TEST(DiagnosticTest, ShowsAWindowOfAVeryLongLine) {
  const std::string line = std::string(1000, 'a') + "XYZ" + std::string(1000, 'b');
  const std::string shown = plain(Diagnostic::error(at(1, 1001, 3, line), "long"));
  const std::string expectedSource =
      "..." + std::string(60, 'a') + "XYZ" + std::string(160 - 3 - 60 - 3, 'b') + "...";
  const std::string expectedCaret = std::string(63, ' ') + "^~~";
  EXPECT_EQ(shown, "m.rix:1:1001: error: long\n" + expectedSource + "\n" + expectedCaret + "\n");
  // Near its start, only the end is cut.
  const std::string start = plain(Diagnostic::error(at(1, 2, 0, line), "start"));
  EXPECT_EQ(start, "m.rix:1:2: error: start\n" + std::string(160, 'a') + "...\n ^\n");
}

TEST(DiagnosticTest, ColoursLikeClang) {
  std::ostringstream out;
  DiagnosticPrinter printer(out, true, kDefaultErrorLimit, false);
  Diagnostic diagnostic = Diagnostic::warning(at(1, 2, 2, "abc"), "odd");
  diagnostic.note(SourcePlace::fileOnly("n.rix"), "see");
  EXPECT_EQ(printer.render(diagnostic),
            "\033[1mm.rix:1:2:\033[0m \033[1;35mwarning:\033[0m \033[1modd\033[0m\nabc\n"
            "\033[1;32m ^~\033[0m\n"
            "\033[1mn.rix:\033[0m \033[1;36mnote:\033[0m see\n");
  printer.reportText("f.json:3: error: broken\n    ^\nplain");
  EXPECT_EQ(out.str(),
            "\033[1mf.json:3:\033[0m \033[1;31merror:\033[0m \033[1mbroken\033[0m\n"
            "\033[1;32m    ^\033[0m\nplain\n");
  EXPECT_EQ(printer.errors(), 1u);
}

TEST(DiagnosticTest, ColourFollowsModeTerminalAndEnvironment) {
  EXPECT_TRUE(colourWanted(ColorMode::kAlways, -1));
  EXPECT_FALSE(colourWanted(ColorMode::kNever, -1));
  EXPECT_FALSE(colourWanted(ColorMode::kAuto, -1));  // not a terminal
  ::setenv("NO_COLOR", "1", 1);
  EXPECT_TRUE(colourWanted(ColorMode::kAlways, -1));  // asked for on the command line
  ::unsetenv("NO_COLOR");
}

// Past the limit, diagnostics are counted but not shown, and one note says how many.
TEST(DiagnosticTest, StopsShowingAtTheErrorLimit) {
  struct Case {
    std::size_t limit;
    int errors;
    int warnings;
    std::size_t hidden;
  };
  const Case cases[] = {{3, 5, 0, 2}, {3, 3, 2, 2}, {0, 60, 1, 0}, {50, 2, 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.limit);
    std::ostringstream out;
    DiagnosticPrinter printer(out, false, c.limit, false);
    for (int i = 0; i < c.errors; ++i) printer.report(Diagnostic::general("e"));
    for (int i = 0; i < c.warnings; ++i) {
      Diagnostic warning = Diagnostic::general("w");
      warning.severity = Severity::kWarning;
      printer.report(warning);
    }
    printer.reportHidden();
    EXPECT_EQ(printer.errors(), static_cast<std::size_t>(c.errors));
    EXPECT_EQ(printer.warnings(), static_cast<std::size_t>(c.warnings));
    EXPECT_EQ(printer.hidden(), c.hidden);
    const std::string text = out.str();
    const std::size_t shownLines = static_cast<std::size_t>(c.errors + c.warnings) - c.hidden;
    const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ(lines, shownLines + (c.hidden > 0 ? 1 : 0)) << text;
    if (c.hidden > 0) {
      EXPECT_NE(text.find("tam: note: " + std::to_string(c.hidden) + " more problems"),
                std::string::npos);
    }
  }
}

TEST(DiagnosticTest, ExitStatusCountsWarningsOnlyWithWerror) {
  for (bool werror : {false, true}) {
    std::ostringstream out;
    DiagnosticPrinter printer(out, false, kDefaultErrorLimit, werror);
    EXPECT_EQ(printer.exitStatus(), kExitOk);
    printer.report(Diagnostic::warning(SourcePlace::fileOnly("m.rix"), "w"));
    EXPECT_EQ(printer.exitStatus(), werror ? kExitReported : kExitOk);
    printer.report(Diagnostic::general("e"));
    EXPECT_EQ(printer.exitStatus(), kExitReported);
  }
}

TEST(SourceTextTest, PlacesOffsetsOnLinesWithTheirText) {
  const SourceText source("m.rix", "module m\r\ninterface start\n\nset m:a to 1");
  struct Case {
    std::size_t offset;
    std::size_t end;
    int line;
    int column;
    int length;
    const char* sourceLine;
  };
  const Case cases[] = {
      {0, 6, 1, 1, 6, "module m"},         // the CR of a CR LF line end is not shown
      {7, 20, 1, 8, 1, "module m"},        // an underline ends at the end of its line
      {10, 0, 2, 1, 0, "interface start"},
      {26, 26, 3, 1, 0, ""},
      {31, 34, 4, 5, 3, "set m:a to 1"},
      {39, 0, 4, 13, 0, "set m:a to 1"},   // the end of the text is a place too
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset);
    const SourcePlace place = source.place(c.offset, c.end);
    EXPECT_EQ(place.file, "m.rix");
    EXPECT_EQ(place.line, c.line);
    EXPECT_EQ(place.column, c.column);
    EXPECT_EQ(place.length, c.length);
    EXPECT_EQ(place.sourceLine, c.sourceLine);
  }
  EXPECT_EQ(source.place(1000).line, 0);
}

}  // namespace
