// noxplz pruefe-liste: checks a whole address list (CSV as spreadsheet
// programs write it) without a single question and writes it back with the
// status, the corrected address and the candidates of every line.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "batch/list_check.h"
#include "fuzzy/similar_names.h"
#include "lookup/global.h"
#include "cli.h"
#include "noxplz/error.h"
#include "platform/text.h"

namespace noxplz::cli {
namespace {

namespace fs = std::filesystem;

struct ListOptions {
  std::string input = "-";
  std::string output = "-";
  std::string encoding;
  std::string columns;
  std::string separator;
  int threads = 0;
  bool no_bom = false;
};

constexpr int kProblemsShown = 20;

std::string format_seconds(double seconds) {
  const long long s = static_cast<long long>(seconds + 0.5);
  char buffer[32];
  if (s >= 3600)
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld", s / 60, s % 60);
  return buffer;
}

std::string format_decimal(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", value);
  std::string s = buffer;
  for (char& c : s)
    if (c == '.') c = ',';
  return s;
}

// The progress line on a terminal: share, addresses per second, time left.
class ProgressLine {
 public:
  ProgressLine(bool live, uint64_t total_bytes) : live_(live), total_(total_bytes) {}
  void update(const batch::ListProgress& p) {
    if (!live_) return;
    const auto now = std::chrono::steady_clock::now();
    if (shown_ && now - last_ < std::chrono::milliseconds(200)) return;
    last_ = now;
    std::string line;
    const double rate = p.seconds > 0.2 ? static_cast<double>(p.rows) / p.seconds : 0;
    if (total_ > 0) {
      const double share = std::min(1.0, static_cast<double>(p.bytes_read) / static_cast<double>(total_));
      line += std::to_string(static_cast<int>(share * 100)) + " % · ";
      line += group_digits(p.rows) + " Adressen";
      if (rate > 0) line += " · " + group_digits(static_cast<long long>(rate)) + " Adressen/s";
      if (share > 0.01 && p.seconds > 1)
        line += " · noch " + format_seconds(p.seconds * (1 - share) / share);
    } else {
      line += group_digits(p.rows) + " Adressen";
      if (rate > 0) line += " · " + group_digits(static_cast<long long>(rate)) + " Adressen/s";
    }
    std::cerr << "\r\033[K" << line << std::flush;
    shown_ = true;
  }
  void clear() {
    if (shown_) std::cerr << "\r\033[K" << std::flush;
    shown_ = false;
  }

