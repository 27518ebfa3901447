#include "datafactory_gen.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace noxplz::datafactory {
namespace {

constexpr std::string_view kVersionDatum = "2612";
constexpr std::string_view kVersionNr = "001";

// splitmix64: small, fast and the same on every platform.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 0x632BE59BD9B4E019ULL) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // 0..n-1
  int64_t below(int64_t n) { return n <= 0 ? 0 : static_cast<int64_t>(next() % static_cast<uint64_t>(n)); }
  int64_t between(int64_t lo, int64_t hi) { return lo + below(hi - lo + 1); }
  bool chance(int percent) { return below(100) < percent; }
  template <class T, size_t N>
  const T& pick(const std::array<T, N>& a) { return a[static_cast<size_t>(below(N))]; }

 private:
  uint64_t state_;
};

// --- name material (UTF-8; written in the DOS bytes) ---

constexpr std::array<std::string_view, 24> kPlacePrefix = {
    "", "", "", "", "", "", "", "", "Neu", "Alt", "Ober", "Unter", "Groß", "Klein", "Hohen", "Nieder",
    "Bad ", "Sankt ", "Mittel", "Schön", "Über", "Ost", "West", "Süd"};
constexpr std::array<std::string_view, 40> kPlaceRoot = {
    "bach", "berg", "burg", "feld", "dorf", "heim", "hausen", "stadt", "furt", "brück", "münster",
    "stätt", "höfen", "au", "rode", "wald", "kirchen", "ingen", "weiler", "born", "beck", "hagen",
    "wörth", "lohe", "mühl", "büttel", "städt", "bröl", "ahr", "sülz", "möhl", "düren", "rath",
    "holz", "eck", "tal", "brunn", "sieg", "lar", "ems"};
constexpr std::array<std::string_view, 20> kPlaceStem = {
    "Linden", "Eichen", "Wolfs", "Reichen", "Rosen", "Hirsch", "Falken", "Stein", "Kirch", "Mühl",
    "Märk", "Schwarzen", "Weißen", "Grün", "Buch", "Oster", "Hüttel", "Kött", "Löwen", "Ahl"};
constexpr std::array<std::string_view, 10> kPlaceAddition = {
    "a. Main", "b. München", "(Westf.)", "i. Allgäu", "Kr. Göppingen", "a.d. Ruhr", "(Oberpf.)",
    "b. Lüneburg", "a. Rhein", "(Saar)"};
constexpr std::array<std::string_view, 48> kStreetFirst = {
    "Haupt", "Bahnhof", "Schul", "Kirch", "Garten", "Wiesen", "Berg", "Mühlen", "Linden", "Eichen",
    "Buchen", "Birken", "Ahorn", "Tannen", "Rosen", "Tulpen", "Goethe", "Schiller", "Lessing",
    "Mozart", "Beethoven", "Bismarck", "Friedrich-Ebert-", "Konrad-Adenauer-", "Kaiser-Wilhelm-",
    "Sonnen", "Brunnen", "Markt", "Rathaus", "Post", "Feld", "Wald", "Bach", "See", "Höhen",
    "Königs", "Schützen", "Jäger", "Gärtner", "Bäcker", "Schlößchen", "Lärchen", "Fröbel", "Dürer",
    "Händel", "Röntgen", "Brüder-Grimm-", "Über"};
constexpr std::array<std::string_view, 10> kStreetSuffix = {"straße", "straße", "straße", "weg", "gasse",
                                                            "platz", "allee", "ring", "damm", "pfad"};
// Prepositions in their masculine/neuter and feminine dative forms, and
// nouns with their gender, so "An der Höhe" and "Am Weiher" come out right.
struct Preposition {
  std::string_view masculine, feminine;
};
constexpr std::array<Preposition, 6> kStreetPreposition = {
    {{"Am ", "An der "}, {"Im ", "In der "}, {"Auf dem ", "Auf der "}, {"Zum ", "Zur "},
     {"Hinter dem ", "Hinter der "}, {"Beim ", "Bei der "}}};
