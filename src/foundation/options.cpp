// Values are checked against their row's limits before the row takes them,
// and every message names the option and the value it was given.
#include "foundation/options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

constexpr size_t HELP_WIDTH = 79;
constexpr size_t WIDEST_NAME_COLUMN = 24;

std::string NumberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// "a, b or c"
std::string Listed(const std::vector<std::string>& items) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    text += items[i];
    if (i + 2 < items.size()) text += ", ";
    if (i + 2 == items.size()) text += " or ";
  }
  return text;
}

// What a row's value must be: "from 1 to 240", "0 or more", "2, 4 or 8".
std::string Limits(const Option& o) {
  switch (o.kind) {
    case Option::Kind::INTEGER:
    case Option::Kind::NUMBER:
      if (std::isinf(o.max)) return NumberText(o.min) + " or more";
      return NumberText(o.min) + " to " + NumberText(o.max);
    case Option::Kind::CHOICE:
      return Listed(o.choices);
    default:
      return "";
  }
}

// The value checked against the row's kind and limits; its message when it
// does not fit.
bool Fits(const Option& o, const std::string& value, std::string* error) {
  const std::string given = ", not \"" + value + "\"";
  switch (o.kind) {
    case Option::Kind::FLAG:
      return true;
    case Option::Kind::TEXT:
      if (!value.empty() || o.valueOptional) return true;
      *error = o.name + " needs a value" + given;
      return false;
    case Option::Kind::INTEGER:
    case Option::Kind::NUMBER: {
      const bool whole = o.kind == Option::Kind::INTEGER;
      const char* text = value.c_str();
      char* end = nullptr;
      errno = 0;
      const double v = whole ? static_cast<double>(std::strtol(text, &end, 10)) : std::strtod(text, &end);
      // strtol and strtod pass over leading blanks, and strtol saturates what
      // does not fit in a long.
      const bool blank = !value.empty() && std::isspace(static_cast<unsigned char>(value[0]));
      const bool beyond = whole && errno == ERANGE;
      if (value.empty() || blank || beyond || *end != '\0' || !std::isfinite(v) || v < o.min || v > o.max) {
        const std::string limits = Limits(o);
        *error = o.name + " needs " + (whole ? "a whole number" : "a number") +
                 (std::isinf(o.max) ? ", " : " from ") + limits + given;
        return false;
      }
      return true;
    }
    case Option::Kind::CHOICE:
      if (std::find(o.choices.begin(), o.choices.end(), value) != o.choices.end()) return true;
      *error = o.name + " needs " + Listed(o.choices) + given;
      return false;
  }
  return false;
}

// The words of each line of text in lines of at most HELP_WIDTH characters,
// the first starting at column first, every later one indented by indent.
std::string Wrapped(const std::string& text, size_t first, size_t indent) {
  std::string out;
  size_t column = first;
  size_t start = 0;
  while (start <= text.size()) {
    size_t lineEnd = text.find('\n', start);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    if (start > 0) {
      out += "\n" + std::string(indent, ' ');
      column = indent;
    }
    // A line that fits is kept as written, its columns aligned by spaces
    // (keys, exit statuses); a longer one keeps its own indentation.
    if (column + (lineEnd - start) <= HELP_WIDTH) {
      out.append(text, start, lineEnd - start);
      start = lineEnd + 1;
      continue;
    }
    size_t word = start;
    while (word < lineEnd && text[word] == ' ') ++word;
    out.append(word - start, ' ');
    column += word - start;
    const size_t lineStart = column;
    while (word < lineEnd) {
      size_t end = std::min(text.find(' ', word), lineEnd);
      if (end > word) {
        const size_t length = end - word;
        if (column > lineStart && column + 1 + length > HELP_WIDTH) {
          out += "\n" + std::string(indent, ' ');
          column = indent;
        } else if (column > lineStart) {
          out += ' ';
          ++column;
        }
        out.append(text, word, length);
        column += length;
      }
      word = end + 1;
    }
    start = lineEnd + 1;
  }
  return out;
}

// "-o, --output PATH" with the room for an alias kept when there is none.
std::string Names(const Option& o) {
  std::string names = o.alias.empty() ? "    " + o.name : o.alias + ", " + o.name;
  if (!o.value.empty()) names += o.valueOptional ? " [" + o.value + "]" : " " + o.value;
  return names;
}

Option Row(const std::string& name, Option::Kind kind, const std::string& value, const std::string& help) {
  Option o;
  o.name = name;
  o.kind = kind;
  o.value = value;
  o.help = help;
  return o;
}

}  // namespace

std::vector<Option> HelpAndVersion(bool* help, bool* version) {
  Option helpRow = Flag("--help", help, "this text");
  helpRow.alias = "-h";
  return {helpRow, Flag("--version", version, "the version")};
}

bool ReadSize(const std::string& text, int least, int most, int* width, int* height) {
  const size_t x = text.find('x');
  if (x == std::string::npos) return false;
  int side[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    const std::string digits = i == 0 ? text.substr(0, x) : text.substr(x + 1);
    // Five digits hold any side taken, and no more can overflow.
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
      return false;
    side[i] = std::stoi(digits);
    if (side[i] < least || side[i] > most) return false;
  }
  *width = side[0];
  *height = side[1];
  return true;
}

Option Custom(const std::string& name, const std::string& value, const std::string& help,
              std::function<bool(const std::string& value, std::string* error)> apply) {
  Option o = Row(name, Option::Kind::TEXT, value, help);
  o.apply = std::move(apply);
  return o;
}

Option Flag(const std::string& name, bool* target, const std::string& help) {
  Option o = Row(name, Option::Kind::FLAG, "", help);
  o.apply = [target](const std::string&, std::string*) { return *target = true; };
  return o;
}

