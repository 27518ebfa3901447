// datafactory-gen: writes a realistic Datafactory Postalcode file.
//
//   datafactory-gen [--full] [--seed N] [--st N --pl N ...] [faults] DATEI
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "datafactory_gen.h"

namespace {

void usage() {
  std::fputs(
      "Aufruf: datafactory-gen [Optionen] DATEI\n"
      "Schreibt eine Datafactory-Postalcode-Datei (CR LF, DOS-Umlaute, passende XX-Prüfsätze).\n"
      "\n"
      "  --full                 volle Lieferung (~1,1 Mio. Sätze) statt einer kleinen Datei\n"
      "  --seed N               Startwert (gleiche Optionen = gleiche Datei), Vorgabe 1\n"
      "  --ge/--kg/--oe/--or/--ot/--pf/--pl/--st N   Anzahl Sätze je Satzart\n"
      "Absichtliche Fehler:\n"
      "  --header-line          erste Zeile ohne bekannte Satzart\n"
      "  --wrong-end-marks N    N Sätze mit falscher Endemarke (Satzart: --wrong-end-mark-type, Vorgabe ST)\n"
      "  --wrong-end-mark-type T\n"
      "  --wrong-count T        erster Prüfsatz der Satzart T nennt einen Satz zu viel\n"
      "  --unknown-lines N      N Zeilen unbekannter Satzart verteilt in der Datei\n"
      "  --lower-case T         Satzart T in Kleinbuchstaben\n",
      stderr);
}

// The record type named after an option; exits with a message for anything else.
std::string record_type(const char* option, const char* text) {
  static const char* const kTypes[] = {"GE", "KG", "OE", "OR", "OT", "PF", "PL", "ST", "XX"};
  for (const char* t : kTypes)
    if (std::string_view(text) == t) return text;
  std::fprintf(stderr, "Unbekannte Satzart nach %s: %s (erlaubt: GE KG OE OR OT PF PL ST XX)\n", option, text);
  std::exit(2);
}

bool parse_count(const char* text, int64_t& out) {
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (!end || *end != '\0' || v < 0) return false;
  out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using noxplz::datafactory::GenOptions;
  GenOptions o;
  std::string path;
  // Counts given explicitly win over --full, whatever the order.
  GenOptions explicit_counts;
  bool counts_given[8] = {};
  bool full = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "Wert fehlt nach %s\n", argv[i]);
        std::exit(2);
      }
      return argv[++i];
    };
    auto count = [&](int64_t& target, int slot) {
      int64_t v = 0;
      const char* t = value();
      if (!parse_count(t, v)) {
        std::fprintf(stderr, "Ungültige Zahl: %s\n", t);
        std::exit(2);
      }
      target = v;
      counts_given[slot] = true;
    };
    if (a == "--help" || a == "-h") {
      usage();
      return 0;
    } else if (a == "--full") {
      full = true;
    } else if (a == "--seed") {
      int64_t v = 0;
      if (!parse_count(value(), v)) return usage(), 2;
      o.seed = static_cast<uint64_t>(v);
    } else if (a == "--ge") {
      count(explicit_counts.ge, 0);
    } else if (a == "--kg") {
      count(explicit_counts.kg, 1);
    } else if (a == "--oe") {
      count(explicit_counts.oe, 2);
    } else if (a == "--or") {
      count(explicit_counts.orte, 3);
    } else if (a == "--ot") {
      count(explicit_counts.ot, 4);
    } else if (a == "--pf") {
      count(explicit_counts.pf, 5);
    } else if (a == "--pl") {
      count(explicit_counts.pl, 6);
    } else if (a == "--st") {
      count(explicit_counts.st, 7);
    } else if (a == "--header-line") {
      o.header_line = true;
    } else if (a == "--wrong-end-marks") {
      int64_t v = 0;
      if (!parse_count(value(), v)) return usage(), 2;
      o.wrong_end_marks = static_cast<int>(v);
    } else if (a == "--wrong-end-mark-type") {
      o.wrong_end_mark_type = record_type(a.data(), value());
    } else if (a == "--wrong-count") {
      o.wrong_count_type = record_type(a.data(), value());
    } else if (a == "--unknown-lines") {
      int64_t v = 0;
      if (!parse_count(value(), v)) return usage(), 2;
      o.unknown_lines = static_cast<int>(v);
    } else if (a == "--lower-case") {
      o.lower_case_type = record_type(a.data(), value());
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "Unbekannte Option: %s\n", argv[i]);
      usage();
      return 2;
    } else if (path.empty()) {
      path = std::string(a);
    } else {
      usage();
      return 2;
    }
  }
  if (path.empty()) {
    usage();
    return 2;
  }
  if (full) {
    GenOptions f = GenOptions::Full();
    o.st = f.st, o.pl = f.pl, o.pf = f.pf, o.ot = f.ot, o.orte = f.orte, o.ge = f.ge, o.kg = f.kg, o.oe = f.oe;
  }
  int64_t* targets[8] = {&o.ge, &o.kg, &o.oe, &o.orte, &o.ot, &o.pf, &o.pl, &o.st};
  const int64_t given[8] = {explicit_counts.ge, explicit_counts.kg, explicit_counts.oe, explicit_counts.orte,
                            explicit_counts.ot, explicit_counts.pf, explicit_counts.pl, explicit_counts.st};
  for (int k = 0; k < 8; ++k)
    if (counts_given[k]) *targets[k] = given[k];

  try {
    const auto s = noxplz::datafactory::generate_file(path, o);
    int64_t records = 0;
    for (const auto& [code, n] : s.records) records += n;
    std::printf("%s: %lld Datensätze, %lld Prüfsätze, %lld Zeilen, %lld Bytes\n", path.c_str(),
                static_cast<long long>(records), static_cast<long long>(s.check_records),
                static_cast<long long>(s.lines), static_cast<long long>(s.bytes));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