struct StreetNoun {
  std::string_view name;
  bool feminine;
};
constexpr std::array<StreetNoun, 16> kStreetNoun = {
    {{"Mühlbach", false}, {"Kirchberg", false}, {"Lindenhof", false}, {"Sportplatz", false},
     {"Bürgerpark", false}, {"Schloß", false}, {"Höhe", true}, {"Weiher", false}, {"Grünen Weg", false},
     {"Ölberg", false}, {"Anger", false}, {"Steinbruch", false}, {"Mühle", true}, {"Hügel", false},
     {"Linde", true}, {"Wäldchen", false}}};
// Names with an apostrophe, as the file carries them.
constexpr std::array<std::string_view, 5> kStreetApostrophe = {"Auf'm Kamp", "Op'n Hoff", "Am Jäger's Hof",
                                                               "St.-Mary's-Platz", "Hinner'n Diek"};
constexpr std::array<std::string_view, 12> kCompany = {
    "Deutsche Rentenversicherung", "Finanzamt", "Stadtwerke", "Versandhaus Müller & Söhne GmbH",
    "Allgemeine Ortskrankenkasse", "Landesbank", "Universität", "Kreisverwaltung",
    "Bürgerservice der Stadt", "Großhandel Schäfer KG", "O'Neill Logistik GmbH", "Bausparkasse"};
constexpr std::array<std::string_view, 8> kDistrictPart = {"Nord", "Süd", "Ost", "West", "Mitte",
                                                           "Altstadt", "Neustadt", "Höhenviertel"};

std::string digits(int64_t value, int width) {
  std::string s = std::to_string(value);
  if (static_cast<int>(s.size()) > width) s = s.substr(s.size() - static_cast<size_t>(width));
  return std::string(static_cast<size_t>(width) - s.size(), '0') + s;
}

// ASCII upper-case sort form: umlauts written out, ß as SS.
std::string sort_form(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c == 0xC3 && i + 1 < utf8.size()) {
      switch (static_cast<unsigned char>(utf8[++i])) {
        case 0xA4: case 0x84: out += "AE"; break;
        case 0xB6: case 0x96: out += "OE"; break;
        case 0xBC: case 0x9C: out += "UE"; break;
        case 0x9F: out += "SS"; break;
        default: out += '?';
      }
    } else if (c < 0x80) {
      out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
  }
  return out;
}

std::string abbreviate(std::string name) {
  const std::string_view long_form = "straße";
  size_t p = name.find(long_form);
  if (p != std::string::npos) name.replace(p, long_form.size(), "str.");
  return name;
}

struct Place {
  int64_t alort;
  std::string name;
  std::string addition;
  bool replaced = false;
  int64_t alort_new = 0;
  int64_t kgs;
  std::vector<int64_t> plz;      // postal codes of the place
  std::vector<int64_t> district;  // district keys (SCHL)
  double weight;
};

class Writer {
 public:
  Writer(std::ostream& out, const GenOptions& o, GenSummary& s) : out_(out), o_(o), s_(s) {}

  // Starts a record of `code` with its head fields and the record date.
  std::string& begin(std::string_view code, int64_t datum) {
    rec_.clear();
    if (code == o_.lower_case_type)
      for (char c : code) rec_ += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    else
      rec_ += code;
    rec_ += kVersionDatum;
    rec_ += kVersionNr;
    if (code != "XX") rec_ += digits(datum, 8);
    return rec_;
  }
  // Appends a text field, cut or padded with blanks to `width` file bytes.
  void text(std::string_view utf8, int width) {
    std::string bytes = to_dos_bytes(std::string(utf8));
    bytes.resize(static_cast<size_t>(width), ' ');
    rec_ += bytes;
  }
  void num(int64_t value, int width) { rec_ += digits(value, width); }
  void blank(int width) { rec_.append(static_cast<size_t>(width), ' '); }

