// The help and the call errors of noxplz in German: CLI11's English messages
// translated, the help without type tokens (TEXT, UINT), columns aligned by
// characters (so "PRÄFIX" and "Straße" do not shift them) and long
// descriptions wrapped under their column.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace noxplz::cli {

class GermanFormatter : public CLI::Formatter {
 public:
  std::string make_option(const CLI::Option* opt, bool is_positional) const override;
  std::string make_option_opts(const CLI::Option* opt) const override;
  std::string make_subcommand(const CLI::App* sub) const override;
  std::string make_footer(const CLI::App* app) const override;
};

// One help line: name in the first column, the description wrapped beside it.
std::string help_line(const std::string& name, const std::string& description, size_t column_width,
                      size_t line_width = 100);

// A call error as the user reads it: German, naming the option or value.
std::string german_parse_error(const CLI::ParseError& e);

}  // namespace noxplz::cli
