#include "import/record_layout.h"

#include "import/record_text.h"
#include "noxplz/db.h"
#include "noxplz/error.h"

namespace noxplz::import {
namespace {

// The four head fields every data record begins with.
#define NOXPLZ_HEAD_FIELDS \
  {"Version_Dateikennung", 2}, {"Version_Datum", 4}, {"Version_Nr", 3}, {"Datum", 8}

std::array<RecordLayout, kRecordTypes> make_layouts() {
  return {{
      {"GE", "GROSS_DA", 324,
       {NOXPLZ_HEAD_FIELDS, {"ID_NR", 8}, {"Name_Sort", 40}, {"Name", 160, true}, {"Str_Name_46", 46},
        {"HNR_Von", 8}, {"HNR_Bis", 8}, {"PLZ_Haus", 5}, {"Alort_Haus", 8}, {"Fikt_Pfnr", 6},
        {"PLZ_GE", 5}, {"GRGE_CODE", 3}, {"PLZ_ART", 1}, {"ALORT_GE", 8}},
       &RecordCounters::GE, "lbl_GE_Saetze"},
      {"KG", "KGS_DA", 67,
       {{"versionkennung", 2}, {"versiondatum", 4}, {"versionnr", 3}, {"datum", 8}, {"schluessel", 8},
        {"satzart", 1}, {"name", 40}},
       &RecordCounters::KG, "lbl_KG_Saetze"},
      {"OE", "ORG_DA", 272,
       {NOXPLZ_HEAD_FIELDS, {"ALOrg", 8}, {"Name", 90, true}, {"NPANST", 3}, {"DIRNL_BRIEF", 4},
        {"PANSTART", 2}, {"STR_NAME46", 46}, {"HNR_VON", 8}, {"HNR_BIS", 8}, {"PLZ_HAUS", 5},
        {"PPF_NR_REAL", 6}, {"PLZ_PF", 5}, {"RESERVE", 6}, {"PLZ_GE", 5}, {"TELEFON", 20},
        {"TELEFAX", 20}, {"ALORT_HAUS", 8}, {"PLZ_LAGER_B", 5}, {"PLZ_LAGER_F", 5}},
       &RecordCounters::OE, "lbl_OE_Saetze"},
      {"OR", "ORT_DA", 178,
       {NOXPLZ_HEAD_FIELDS, {"ALORT", 8}, {"STATUS", 1, true}, {"ONAME", 40}, {"ONAME_POST", 40},
        {"OZUSATZ", 30}, {"ART_OZUSATZ", 1}, {"ONAME24", 24}, {"KGS", 8}, {"ALORT_NEU", 8}},
       &RecordCounters::OR, "lbl_OR_Saetze"},
      {"OT", "OTL_DA", 84,
       {NOXPLZ_HEAD_FIELDS, {"ALORT", 8}, {"SCHL", 3, true}, {"PLZ", 5}, {"STATUS", 1}, {"STVERZ", 1},
        {"NAME", 40}, {"KGS", 8}},
       &RecordCounters::OT, "lbl_OT_Saetze"},
      {"PF", "POFA_DA", 66,
       {NOXPLZ_HEAD_FIELDS, {"ALORT", 8}, {"PFNRVON", 6, true}, {"PFNRBIS", 6}, {"STATUS", 1},
        {"ALORG", 8}, {"PFVERZ", 1}, {"PLZ", 5}, {"PLZ_ART_AUSLIEFERUNG", 1}, {"PFNRVON_NEU", 6},
        {"PFNRBIS_NEU", 6}},
       &RecordCounters::PF, "lbl_PF_Saetze"},
      {"PL", "PLZ_DA", 168,
       {NOXPLZ_HEAD_FIELDS, {"PLZ", 5}, {"ALORT", 8, true}, {"ART_Kardinalitaet", 1},
        {"ART_Auslieferung", 1}, {"STVerz", 1}, {"PFVERZ", 1}, {"OName", 40}, {"OZusatz", 30},
        {"Art_Ozusatz", 1}, {"OName24", 24}, {"Postlag", 1}, {"LA_Brief", 8}, {"LA_Alort", 8},
        {"KGS", 8}, {"Ort_Code", 3}, {"Leitcode_Max", 3}, {"Rabatt_Info_Schwer", 1}, {"Reserve", 2},
        {"FZ_NR", 2}, {"BZ_NR", 2}},
       &RecordCounters::PL, "lbl_PL_Saetze"},
      {"ST", "STR_DA", 234,
       {NOXPLZ_HEAD_FIELDS, {"ALORT", 8, true}, {"Namen_Schluessel", 6}, {"Bund_LFDNR", 5},
        {"HNRVON", 8}, {"HNRBIS", 8}, {"Status", 1}, {"HNR_1000", 1}, {"STVerz", 1},
        {"Name_Sort", 46}, {"Name46", 46}, {"Name22", 22}, {"Reserve", 1}, {"HNR_Typ", 1},
        {"PLZ", 5}, {"Code", 3}, {"OTL_Schl", 3}, {"ALORG_B", 8}, {"KGS", 8}, {"ALORT_Neu", 8},
        {"Namen_Schluessel_Neu", 6}, {"Bund_Lfdnr_neu", 5}, {"HNRVON_NEU", 8}, {"HNRBIS_NEU", 8}},
       &RecordCounters::ST, "lbl_ST_Saetze"},
      {"XX", "PRUEF_DA", 37,
       {{"Version_Dateikennung", 2}, {"Version_Datum", 4}, {"Version_Nr", 3},
        {"Dateikennung", 2, true}, {"Status", 1}, {"Satzzahl", 8, false, true},
        {"Datum_Summe", 16}},
       nullptr, ""},
  }};
}

#undef NOXPLZ_HEAD_FIELDS

[[noreturn]] void type_mismatch() { throw Error(err::kTypeMismatch, "Typen unverträglich"); }

}  // namespace

std::string RecordLayout::wrong_length_message() const {
  return "Falsche Satzlänge bei den " + std::string(code) + "-Sätzen, Import nicht möglich!";
}

std::string RecordLayout::error_message() const {
  return "Fehler beim Import der " + std::string(code) + "-Sätze!";
}

const std::array<RecordLayout, kRecordTypes>& record_layouts() {
  static const std::array<RecordLayout, kRecordTypes> layouts = make_layouts();
  return layouts;
}

int record_type_of(std::string_view line) {
  if (line.size() < 2) return -1;
  auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  const char a = up(line[0]), b = up(line[1]);
  const auto& layouts = record_layouts();
  for (int i = 0; i < kRecordTypes; ++i)
    if (layouts[i].code[0] == a && layouts[i].code[1] == b) return i;
  return -1;
}

std::string insert_head(const RecordLayout& layout) {
  std::string head = "Insert INTO " + std::string(layout.table) + "  (";
  for (size_t i = 0; i < layout.fields.size(); ++i) {
    const Field& f = layout.fields[i];
    head += f.column;
    if (i + 1 < layout.fields.size()) head += f.two_blanks ? ",  " : ",";
  }
  head += " ) ";
  return head;
}

int32_t to_whole_number(std::string_view field) {
  size_t b = field.find_first_not_of(' ');
  if (b == std::string_view::npos) type_mismatch();
  size_t e = field.find_last_not_of(' ');
  std::string_view t = field.substr(b, e - b + 1);
  bool negative = false;
  if (t[0] == '+' || t[0] == '-') {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  if (t.empty()) type_mismatch();
  int64_t value = 0;
  for (char c : t) {
    if (c < '0' || c > '9') type_mismatch();
    value = value * 10 + (c - '0');
    if (value > 2147483648LL) throw Error(err::kOverflow, "Überlauf");
  }
  if (negative) value = -value;
  if (value > 2147483647LL) throw Error(err::kOverflow, "Überlauf");
  return static_cast<int32_t>(value);
}

bool build_values(const RecordLayout& layout, std::string_view line, std::string& values) {
  values += "Values ( ";
  size_t pos = 0;
  const size_t n = layout.fields.size();
  for (size_t i = 0; i < n; ++i) {
    const Field& f = layout.fields[i];
    std::string_view field = pos < line.size() ? line.substr(pos, static_cast<size_t>(f.width)) : std::string_view{};
    pos += static_cast<size_t>(f.width);
    if (f.bare_number) {
      values += std::to_string(to_whole_number(field));
    } else {
      values += '\'';
      // After the conversion no apostrophe is left; the quoting helper keeps
      // that promise for every value all the same.
      std::string converted;
      append_converted(converted, field);
      values += sql_quote(converted);
      values += '\'';
    }
    values += i + 1 < n ? "," : ")";
  }
  const size_t end_pos = static_cast<size_t>(layout.record_length) - 1;
  return end_pos < line.size() && line[end_pos] == '$';
}

bool cut_values(const RecordLayout& layout, std::string_view line, std::vector<std::string>& values) {
  const size_t n = layout.fields.size();
  values.resize(n);
  size_t pos = 0;
  for (size_t i = 0; i < n; ++i) {
    const Field& f = layout.fields[i];
    std::string_view field = pos < line.size() ? line.substr(pos, static_cast<size_t>(f.width)) : std::string_view{};
    pos += static_cast<size_t>(f.width);
    std::string& value = values[i];
    value.clear();
    if (f.bare_number)
      value = std::to_string(to_whole_number(field));
    else
      append_converted(value, field);  // holds no apostrophe: nothing to quote
  }
  const size_t end_pos = static_cast<size_t>(layout.record_length) - 1;
  return end_pos < line.size() && line[end_pos] == '$';
}

}  // namespace noxplz::import