  // Ends the record: end mark, line end, counts for the check records.
  void end(std::string_view code, std::string_view status, int64_t datum, bool bad_end_mark = false) {
    rec_ += bad_end_mark ? '#' : '$';
    line(rec_);
    s_.records[std::string(code)]++;
    auto& g = s_.groups[std::string(code) + std::string(status)];
    g.count++;
    g.date_sum += datum;
    maybe_unknown_line();
  }
  void line(const std::string& l) {
    out_.write(l.data(), static_cast<std::streamsize>(l.size()));
    out_.write("\r\n", 2);
    s_.lines++;
    s_.bytes += static_cast<int64_t>(l.size()) + 2;
  }
  void unknown_line(int n) {
    std::string l = "ZZ" + std::string(kVersionDatum) + std::string(kVersionNr) + " Zeile ohne bekannten Satztyp " +
                    std::to_string(n);
    l.resize(80, ' ');
    line(l);
    s_.unknown_lines++;
  }
  void set_unknown_spacing(int64_t total_records) {
    if (o_.unknown_lines > 0) spacing_ = std::max<int64_t>(1, total_records / (o_.unknown_lines + 1));
  }

 private:
  void maybe_unknown_line() {
    if (spacing_ <= 0 || unknown_written_ >= o_.unknown_lines) return;
    if (++since_unknown_ >= spacing_) {
      since_unknown_ = 0;
      unknown_line(++unknown_written_);
    }
  }

  std::ostream& out_;
  const GenOptions& o_;
  GenSummary& s_;
  std::string rec_;
  int64_t spacing_ = 0, since_unknown_ = 0;
  int unknown_written_ = 0;
};

class Generator {
 public:
  Generator(std::ostream& out, const GenOptions& o) : o_(o), rng_(o.seed), w_(out, o, summary_) {}

  GenSummary run() {
    const int64_t total = o_.kg + o_.orte + o_.ot + o_.pl + o_.pf + o_.st + o_.ge + o_.oe;
    w_.set_unknown_spacing(total);
    if (o_.header_line) w_.unknown_line(0);
    make_places();
    write_kg();
    write_or();
    write_ot();
    write_pl();
    write_pf();
    write_st();
    write_ge();
    write_oe();
    write_xx();
    return summary_;
  }

 private:
  int64_t date() {
    // A day between 1993 and 2026 as yyyymmdd.
    return rng_.between(1993, 2026) * 10000 + rng_.between(1, 12) * 100 + rng_.between(1, 28);
  }
  // Whether record `index` (0-based) of `count` records of `code` carries a wrong end mark.
  bool bad_end_mark(std::string_view code, int64_t index, int64_t count) {
    if (code != o_.wrong_end_mark_type || o_.wrong_end_marks <= 0 || count <= 0) return false;
    const int64_t n = std::min<int64_t>(o_.wrong_end_marks, count - 1);
    for (int64_t j = 1; j <= n; ++j)
      if (index == j * count / (n + 1)) return true;
    return false;
  }
  std::string place_name() {
    std::string prefix(rng_.pick(kPlacePrefix));
    std::string stem(rng_.pick(kPlaceStem));
    std::string root(rng_.pick(kPlaceRoot));
    if (!prefix.empty() && prefix.back() != ' ') {
      // "Neu" + "Lindenbach" -> "Neulindenbach"
      std::string s = stem;
      if (!s.empty() && s[0] >= 'A' && s[0] <= 'Z') s[0] = static_cast<char>(s[0] + 32);
      return prefix + s + root;
    }
    return prefix + stem + root;
  }
  std::string street_name() {
    const int64_t r = rng_.below(100);
    if (r < 2) return std::string(rng_.pick(kStreetApostrophe));
    if (r < 20) {
      const Preposition& prep = rng_.pick(kStreetPreposition);
      const StreetNoun& noun = rng_.pick(kStreetNoun);
      return std::string(noun.feminine ? prep.feminine : prep.masculine) + std::string(noun.name);
    }
    std::string first(rng_.pick(kStreetFirst));
    std::string suffix(rng_.pick(kStreetSuffix));
    // After a hyphen the suffix is a word of its own: Konrad-Adenauer-Allee.
    if (first.back() == '-') suffix[0] = static_cast<char>(suffix[0] - 32);
    return first + suffix;
  }

