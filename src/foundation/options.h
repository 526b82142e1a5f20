// A program's command line as one table: each row names an option, the
// value it takes, its limits and what it is for. The parser and the --help
// text both read the table, so they cannot tell different stories.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

// The exit status of a program given a command line or input it cannot take.
constexpr int EXIT_USAGE = 2;

struct Option {
  enum class Kind {
    FLAG,     // no value
    TEXT,     // any text, empty refused
    INTEGER,  // a whole number in [min, max]
    NUMBER,   // a finite number in [min, max]
    CHOICE,   // one of choices
  };

  std::string name;   // "--fps"
  std::string alias;  // "-o", or empty
  Kind kind = Kind::FLAG;
  std::string value;  // the value's name in the help ("N", "FILE"); empty for a flag
  std::string help;   // one sentence; the limits and the default are added to it
  double min = 0.0;   // INTEGER, NUMBER
  double max = 0.0;
  std::vector<std::string> choices;  // CHOICE, in the order the help lists them
  std::string defaultText;           // shown as "(default ...)" when not empty
  bool valueOptional = false;        // the value may be left out: then it is ""
  // Takes the checked value ("" for a flag); false with *error set when the
  // value does not fit beyond what the row's limits say.
  std::function<bool(const std::string& value, std::string* error)> apply;
};

// Rows bound to where their values go. The default shown in the help is
// the target's value when the row is made.
Option Flag(const std::string& name, bool* target, const std::string& help);
Option Text(const std::string& name, const std::string& value, std::string* target, const std::string& help);
Option Integer(const std::string& name, const std::string& value, int* target, int min, int max,
               const std::string& help);
Option Number(const std::string& name, const std::string& value, double* target, double min, double max,
              const std::string& help);
Option Choice(const std::string& name, const std::string& value, std::string* target,
              const std::vector<std::string>& choices, const std::string& help);
// -h, --help and --version, which every program takes.
std::vector<Option> HelpAndVersion(bool* help, bool* version);
// "WIDTHxHEIGHT", each side a whole number from least to most, as --window
// and --size take it; false when text is not one.
bool ReadSize(const std::string& text, int least, int most, int* width, int* height);
// A text value with checks and effects of its own.
Option Custom(const std::string& name, const std::string& value, const std::string& help,
              std::function<bool(const std::string& value, std::string* error)> apply);

struct OptionTable {
  std::string program;  // "zarv-capture"
  std::string about;    // the paragraph under the usage line
  std::vector<Option> rows;
  // The options that arguments given without a name stand for, in order
  // ("DIR" for --show-dir DIR); empty: such an argument is a mistake.
  std::vector<std::string> bare;
  std::string after;  // after the options: notes, then parts headed by a line such as "Keys:"
};

class OptionParser {
 public:
  explicit OptionParser(OptionTable table) : table(std::move(table)) {}

  // Reads argv[1..argc) into the rows' targets, in order. False with a
  // one-line reason in *error at the first unknown option, missing or
  // unfitting value, or argument that is not an option.
  bool Parse(int argc, const char* const* argv, std::string* error);
  // Whether the option (by its long name) was on the command line.
  bool Given(const std::string& name) const { return given.count(name) != 0; }

  // The --help text: "Usage: PROGRAM [OPTION]...", about, every row with
  // its limits under "Options:", after.
  std::string Help() const;
  // "Usage: PROGRAM [--a X] [--b] ...", wrapped, for a mistaken command line.
  std::string Usage() const;

  const OptionTable table;

 private:
  const Option* Find(const std::string& name) const;

  std::set<std::string> given;
};

// A command line the program cannot take: "PROGRAM: message" and the usage
// on stderr; the exit status that ends with, EXIT_USAGE.
int UsageError(const OptionParser& parser, const std::string& message);
// Reads the command line as every program does. A mistake ends as
// UsageError; --help prints the help and --version "PROGRAM VERSION" on
// stdout, and end with 0. The exit status to end with, or -1 to go on.
int ReadCommandLine(OptionParser* parser, int argc, const char* const* argv, const char* version);
