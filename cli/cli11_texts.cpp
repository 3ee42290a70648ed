#include "cli/cli11_texts.h"

#include <memory>
#include <regex>
#include <utility>
#include <vector>

#include "cli/outcome.h"

namespace zenor9::cli {

namespace {

// The shape of one of CLI11's messages and the program's text for it, made of
// the parts of the message that `groups` names (1-based, in the text's order).
struct MessageShape {
  const char* pattern;
  const char* text;
  std::vector<int> groups;
};

// The messages CLI11 (2.x) gives for the mistakes a user can make here, most
// particular first.
const std::vector<MessageShape>& MessageShapes() {
  static const std::vector<MessageShape> shapes = {
      {"A subcommand is required", N_("no command given"), {}},
      {"Exactly [0-9]+ options? from \\[(.+)\\] is required and .*",
       N_("only one of %s may be given"),
       {1}},
      {"(?:Exactly|At least) [0-9]+ options? from \\[(.+)\\].*", N_("one of %s is needed"), {1}},
      {"Requires at least [0-9]+ options? used.* from \\[(.+)\\]", N_("one of %s is needed"), {1}},
      {"Requires at most [0-9]+ options? be .* from \\[(.+)\\]",
       N_("only one of %s may be given"),
       {1}},
      {"(.+) is required", N_("%s is missing"), {1}},
      {"The following arguments? (?:was|were) not expected: (.+)", N_("unexpected: %s"), {1}},
      {"(.+): [0-9]+ required (.+) missing", N_("%s needs a value (%s)"), {1, 2}},
      {"(.+): At Most [0-9]+ required but received [0-9]+", N_("%s is given more than once"), {1}},
      {"(.+): At least [0-9]+ required but received [0-9]+", N_("%s needs a value"), {1}},
      {"Expected (?:exactly|at least) [0-9]+ arguments to (.+), got [0-9]+",
       N_("%s needs a value"),
       {1}},
      {"(.+) was given a disallowed flag override", N_("%s takes no value"), {1}},
      {"The value (.*) is not an allowed value for (.+)", N_("%s: not allowed: %s"), {2, 1}},
      {"(.+) excludes (.+)", N_("%s cannot go with %s"), {1, 2}},
      {"(.+) requires (.+)", N_("%s needs %s"), {1, 2}},
      {"Could not convert: (.+) = (.+)", N_("%s: not a number: %s"), {1, 2}},
      {"(.+): too many inputs for a flag", N_("%s takes no value"), {1}},
      {"(.+): Should be true/false or a number", N_("%s takes no value"), {1}},
  };
  return shapes;
}

// CLI11's help with its columns counted in characters rather than bytes, so
// that Russian names and placeholders line up as English ones do.
class CharacterColumnFormatter : public CLI::Formatter {
 public:
  std::string make_option(const CLI::Option* option, bool positional) const override {
    const std::string name = "  " + make_option_name(option, positional) + make_option_opts(option);
    const std::string description = make_option_desc(option);
    const std::size_t width = get_column_width();
    const std::size_t shown = i18n::CharacterCount(name);
    std::string text = name;
    if (description.empty()) return text + "\n";
    text += shown < width ? std::string(width - shown, ' ') : "\n" + std::string(width, ' ');
    for (const char c : description) {
      text += c;
      if (c == '\n') text += std::string(width, ' ');
    }
    return text + "\n";
  }
};

// For a message of CLI11 that no shape above knows: the kind of the mistake,
// by CLI11's name of its error, never CLI11's English words.
const char* MistakeOfKind(const std::string& errorName) {
  static const std::vector<std::pair<const char*, const char*>> kinds = {
      {"ArgumentMismatch", N_("an option has too many or too few values")},
      {"RequiredError", N_("something the command needs is missing")},
      {"ConversionError", N_("a value cannot be read")},
      {"ExtrasError", N_("too many arguments")},
      {"ExcludesError", N_("options that cannot go together")},
      {"RequiresError", N_("an option needs another one that is missing")},
  };
  for (const auto& [name, text] : kinds) {
    if (errorName == name) return text;
  }
  return N_("the command line cannot be read");
}

}  // namespace

void UseUserLanguage(CLI::App& app) {
  if (app.get_parent() == nullptr) {
    app.option_defaults()->group(Tr("Options"));
    app.group(Tr("Commands"));
    const auto formatter = std::make_shared<CharacterColumnFormatter>();
    app.formatter(formatter);
    formatter->label("Usage", Tr("Usage"));
    formatter->label("OPTIONS", Tr("OPTIONS"));
    formatter->label("SUBCOMMAND", Tr("COMMAND"));
    formatter->label("SUBCOMMANDS", Tr("COMMANDS"));
    formatter->label("Positionals", Tr("Arguments"));
    formatter->label("REQUIRED", Tr("REQUIRED"));
    formatter->label("Excludes", Tr("Excludes"));
  }
  // Made again after the group is named, so that it goes into that group:
  // CLI11 made the program's, and copies it into each command, before.
  app.set_help_flag("-h,--help", Tr("show this help and exit"));
}

std::string UsageErrorText(const CLI::ParseError& error) {
  const std::string message = error.what();
  if (error.get_name() == "ValidationError") return message;
  for (const MessageShape& shape : MessageShapes()) {
    std::smatch match;
    if (!std::regex_match(message, match, std::regex(shape.pattern))) continue;
    std::vector<std::string> parts;
    for (int group : shape.groups) parts.push_back(match[static_cast<std::size_t>(group)].str());
    return i18n::FormatText(Tr(shape.text), parts);
  }
  return Tr(MistakeOfKind(error.get_name()));
}

}  // namespace zenor9::cli