  // Each of `total` items goes to a place by weight; returns per place count.
  std::vector<int64_t> distribute(int64_t total, bool current_only, bool at_least_one) {
    std::vector<int64_t> n(places_.size(), 0);
    if (places_.empty() || total <= 0) return n;
    double wsum = 0;
    for (const Place& p : places_)
      if (!current_only || !p.replaced) wsum += p.weight;
    int64_t given = 0;
    if (at_least_one) {
      for (size_t i = 0; i < places_.size() && given < total; ++i)
        if (!current_only || !places_[i].replaced) n[i] = 1, ++given;
    }
    const int64_t rest = total - given;
    int64_t assigned = 0;
    for (size_t i = 0; i < places_.size(); ++i) {
      if (current_only && places_[i].replaced) continue;
      const auto k = static_cast<int64_t>(std::floor(static_cast<double>(rest) * places_[i].weight / wsum));
      n[i] += k;
      assigned += k;
    }
    // The remainder to the largest places, round robin.
    for (size_t i = 0; assigned < rest; i = (i + 1) % places_.size()) {
      if (current_only && places_[i].replaced) continue;
      ++n[i];
      ++assigned;
    }
    return n;
  }

  void make_places() {
    const int64_t n = std::max<int64_t>(o_.orte, 1);
    places_.reserve(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) {
      Place p;
      p.alort = 10000000 + i * 37 + rng_.below(30);
      p.name = place_name();
      if (rng_.chance(12)) p.addition = std::string(rng_.pick(kPlaceAddition));
      p.kgs = 1000000 + rng_.below(15000000);
      p.weight = 1.0 / std::pow(static_cast<double>(i + 1), 0.85);
      // A few places were merged into another one.
      p.replaced = i > 3 && rng_.chance(3);
      places_.push_back(std::move(p));
    }
    for (size_t i = 0; i < places_.size(); ++i) {
      if (!places_[i].replaced) continue;
      size_t target = static_cast<size_t>(rng_.below(static_cast<int64_t>(i)));
      while (places_[target].replaced) target = (target + 1) % i;
      places_[i].alort_new = places_[target].alort;
    }
    // Postal codes: every current place at least one; cities several.
    std::vector<int64_t> plz_count = distribute(o_.pl, true, true);
    int64_t next_plz = 1067;
    for (size_t i = 0; i < places_.size(); ++i) {
      for (int64_t k = 0; k < plz_count[i]; ++k) {
        places_[i].plz.push_back(next_plz);
        next_plz += 1 + rng_.below(3);
        if (next_plz > 99998) next_plz = 1001;
      }
    }
    std::vector<int64_t> districts = distribute(o_.ot, true, false);
    for (size_t i = 0; i < places_.size(); ++i)
      for (int64_t k = 0; k < districts[i]; ++k) places_[i].district.push_back(k + 1);
  }

  // A place to which records of other types belong (current places only).
  const Place& some_place() {
    for (;;) {
      // Larger places more often: square of a uniform index skews to the front.
      const double u = static_cast<double>(rng_.below(1000000)) / 1000000.0;
      const auto i = static_cast<size_t>(u * u * static_cast<double>(places_.size()));
      if (!places_[i].replaced) return places_[i];
      if (places_.size() == 1) return places_[0];
    }
  }
  int64_t plz_of(const Place& p) { return p.plz.empty() ? 1001 : p.plz[static_cast<size_t>(rng_.below(static_cast<int64_t>(p.plz.size())))]; }

  void write_kg() {
    static constexpr std::array<std::string_view, 4> kArt = {"L", "R", "K", "G"};
    for (int64_t i = 0; i < o_.kg; ++i) {
      const int64_t d = date();
      // A few states, some regions and districts, mostly municipalities.
      const int64_t per_mille = i * 1000 / std::max<int64_t>(o_.kg, 1);
      std::string_view art = per_mille < 13 ? kArt[0] : (per_mille < 40 ? kArt[1] : (per_mille < 75 ? kArt[2] : kArt[3]));
      w_.begin("KG", d);
      w_.num(1000000 + i * 97, 8);
      w_.text(art, 1);
      w_.text(art == "G" ? place_name() : (art == "K" ? "Landkreis " + place_name() : place_name() + "er Land"), 40);
      w_.end("KG", art, d, bad_end_mark("KG", i, o_.kg));
    }
  }

