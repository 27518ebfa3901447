#include "help_format.h"

#include <regex>

#include "platform/text.h"

namespace noxplz::cli {
namespace {

std::string upper_name(const CLI::Option* opt) {
  std::string name = opt->get_lnames().empty() ? opt->get_name(false, false) : opt->get_lnames().front();
  return text::upper(name);
}

// Flags take no value (their expected count is 0).
bool takes_value(const CLI::Option* opt) { return opt->get_expected_max() != 0; }

std::string in_quotes(const std::string& s) { return "„" + s + "“"; }

}  // namespace

std::string help_line(const std::string& name, const std::string& description, size_t column_width,
                      size_t line_width) {
  std::string out = "  " + name;
  size_t used = text::length(out);
  if (description.empty()) return out + "\n";
  if (used + 1 > column_width) {
    out += "\n";
    used = 0;
  }
  out += std::string(column_width - used, ' ');
  // Wrap the description into the room right of the column.
  const size_t room = line_width > column_width + 20 ? line_width - column_width : 40;
  size_t col = 0;
  for (const std::string& paragraph : text::split(description, '\n')) {
    std::string word;
    auto flush_word = [&] {
      if (word.empty()) return;
      const size_t n = text::length(word);
      if (col > 0 && col + 1 + n > room) {
        out += "\n" + std::string(column_width, ' ');
        col = 0;
      }
      if (col > 0) {
        out += ' ';
        ++col;
      }
      out += word;
      col += n;
      word.clear();
    };
    for (char c : paragraph) {
      if (c == ' ')
        flush_word();
      else
        word += c;
    }
    flush_word();
    out += "\n" + std::string(column_width, ' ');
    col = 0;
  }
  out.resize(out.size() - column_width);  // no indent after the last line
  return out;
}

std::string GermanFormatter::make_option(const CLI::Option* opt, bool is_positional) const {
  return help_line(make_option_name(opt, is_positional) + make_option_opts(opt), make_option_desc(opt),
                   get_column_width());
}

std::string GermanFormatter::make_option_opts(const CLI::Option* opt) const {
  std::string out;
  if (!opt->get_option_text().empty()) {
    out += " " + opt->get_option_text();
  } else if (takes_value(opt) && !opt->get_positional()) {
    out += " " + upper_name(opt);
    if (opt->get_expected_max() == CLI::detail::expected_max_vector_size) out += " …";
  }
  if (opt->get_required() && takes_value(opt)) out += " " + get_label("REQUIRED");
  if (!opt->get_default_str().empty() && takes_value(opt))
    out += " (Vorgabe: " + opt->get_default_str() + ")";
  for (const CLI::Option* other : opt->get_excludes()) out += " (nicht mit " + other->get_name() + ")";
  return out;
}

std::string GermanFormatter::make_footer(const CLI::App* app) const {
  const std::string footer = app->get_footer();
  if (footer.empty()) return "";
  std::string out;
  for (const std::string& paragraph : text::split(footer, '\n')) {
    std::string line;
    for (const std::string& word : text::split(paragraph, ' ')) {
      if (!line.empty() && text::length(line) + 1 + text::length(word) > 100) {
        out += line + "\n";
        line.clear();
      }
      line += (line.empty() ? "" : " ") + word;
    }
    out += line + "\n";
  }
  return out;
}

std::string GermanFormatter::make_subcommand(const CLI::App* sub) const {
  return help_line(sub->get_display_name(true), sub->get_description(), get_column_width());
}

std::string german_parse_error(const CLI::ParseError& e) {
  const std::string what = e.what();
  // By type: some errors carry the program's name instead of their own.
  std::string name = e.get_name();
  if (dynamic_cast<const CLI::RequiredError*>(&e)) name = "RequiredError";
  if (dynamic_cast<const CLI::ExtrasError*>(&e)) name = "ExtrasError";
  if (dynamic_cast<const CLI::ConversionError*>(&e)) name = "ConversionError";
  if (dynamic_cast<const CLI::ValidationError*>(&e)) name = "ValidationError";
  if (dynamic_cast<const CLI::ExcludesError*>(&e)) name = "ExcludesError";
  if (dynamic_cast<const CLI::RequiresError*>(&e)) name = "RequiresError";
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) name = "ArgumentMismatch";
  std::smatch m;
  if (name == "RequiredError") {
    if (what.starts_with("A subcommand"))
      return "Es fehlt der Befehl. Die Befehle zeigt noxplz --help, zum Beispiel: noxplz orte Berlin.";
    static const std::regex required("^(.*) is required$");
    if (std::regex_match(what, m, required)) return "Die Angabe " + m[1].str() + " fehlt.";
    return "Es fehlt eine Pflichtangabe.";
  }
  if (name == "ExtrasError") {
    static const std::regex extras("^The following arguments? (?:was|were) not expected: (.*)$");
    std::string items = std::regex_match(what, m, extras) ? m[1].str() : what;
    // CLI11 lists them last first.
    std::vector<std::string> words = text::split(items, ' ');
    items.clear();
    for (auto it = words.rbegin(); it != words.rend(); ++it) items += (items.empty() ? "" : " ") + *it;
    if (items.starts_with("-"))
      return "Die Option " + in_quotes(items) + " gibt es hier nicht.";
    return "Mit " + in_quotes(items) + " kann noxplz hier nichts anfangen (ein Wert zu viel oder ein unbekannter "
           "Befehl?).";
  }
  if (name == "ConversionError") {
    static const std::regex convert("^Could not convert: (.*) = (.*)$");
    if (std::regex_match(what, m, convert))
      return in_quotes(m[2].str()) + " ist kein gültiger Wert für " + m[1].str() + ".";
    static const std::regex allowed("^The value (.*) is not an allowed value for (.*)$");
    if (std::regex_match(what, m, allowed))
      return in_quotes(m[1].str()) + " ist kein zulässiger Wert für " + m[2].str() + ".";
    static const std::regex flag("^(.*): too many inputs for a flag$");
    if (std::regex_match(what, m, flag)) return m[1].str() + " ist ein Schalter und nimmt keinen Wert.";
    return "Ein Wert hat nicht das erwartete Format.";
  }
  if (name == "ValidationError") {
    static const std::regex range("^(.*): Value (.*) not in range (.*) to (.*)$");
    if (std::regex_match(what, m, range)) {
      const std::string low = m[3].str();
      static const std::regex number("^-?[0-9]+([.,][0-9]+)?$");
      if (!std::regex_match(m[2].str(), number))
        return in_quotes(m[2].str()) + " ist kein gültiger Wert für " + m[1].str() + ": erwartet wird eine Zahl.";
      if (low == "0") return m[1].str() + " darf nicht negativ sein, nicht " + in_quotes(m[2].str()) + ".";
      if (low.find('e') != std::string::npos || low.find("0.0") == 0)
        return m[1].str() + " muss größer als 0 sein, nicht " + in_quotes(m[2].str()) + ".";
      return m[1].str() + " muss zwischen " + low + " und " + m[4].str() + " liegen, nicht " + in_quotes(m[2].str()) +
             ".";
    }
    static const std::regex member("^(.*): (.*) not in \\{(.*)\\}$");
    if (std::regex_match(what, m, member))
      return in_quotes(m[2].str()) + " ist für " + m[1].str() + " nicht zulässig; möglich sind " + m[3].str() + ".";
    static const std::regex convert("^(.*): Value (.*) could not be converted.*$");
    if (std::regex_match(what, m, convert)) return in_quotes(m[2].str()) + " ist keine Zahl (bei " + m[1].str() + ").";
    static const std::regex parsing("^(.*): Failed parsing (.*) as a .*$");
    if (std::regex_match(what, m, parsing)) return in_quotes(m[2].str()) + " ist keine Zahl (bei " + m[1].str() + ").";
    const size_t colon = what.find(": ");
    if (colon != std::string::npos) return "Der Wert bei " + what.substr(0, colon) + " ist nicht zulässig: " + what.substr(colon + 2);
    return "Ein Wert ist hier nicht zulässig.";
  }
  if (name == "ExcludesError") {
    static const std::regex excludes("^(.*) excludes (.*)$");
    if (std::regex_match(what, m, excludes)) return m[1].str() + " und " + m[2].str() + " schließen einander aus.";
  }
  if (name == "RequiresError") {
    static const std::regex requires_("^(.*) requires (.*)$");
    if (std::regex_match(what, m, requires_)) return m[1].str() + " geht nur zusammen mit " + m[2].str() + ".";
  }
  if (name == "ArgumentMismatch") {
    static const std::regex exactly("^Expected exactly (\\d+) arguments? to (.*), got (\\d+)$");
    if (std::regex_match(what, m, exactly))
      return m[2].str() + " braucht " + (m[1].str() == "1" ? std::string("einen Wert") : m[1].str() + " Werte") +
             ", bekommen hat es " + m[3].str() + ".";
    static const std::regex missing("^(.*): \\d+ required .* missing$");
    if (std::regex_match(what, m, missing)) return m[1].str() + " braucht einen Wert.";
    static const std::regex at_least("^(.*): At least (\\d+) required but received (\\d+)$");
    if (std::regex_match(what, m, at_least))
      return m[1].str() + " braucht mindestens " + m[2].str() + " Werte, bekommen hat es " + m[3].str() + ".";
    static const std::regex at_most("^(.*): At Most (\\d+) required but received (\\d+)$");
    if (std::regex_match(what, m, at_most))
      return m[1].str() + " nimmt höchstens " + m[2].str() + " Werte, bekommen hat es " + m[3].str() + ".";
    return "Eine Angabe hat zu viele oder zu wenige Werte.";
  }
  return "Der Aufruf ist fehlerhaft.";
}

}  // namespace noxplz::cli