 private:
  bool live_;
  uint64_t total_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point last_{};
};

int run_pruefe_liste(const Globals& globals, const ListOptions& o) {
  const bool from_stdin = o.input == "-";
  if (from_stdin && isatty(STDIN_FILENO))
    throw Failure(kInvalid,
                  "Geben Sie die Liste als Datei an (noxplz pruefe-liste kunden.csv) oder leiten Sie sie über die "
                  "Standardeingabe herein (noxplz pruefe-liste - < kunden.csv).");
  batch::CsvReaderOptions reader_options;
  std::optional<batch::Encoding> encoding;
  if (!o.encoding.empty()) {
    encoding = batch::parse_encoding(o.encoding);
    if (!encoding)
      throw Failure(kInvalid, "Die Kodierung „" + o.encoding +
                                  "“ kennt noxplz nicht. Möglich sind utf-8 und windows-1252 (auch cp1252, ansi, "
                                  "latin1).");
    reader_options.encoding = encoding;
  }
  if (!o.separator.empty()) {
    const std::string s = o.separator;
    if (s == ";" || s == "," || s == "|")
      reader_options.separator = s[0];
    else if (s == "\\t" || s == "\t" || text::equals_ci(s, "tab"))
      reader_options.separator = '\t';
    else
      throw Failure(kInvalid, "Als Trennzeichen sind „;“, „,“, „|“ und „tab“ möglich, nicht „" + s + "“.");
  }

  std::ifstream file;
  uint64_t total_bytes = 0;
  if (!from_stdin) {
    std::error_code ec;
    if (fs::is_directory(o.input, ec))
      throw Failure(kInvalid, "„" + o.input + "“ ist ein Verzeichnis, keine Adressliste.");
    if (!fs::exists(o.input, ec))
      throw Failure(kInvalid, "Die Datei „" + o.input + "“ gibt es nicht. Prüfen Sie Pfad und Namen.");
    file.open(o.input, std::ios::binary);
    if (!file) throw Failure(kInvalid, "Die Datei „" + o.input + "“ lässt sich nicht lesen. Prüfen Sie die Rechte.");
    total_bytes = fs::file_size(o.input, ec);
  }
  const bool to_stdout = o.output == "-";
  if (!to_stdout && !from_stdin) {
    std::error_code ec;
    if (fs::exists(o.output, ec) && fs::equivalent(o.input, o.output, ec))
      throw Failure(kInvalid, "Die Ausgabe „" + o.output +
                                  "“ ist die Eingabedatei selbst; sie würde überschrieben. Wählen Sie mit --ausgabe "
                                  "eine andere Datei.");
  }

  Context context(globals, AnswerOptions{}, true);
  context.open_database();
  if (context.count_rows("ORT_DA") == 0)
    std::cerr << "Hinweis: Die Postdatenbank " << context.source_name()
              << " ist leer; keine Adresse kann bestätigt werden. Importieren Sie zuerst eine Datafactory-Datei: "
                 "noxplz import DATEI\n";

  // The result goes into a temporary file next to the output, renamed at the end,
  // so an interrupted run never leaves half a list under the output's name.
  std::ofstream out_file;
  std::string temp_path;
  if (!to_stdout) {
    fs::path target(o.output);
    std::error_code ec;
    if (fs::is_directory(target, ec)) throw Failure(kInvalid, "„" + o.output + "“ ist ein Verzeichnis.");
    temp_path = (target.parent_path() / ("." + target.filename().string() + ".noxplz-tmp")).string();
    out_file.open(temp_path, std::ios::binary | std::ios::trunc);
    if (!out_file)
      throw Failure(kInvalid, "Die Ausgabedatei „" + o.output +
                                  "“ lässt sich nicht anlegen. Prüfen Sie Verzeichnis und Schreibrechte.");
  }
  std::ostream& out = to_stdout ? std::cout : out_file;

  batch::CsvReader reader(from_stdin ? std::cin : file, reader_options);
  ProgressLine progress(isatty(STDERR_FILENO) != 0, total_bytes);
  int problems = 0;
  batch::ListRunOptions run;
  run.connection_string = context.connection_string();
  run.threads = o.threads;
  run.columns = o.columns;
  run.output_encoding = encoding.value_or(batch::Encoding::Utf8);
  run.bom = !o.no_bom;
  run.progress = [&](const batch::ListProgress& p) { progress.update(p); };
  run.problem = [&](int64_t line, const std::string& message) {
    ++problems;
    if (problems > kProblemsShown) return;
    progress.clear();
    std::cerr << "Zeile " << line << ": " << message << " Sie wird als „fehlerhaft“ übernommen.\n";
  };

  batch::ListSummary summary;
  try {
    summary = batch::check_list(reader, out, run);
  } catch (const std::invalid_argument& e) {
    progress.clear();
    if (!temp_path.empty()) fs::remove(temp_path);
    throw Failure(kInvalid, e.what());
  } catch (...) {
    progress.clear();
    if (!temp_path.empty()) {
      std::error_code ec;
      fs::remove(temp_path, ec);
    }
    throw;
  }
  progress.clear();
  if (!to_stdout) {
    out_file.close();
    if (!out_file) throw Failure(kError, "Die Ausgabedatei „" + o.output + "“ ließ sich nicht vollständig schreiben.");
    std::error_code ec;
    fs::rename(temp_path, o.output, ec);
    if (ec) throw Failure(kError, "Die Ausgabedatei „" + o.output + "“ ließ sich nicht anlegen (" + ec.message() + ").");
  } else {
    std::cout.flush();
  }

  if (problems > kProblemsShown)
    std::cerr << "… und " << group_digits(problems - kProblemsShown) << " weitere Zeilen, die nicht zu lesen waren.\n";
  if (reader.lines_read_as_windows1252() > 0)
    std::cerr << "Hinweis: " << group_digits(reader.lines_read_as_windows1252())
              << " Zeilen waren kein UTF-8 und wurden als Windows-1252 gelesen.\n";
  if (summary.unrepresentable > 0)
    std::cerr << "Hinweis: " << group_digits(summary.unrepresentable)
              << " Zeichen gibt es in Windows-1252 nicht; sie stehen in der Ausgabe als „?“.\n";
  const double rate = summary.seconds > 0 ? static_cast<double>(summary.rows) / summary.seconds : 0;
  std::cerr << group_digits(summary.rows) << (summary.rows == 1 ? " Adresse" : " Adressen") << " in "
            << format_decimal(summary.seconds) << " s geprüft (" << group_digits(static_cast<long long>(rate))
            << " Adressen/s, gelesen als " << batch::encoding_name(reader.encoding()) << "):\n";
  const batch::Status order[] = {batch::Status::Geprueft, batch::Status::Korrigiert, batch::Status::Mehrdeutig,
                                 batch::Status::Unbekannt, batch::Status::Fehlerhaft};
  for (batch::Status s : order) {
    const std::string name = batch::status_name(s);
    const std::string count = group_digits(summary.counts[static_cast<size_t>(s)]);
    std::cerr << "  " << name << std::string(12 - name.size(), ' ') << std::string(12 - std::min<size_t>(12, count.size()), ' ')
              << count << "\n";
  }
  if (!to_stdout) std::cerr << "Ergebnis: " << o.output << "\n";
  return kOk;
}

// An address of one input line: "PLZ;Ort;Straße[;Hausnummer]" (or with tabs),
// or free text "Straße Nr, PLZ Ort" / "PLZ Ort, Straße Nr" / "PLZ Ort".
// Without a postal code "A, B" reads as "Ort, Straße"; `swapped` reads it as
// "Straße, Ort".
batch::ListAddress parse_address_line(const std::string& line, bool swapped = false) {
  batch::ListAddress a;
  std::vector<std::string> f;
  if (line.find(';') != std::string::npos || line.find('\t') != std::string::npos) {
    batch::split_fields(line, line.find(';') != std::string::npos ? ';' : '\t', f);
    f.resize(std::max<size_t>(f.size(), 4));
    batch::ColumnMap columns;
    columns.plz = 0;
    columns.ort = 1;
    columns.strasse = 2;
    columns.hausnummer = 3;
    return columns.address(f);
  }
  auto code_and_place = [](const std::string& text, batch::ListAddress& into) {
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    into.plz = text.substr(0, digits);
    into.ort = text::trim(std::string_view(text).substr(digits));
  };
  const size_t comma = line.rfind(',');
  if (comma == std::string::npos) {
    code_and_place(text::trim(line), a);
    return a;
  }
  std::string left = text::trim(line.substr(0, comma)), right = text::trim(line.substr(comma + 1));
  const bool right_is_place = swapped || (!right.empty() && right[0] >= '0' && right[0] <= '9');
  code_and_place(right_is_place ? right : left, a);
  a.strasse = right_is_place ? left : right;
  split_house_number(a.strasse, a.hausnummer);
  return a;
}

// Whether "A, B" without a postal code can also be read the other way round
// ("Lindenweg 3, Berlin" as well as "Berlin, Lindenweg 3").
bool readable_both_ways(const std::string& line) {
  if (line.find(';') != std::string::npos || line.find('\t') != std::string::npos) return false;
  const size_t comma = line.rfind(',');
  if (comma == std::string::npos) return false;
  const std::string right = text::trim(line.substr(comma + 1));
  return !right.empty() && !(right[0] >= '0' && right[0] <= '9');
}

std::string address_text(const std::string& plz, const std::string& ort, const std::string& strasse,
                         const std::string& hausnummer) {
  std::string place = text::trim(plz + " " + ort);
  std::string street = text::trim(strasse + " " + hausnummer);
  if (street.empty()) return place;
  return place.empty() ? street : place + ", " + street;
}

}  // namespace

int run_pruefe_lines(const Globals& globals, bool json) {
  Context context(globals, AnswerOptions{}, true);
  context.open_database();
  SimilarNames names;
  nlohmann::json out = nlohmann::json::array();
  bool all_right = true;
  int count = 0;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (text::trim(line).empty()) continue;
    ++count;
    batch::ListAddress a = parse_address_line(line);
    batch::RowResult r = batch::check_list_address(context.manager(), a, names);
    if (r.status == batch::Status::Unbekannt && r.grund == "ort_unbekannt" && readable_both_ways(line)) {
      // "Straße, Ort" without a postal code: the place may stand on the right.
      batch::ListAddress other = parse_address_line(line, true);
      batch::RowResult checked = batch::check_list_address(context.manager(), other, names);
      if (checked.status != batch::Status::Unbekannt) a = std::move(other), r = std::move(checked);
    }
    const bool right = r.status == batch::Status::Geprueft || r.status == batch::Status::Korrigiert;
    all_right = all_right && right;
    if (json) {
      out.push_back({{"eingabe", line},
                     {"status", batch::status_name(r.status)},
                     {"plz", r.plz},
                     {"ort", r.ort},
                     {"strasse", r.strasse},
                     {"hausnummer", r.hausnummer},
                     {"geprueft", right},
                     {"grund", r.grund},
                     {"vorschlaege", r.vorschlaege}});
      continue;
    }
    const std::string status = batch::status_name(r.status);
    std::string shown = right ? address_text(r.plz, r.ort, r.strasse, r.hausnummer)
                              : address_text(a.plz, a.ort, a.strasse, a.hausnummer);
    const Color color = r.status == batch::Status::Geprueft    ? Color::Green
                        : r.status == batch::Status::Korrigiert ? Color::Yellow
                                                                : Color::Red;
    std::cout << paint(status, color, context.stdout_color()) << std::string(12 - status.size(), ' ') << shown;
    if (r.status == batch::Status::Korrigiert)
      std::cout << "   (angegeben: " << address_text(a.plz, a.ort, a.strasse, a.hausnummer) << ")";
    std::cout << "\n";
    if (!r.vorschlaege.empty()) {
      std::cout << std::string(12, ' ') << "Meinten Sie: ";
      for (size_t i = 0; i < r.vorschlaege.size(); ++i) std::cout << (i ? ", " : "") << r.vorschlaege[i];
      std::cout << "?\n";
    }
  }
  if (json) print_json(out);
  if (count == 0)
    throw Failure(kInvalid, "Die Standardeingabe enthält keine Adresse. Eine Adresse je Zeile: "
                            "\"PLZ;Ort;Straße\" oder \"Straße Nr, PLZ Ort\".");
  return all_right ? kOk : kNotVerified;
}