  void write_or() {
    for (size_t i = 0; i < places_.size() && static_cast<int64_t>(i) < o_.orte; ++i) {
      const Place& p = places_[i];
      const int64_t d = date();
      const std::string status = p.replaced ? "2" : "1";
      w_.begin("OR", d);
      w_.num(p.alort, 8);
      w_.text(status, 1);
      w_.text(p.name, 40);
      w_.text(p.name, 40);
      w_.text(p.addition, 30);
      w_.text(p.addition.empty() ? " " : "1", 1);
      w_.text(p.name, 24);
      w_.num(p.kgs, 8);
      if (p.replaced) w_.num(p.alort_new, 8); else w_.blank(8);
      w_.end("OR", status, d, bad_end_mark("OR", static_cast<int64_t>(i), o_.orte));
    }
  }

  void write_ot() {
    int64_t i = 0;
    for (const Place& p : places_) {
      for (int64_t schl : p.district) {
        const int64_t d = date();
        const std::string status = rng_.chance(4) ? "2" : "1";
        w_.begin("OT", d);
        w_.num(p.alort, 8);
        w_.num(schl, 3);
        w_.num(plz_of(p), 5);
        w_.text(status, 1);
        w_.text(rng_.chance(30) ? "1" : "0", 1);
        std::string name = schl <= static_cast<int64_t>(kDistrictPart.size())
                               ? p.name + "-" + std::string(kDistrictPart[static_cast<size_t>(schl - 1)])
                               : place_name();
        w_.text(name, 40);
        w_.num(p.kgs, 8);
        w_.end("OT", status, d, bad_end_mark("OT", i, o_.ot));
        ++i;
      }
    }
  }

  void write_pl() {
    int64_t i = 0;
    for (const Place& p : places_) {
      for (size_t k = 0; k < p.plz.size(); ++k) {
        const int64_t d = date();
        w_.begin("PL", d);
        w_.num(p.plz[k], 5);
        w_.num(p.alort, 8);
        w_.text(p.plz.size() > 1 ? "2" : "1", 1);
        // Street delivery ("6") for most codes; box and large-recipient codes for some.
        w_.text(k == 0 || rng_.chance(80) ? "6" : (rng_.chance(50) ? "2" : "4"), 1);
        w_.text(rng_.chance(50) ? "1" : "0", 1);
        w_.text(rng_.chance(30) ? "1" : "0", 1);
        w_.text(p.name, 40);
        w_.text(p.addition, 30);
        w_.text(p.addition.empty() ? " " : "1", 1);
        w_.text(p.name, 24);
        w_.text("0", 1);
        w_.num(40000000 + rng_.below(9999999), 8);
        w_.num(p.alort, 8);
        w_.num(p.kgs, 8);
        w_.num(rng_.below(999), 3);
        w_.num(rng_.between(100, 999), 3);
        w_.text("0", 1);
        w_.blank(2);
        w_.num(rng_.below(99), 2);
        w_.num(rng_.below(99), 2);
        w_.end("PL", "G", d, bad_end_mark("PL", i, o_.pl));
        ++i;
      }
    }
  }

  void write_pf() {
    for (int64_t i = 0; i < o_.pf; ++i) {
      const Place& p = some_place();
      const int64_t d = date();
      const std::string status = rng_.chance(5) ? "2" : "1";
      const int64_t von = rng_.below(9000) * 100 + 1;
      w_.begin("PF", d);
      w_.num(p.alort, 8);
      w_.num(von, 6);
      w_.num(von + 99, 6);
      w_.text(status, 1);
      w_.num(20000000 + rng_.below(9999999), 8);
      w_.text("0", 1);
      w_.num(plz_of(p), 5);
      w_.text("2", 1);
      w_.blank(6);
      w_.blank(6);
      w_.end("PF", status, d, bad_end_mark("PF", i, o_.pf));
    }
  }