Option Text(const std::string& name, const std::string& value, std::string* target, const std::string& help) {
  Option o = Row(name, Option::Kind::TEXT, value, help);
  o.defaultText = *target;
  o.apply = [target](const std::string& v, std::string*) {
    *target = v;
    return true;
  };
  return o;
}

Option Integer(const std::string& name, const std::string& value, int* target, int min, int max,
               const std::string& help) {
  Option o = Row(name, Option::Kind::INTEGER, value, help);
  o.min = min;
  o.max = max;
  o.defaultText = std::to_string(*target);
  o.apply = [target](const std::string& v, std::string*) {
    *target = std::atoi(v.c_str());
    return true;
  };
  return o;
}

Option Number(const std::string& name, const std::string& value, double* target, double min, double max,
              const std::string& help) {
  Option o = Row(name, Option::Kind::NUMBER, value, help);
  o.min = min;
  o.max = max;
  o.defaultText = NumberText(*target);
  o.apply = [target](const std::string& v, std::string*) {
    *target = std::strtod(v.c_str(), nullptr);
    return true;
  };
  return o;
}

Option Choice(const std::string& name, const std::string& value, std::string* target,
              const std::vector<std::string>& choices, const std::string& help) {
  Option o = Row(name, Option::Kind::CHOICE, value, help);
  o.choices = choices;
  o.defaultText = *target;
  o.apply = [target](const std::string& v, std::string*) {
    *target = v;
    return true;
  };
  return o;
}

const Option* OptionParser::Find(const std::string& name) const {
  for (const Option& o : table.rows) {
    if (name == o.name || (!o.alias.empty() && name == o.alias)) return &o;
  }
  return nullptr;
}

bool OptionParser::Parse(int argc, const char* const* argv, std::string* error) {
  size_t bareTaken = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool inlineValue = false;
    const size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      inlineValue = true;
    } else if ((arg.empty() || arg[0] != '-') && bareTaken < table.bare.size()) {
      value = arg;
      arg = table.bare[bareTaken++];
      inlineValue = true;
    }
    const Option* o = Find(arg);
    if (o == nullptr) {
      *error =
          arg.size() > 1 && arg[0] == '-' ? "unknown option " + arg : "unexpected argument \"" + arg + "\"";
      return false;
    }
    if (o->kind == Option::Kind::FLAG && inlineValue) {
      *error = o->name + " takes no value";
      return false;
    }
    if (o->kind != Option::Kind::FLAG && !inlineValue) {
      const bool next = i + 1 < argc;
      if (o->valueOptional) {
        if (next && argv[i + 1][0] != '-') value = argv[++i];
      } else if (!next) {
        *error = o->name + " needs " + (o->value.empty() ? "a value" : "a value (" + o->value + ")");
        return false;
      } else {
        value = argv[++i];
      }
    }
    if (!Fits(*o, value, error) || !o->apply(value, error)) return false;
    given.insert(o->name);
  }
  return true;
}

std::string OptionParser::Help() const {
  size_t column = 0;
  for (const Option& o : table.rows) column = std::max(column, 2 + Names(o).size() + 2);
  column = std::min(column, WIDEST_NAME_COLUMN);
  // The usage line, the "Options:" heading and the headings of after are
  // the shapes help2man reads for a manual page's synopsis and sections.
  std::string text = "Usage: " + table.program + " [OPTION]...\n\n" + Wrapped(table.about, 0, 0) + "\n\n";
  text += "Options:\n";
  for (const Option& o : table.rows) {
    std::string help = o.help;
    std::string notes = Limits(o);
    if (!o.defaultText.empty()) notes += (notes.empty() ? "default " : "; default ") + o.defaultText;
    if (!notes.empty()) help += " (" + notes + ")";
    std::string line = "  " + Names(o);
    if (line.size() + 2 > column) {
      text += line + "\n" + std::string(column, ' ');
    } else {
      text += line + std::string(column - line.size(), ' ');
    }
    text += Wrapped(help, column, column) + "\n";
  }
  if (!table.after.empty()) text += "\n" + Wrapped(table.after, 0, 0);
  if (text.back() != '\n') text += '\n';
  return text;
}

std::string OptionParser::Usage() const {
  std::string words = "Usage: " + table.program;
  for (const Option& o : table.rows) {
    std::string word = "[" + o.name;
    if (!o.value.empty()) word += o.valueOptional ? " [" + o.value + "]" : " " + o.value;
    words += " " + word + "]";
  }
  // Wrapped at the spaces between bracketed words only.
  std::string out;
  size_t column = 0;
  const size_t indent = table.program.size() + 8;
  size_t start = 0;
  while (start < words.size()) {
    size_t end = words.find(" [", start + 1);
    if (end == std::string::npos) end = words.size();
    std::string word = words.substr(start, end - start);
    if (column > indent && column + word.size() > HELP_WIDTH) {
      out += "\n" + std::string(indent - 1, ' ');
      column = indent - 1;
    }
    out += word;
    column += word.size();
    start = end;
  }
  return out;
}

int UsageError(const OptionParser& parser, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n%s\n", parser.table.program.c_str(), message.c_str(), parser.Usage().c_str());
  return EXIT_USAGE;
}

int ReadCommandLine(OptionParser* parser, int argc, const char* const* argv, const char* version) {
  std::string error;
  if (!parser->Parse(argc, argv, &error)) return UsageError(*parser, error);
  if (parser->Given("--help")) {
    std::fputs(parser->Help().c_str(), stdout);
    return 0;
  }
  if (parser->Given("--version")) {
    std::printf("%s %s\n", parser->table.program.c_str(), version);
    return 0;
  }
  return -1;
}