void add_list_commands(CLI::App& app, Globals& globals) {
  static ListOptions o;
  auto* c = app.add_subcommand(
      "pruefe-liste",
      "prüft eine ganze Adressliste (CSV) ohne Rückfragen und schreibt sie mit Status, Korrekturen und "
      "Vorschlägen zurück");
  c->add_option("DATEI", o.input, "Adressliste als CSV mit Kopfzeile; - oder weggelassen: Standardeingabe");
  c->add_option("-o,--ausgabe", o.output, "Ergebnisdatei; - oder weggelassen: Standardausgabe");
  c->add_option("--kodierung", o.encoding,
                "utf-8 oder windows-1252 für Ein- und Ausgabe (sonst: Eingabe erkannt, Ausgabe UTF-8 mit BOM)");
  c->add_option("--spalten", o.columns,
                "ordnet Spalten zu: FELD=SPALTE,… mit den Feldern plz, ort, strasse, hausnummer, "
                "strasse+hausnummer, plz+ort; SPALTE als Name oder Nummer (1 = erste)");
  c->add_option("--trennzeichen", o.separator, "; , | oder tab (sonst aus der Kopfzeile erkannt)");
  c->add_option("--threads", o.threads, "Anzahl paralleler Prüfungen (sonst eine je Prozessorkern)")
      ->check(CLI::PositiveNumber);
  c->add_flag("--ohne-bom", o.no_bom, "UTF-8 ohne Byte-Order-Mark schreiben (für Skripte)");
  c->callback([&globals] { exit_code() = run_guarded([&] { return run_pruefe_liste(globals, o); }); });
}

}  // namespace noxplz::cli