  void write_street_section(const Place& p, const std::string& name, int64_t key, int64_t lfdnr,
                            const std::string& von, const std::string& bis, std::string_view typ,
                            int64_t plz, int64_t index) {
    const int64_t d = date();
    const std::string status = rng_.chance(2) ? "2" : "1";
    w_.begin("ST", d);
    w_.num(p.alort, 8);
    w_.num(key, 6);
    w_.num(lfdnr, 5);
    w_.text(von, 8);
    w_.text(bis, 8);
    w_.text(status, 1);
    w_.text("0", 1);
    w_.text(rng_.chance(20) ? "1" : "0", 1);
    w_.text(sort_form(name), 46);
    w_.text(name, 46);
    w_.text(abbreviate(name), 22);
    w_.blank(1);
    w_.text(typ, 1);
    w_.num(plz, 5);
    w_.num(rng_.below(999), 3);
    if (!p.district.empty() && rng_.chance(70))
      w_.num(p.district[static_cast<size_t>(rng_.below(static_cast<int64_t>(p.district.size())))], 3);
    else
      w_.blank(3);
    w_.num(20000000 + rng_.below(9999999), 8);
    w_.num(p.kgs, 8);
    if (status == "2") {
      // A retired section names its successor.
      w_.num(p.alort, 8);
      w_.num(key + 1, 6);
      w_.num(lfdnr, 5);
      w_.text(von, 8);
      w_.text(bis, 8);
    } else {
      w_.blank(8 + 6 + 5 + 8 + 8);
    }
    w_.end("ST", status, d, bad_end_mark("ST", index, o_.st));
  }

  void write_st() {
    std::vector<int64_t> per_place = distribute(o_.st, true, false);
    int64_t index = 0;
    for (size_t i = 0; i < places_.size(); ++i) {
      const Place& p = places_[i];
      int64_t left = per_place[i];
      int64_t key = 100000 + static_cast<int64_t>(i % 800) * 1000;
      while (left > 0) {
        const std::string name = street_name();
        ++key;
        const int64_t lfdnr = rng_.below(99999);
        // Long streets of places with several postal codes are divided
        // into sections with house-number ranges.
        int64_t sections = 1;
        if (p.plz.size() > 1 && rng_.chance(25)) sections = std::min<int64_t>(left, rng_.between(2, 4));
        if (sections == 1) {
          if (rng_.chance(10)) {
            write_street_section(p, name, key, lfdnr, "1", std::to_string(rng_.between(9, 180)), "N", plz_of(p),
                                 index++);
          } else {
            write_street_section(p, name, key, lfdnr, "", "", " ", plz_of(p), index++);
          }
          --left;
          continue;
        }
        if (sections == 2 && rng_.chance(50)) {
          // Odd numbers on one side, even on the other, each with its own code.
          const int64_t bis = rng_.between(40, 250);
          write_street_section(p, name, key, lfdnr, "1", std::to_string(bis | 1), "U", plz_of(p), index++);
          write_street_section(p, name, key, lfdnr, "2", std::to_string(bis & ~int64_t{1}), "G", plz_of(p),
                               index++);
        } else {
          int64_t von = 1;
          for (int64_t s = 0; s < sections; ++s) {
            const int64_t bis = von + rng_.between(20, 90);
            write_street_section(p, name, key, lfdnr, std::to_string(von),
                                 s + 1 == sections ? std::string("9999") : std::to_string(bis), "N", plz_of(p),
                                 index++);
            von = bis + 1;
          }
        }
        left -= sections;
      }
    }
  }

  void write_ge() {
    for (int64_t i = 0; i < o_.ge; ++i) {
      const Place& p = some_place();
      const int64_t d = date();
      const std::string name = std::string(rng_.pick(kCompany)) + " " + p.name;
      w_.begin("GE", d);
      w_.num(30000000 + i, 8);
      w_.text(sort_form(name), 40);
      w_.text(name, 160);
      w_.text(street_name(), 46);
      const int64_t hnr = rng_.between(1, 200);
      w_.text(std::to_string(hnr), 8);
      w_.text(std::to_string(hnr), 8);
      w_.num(plz_of(p), 5);
      w_.num(p.alort, 8);
      w_.num(rng_.below(999999), 6);
      w_.num(plz_of(p), 5);
      w_.num(rng_.below(999), 3);
      w_.text("4", 1);
      w_.num(p.alort, 8);
      w_.end("GE", "G", d, bad_end_mark("GE", i, o_.ge));
    }
  }

