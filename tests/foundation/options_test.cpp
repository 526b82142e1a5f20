// The option table read by the parser and the help alike: values checked
// against each row's limits with the option and the value named, both
// spellings of a value, and a help text that lists every row with its
// limits and default.
#include "foundation/options.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Values {
  bool pad = false;
  std::string name = "zarv.mp4";
  int fps = 60;
  double from = 0.0;
  std::string quality = "normal";
  std::string listen;
  std::vector<std::string> sizes;
};

OptionTable Table(Values* v) {
  OptionTable table;
  table.program = "prog";
  table.about = "Does things.";
  Option name = Text("--output", "PATH", &v->name, "where it goes");
  name.alias = "-o";
  Option listen = Text("--listen", "SOURCE", &v->listen, "listen");
  listen.valueOptional = true;
  table.rows = {Flag("--pad", &v->pad, "pads"),
                name,
                Integer("--fps", "N", &v->fps, 1, 240, "frames a second"),
                Number("--from", "SECONDS", &v->from, 0.0, std::numeric_limits<double>::infinity(), "start"),
                Choice("--quality", "NAME", &v->quality, {"draft", "normal", "best"}, "how good"),
                listen,
                Custom("--size", "WxH", "the size", [v](const std::string& value, std::string* error) {
                  if (value.find('x') == std::string::npos) {
                    *error = "--size needs WxH";
                    return false;
                  }
                  v->sizes.push_back(value);
                  return true;
                })};
  table.after = "Exit status:\n  0    done";
  return table;
}

// The words (after the program's name) parsed into fresh values.
struct Parsed {
  std::unique_ptr<Values> values = std::make_unique<Values>();
  std::unique_ptr<OptionParser> parser;
  std::string error;  // empty on success
};

Parsed Parse(std::vector<const char*> words) {
  Parsed p;
  p.parser = std::make_unique<OptionParser>(Table(p.values.get()));
  words.insert(words.begin(), "prog");
  p.parser->Parse(static_cast<int>(words.size()), words.data(), &p.error);
  return p;
}

TEST(Options, ValuesAreCheckedAgainstTheirRowAndTakenInEitherSpelling) {
  const Parsed all = Parse({"--pad", "-o", "a.mp4", "--fps=240", "--from", "1.5", "--quality=best", "--size",
                            "2x3", "--size=4x5", "--listen"});
  ASSERT_EQ(all.error, "");
  const Values& v = *all.values;
  EXPECT_TRUE(v.pad);
  EXPECT_EQ(v.name, "a.mp4");
  EXPECT_EQ(v.fps, 240);
  EXPECT_EQ(v.from, 1.5);
  EXPECT_EQ(v.quality, "best");
  EXPECT_EQ(v.sizes, (std::vector<std::string>{"2x3", "4x5"}));
  EXPECT_EQ(v.listen, "");
  EXPECT_TRUE(all.parser->Given("--listen"));
  EXPECT_TRUE(all.parser->Given("--output"));
  EXPECT_FALSE(Parse({"--fps", "1"}).parser->Given("--output"));

  // An optional value is taken unless the next word is an option.
  const Parsed optional = Parse({"--listen", "mic", "--pad"});
  EXPECT_EQ(optional.error, "");
  EXPECT_EQ(optional.values->listen, "mic");
  EXPECT_TRUE(optional.values->pad);

  const struct {
    std::vector<const char*> words;
    std::string error;
  } refused[] = {
      {{"--frobnicate"}, "unknown option --frobnicate"},
      {{"-x"}, "unknown option -x"},
      {{"stray"}, "unexpected argument \"stray\""},
      {{"--fps"}, "--fps needs a value (N)"},
      {{"--fps", "0"}, "--fps needs a whole number from 1 to 240, not \"0\""},
      {{"--fps", "241"}, "--fps needs a whole number from 1 to 240, not \"241\""},
      {{"--fps", "2.5"}, "--fps needs a whole number from 1 to 240, not \"2.5\""},
      {{"--fps="}, "--fps needs a whole number from 1 to 240, not \"\""},
      {{"--fps", " 5"}, "--fps needs a whole number from 1 to 240, not \" 5\""},
      {{"--from", " 1"}, "--from needs a number, 0 or more, not \" 1\""},
      {{"--from", "-1"}, "--from needs a number, 0 or more, not \"-1\""},
      {{"--from", "nan"}, "--from needs a number, 0 or more, not \"nan\""},
      {{"--from", "inf"}, "--from needs a number, 0 or more, not \"inf\""},
      {{"--quality", "great"}, "--quality needs draft, normal or best, not \"great\""},
      {{"--output", ""}, "--output needs a value, not \"\""},
      {{"--pad=yes"}, "--pad takes no value"},
      {{"--size", "23"}, "--size needs WxH"},
  };
  for (const auto& r : refused) EXPECT_EQ(Parse(r.words).error, r.error) << r.words[0];
}

TEST(Options, HelpListsEveryRowWithItsLimitsAndDefault) {
  Values v;
  const OptionParser parser(Table(&v));
  const std::string help = parser.Help();
  // The shapes help2man reads: a one-line usage, the options under "Options:".
  EXPECT_EQ(help.rfind("Usage: prog [OPTION]...\n\nDoes things.\n\nOptions:\n      --pad ", 0), 0u) << help;
  for (const char* line :
       {"  -o, --output PATH", "      --pad ", "      --listen [SOURCE]", "(1 to 240; default 60)",
        "(draft, normal or best; default normal)", "(default zarv.mp4)", "\nExit status:\n  0    done\n"}) {
    EXPECT_NE(help.find(line), std::string::npos) << line << " in\n" << help;
  }
  for (const std::string& line : {std::string("Usage: prog [--pad] [--output PATH] [--fps N]"),
                                  std::string("[--listen [SOURCE]] [--size WxH]")}) {
    EXPECT_NE(parser.Usage().find(line), std::string::npos) << parser.Usage();
  }
  // No line is wider than a terminal.
  size_t start = 0;
  for (size_t end = help.find('\n'); end != std::string::npos;
       start = end + 1, end = help.find('\n', start)) {
    EXPECT_LE(end - start, 79u) << help.substr(start, end - start);
  }
}

}  // namespace