  void write_oe() {
    for (int64_t i = 0; i < o_.oe; ++i) {
      const Place& p = some_place();
      const int64_t d = date();
      w_.begin("OE", d);
      w_.num(50000000 + i, 8);
      w_.text((rng_.chance(50) ? "Postfiliale " : "Zustellstützpunkt ") + p.name, 90);
      w_.num(rng_.below(999), 3);
      w_.num(rng_.below(9999), 4);
      w_.num(rng_.below(99), 2);
      w_.text(street_name(), 46);
      w_.text(std::to_string(rng_.between(1, 60)), 8);
      w_.blank(8);
      w_.num(plz_of(p), 5);
      w_.num(rng_.below(999999), 6);
      w_.num(plz_of(p), 5);
      w_.blank(6);
      w_.num(plz_of(p), 5);
      // Some numbers carry the apostrophe some offices write as a separator.
      w_.text(rng_.chance(5) ? "0228 182'0" : "0" + std::to_string(rng_.between(200, 9999)) + " " +
                                                   std::to_string(rng_.between(10000, 999999)),
              20);
      w_.text("0" + std::to_string(rng_.between(200, 9999)) + " " + std::to_string(rng_.between(10000, 999999)), 20);
      w_.num(p.alort, 8);
      w_.num(plz_of(p), 5);
      w_.num(plz_of(p), 5);
      w_.end("OE", "G", d, bad_end_mark("OE", i, o_.oe));
    }
  }

  void write_xx() {
    // The groups as written so far (the check records are not counted in them).
    const auto groups = summary_.groups;
    std::string first_wrong = o_.wrong_count_type;
    for (const auto& [key, g] : groups) {
      const std::string code = key.substr(0, 2), status = key.substr(2);
      int64_t count = g.count;
      if (!first_wrong.empty() && code == first_wrong) {
        ++count;
        first_wrong.clear();
      }
      std::string& rec = w_.begin("XX", 0);
      rec += code;
      rec += status;
      rec += digits(count, 8);
      rec += digits(g.date_sum, 16);
      rec += '$';
      w_.line(rec);
      summary_.check_records++;
    }
  }

  const GenOptions& o_;
  Rng rng_;
  GenSummary summary_;
  Writer w_;
  std::vector<Place> places_;
};

}  // namespace

GenOptions GenOptions::Full() {
  GenOptions o;
  o.st = 1000000;
  o.pl = 30000;
  o.pf = 25000;
  o.ot = 20000;
  o.orte = 14000;
  o.ge = 15000;
  o.kg = 12000;
  o.oe = 3000;
  return o;
}

std::string to_dos_bytes(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c == 0xC3 && i + 1 < utf8.size()) {
      char b = '?';
      switch (static_cast<unsigned char>(utf8[i + 1])) {
        case 0xA4: b = '\x84'; break;  // ä
        case 0xB6: b = '\x94'; break;  // ö
        case 0xBC: b = '\x81'; break;  // ü
        case 0x84: b = '\x8E'; break;  // Ä
        case 0x96: b = '\x99'; break;  // Ö
        case 0x9C: b = '\x9A'; break;  // Ü
        case 0x9F: b = '\xE1'; break;  // ß
        default: break;
      }
      out += b;
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

GenSummary generate(std::ostream& out, const GenOptions& options) {
  Generator g(out, options);
  return g.run();
}

GenSummary generate_file(const std::string& path, const GenOptions& options) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("Datei kann nicht geschrieben werden: " + path);
  std::vector<char> buffer(1 << 20);
  out.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  GenSummary s = generate(out, options);
  out.flush();
  if (!out) throw std::runtime_error("Fehler beim Schreiben: " + path);
  return s;
}

}  // namespace noxplz::datafactory
