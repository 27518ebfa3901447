#include "batch/list_check.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "fuzzy/folding.h"
#include "fuzzy/similar_names.h"
#include "lookup/global.h"
#include "manager/session.h"
#include "noxplz/error.h"
#include "noxplz/plz_manager.h"
#include "platform/text.h"
#include "provider/address_check.h"

namespace noxplz::batch {
namespace {

constexpr size_t kBlockRows = 256;

bool same_address(const ListAddress& given, const RowResult& right) {
  return text::trim(given.plz) == right.plz && text::equals_ci(text::trim(given.ort), right.ort) &&
         fuzzy::fold_name(given.strasse) == fuzzy::fold_name(right.strasse) &&
         text::equals_ci(text::trim(given.hausnummer), text::trim(right.hausnummer));
}

std::string without_leading_zeros(const std::string& number) {
  const size_t first = number.find_first_not_of('0');
  return first == std::string::npos ? number : number.substr(first);
}

// A candidate as the Vorschlaege column shows it: "10115 Berlin, Lange Str.
// 1-49 ungerade", or only the place where the street does not matter.
std::string suggestion(const AddressCandidate& k) {
  std::string text = text::trim(k.plz + " " + k.ort + (k.zusatz.empty() ? "" : " " + k.zusatz));
  if (k.strasse.empty()) return text;
  text += ", " + k.strasse;
  if (!k.hnr_von.empty()) {
    text += " " + without_leading_zeros(k.hnr_von) + "-" + without_leading_zeros(k.hnr_bis);
    if (k.hnr_typ == "G") text += " gerade";
    if (k.hnr_typ == "U") text += " ungerade";
  }
  if (!k.ortsteil.empty()) text += " (" + k.ortsteil + ")";
  return text;
}

AddressCheck check(const ListAddress& a) { return check_address({a.plz, a.ort, a.strasse, a.hausnummer}); }

// The list line of one answer of the address check: a right answer that
// changes nothing the user wrote (spelling aside) is "geprueft", any other
// right answer "korrigiert"; an undecided one lists its candidates.
RowResult from_check(const AddressCheck& c, const ListAddress& given) {
  RowResult r;
  r.grund = c.grund.code;
  if (c.outcome == CheckOutcome::Verified || c.outcome == CheckOutcome::Corrected) {
    r.plz = c.plz;
    r.ort = c.ort;
    r.strasse = c.strasse;
    r.hausnummer = c.hausnummer;
    r.status = c.outcome == CheckOutcome::Verified && same_address(given, r) ? Status::Geprueft : Status::Korrigiert;
    return r;
  }
  r.status = c.outcome == CheckOutcome::Ambiguous ? Status::Mehrdeutig : Status::Unbekannt;
  for (const AddressCandidate& k : c.kandidaten) {
    std::string line = suggestion(k);
    if (std::find(r.vorschlaege.begin(), r.vorschlaege.end(), line) == r.vorschlaege.end())
      r.vorschlaege.push_back(std::move(line));
  }
  return r;
}

}  // namespace

const char* status_name(Status status) {
  switch (status) {
    case Status::Geprueft: return "geprueft";
    case Status::Korrigiert: return "korrigiert";
    case Status::Mehrdeutig: return "mehrdeutig";
    case Status::Unbekannt: return "unbekannt";
    case Status::Fehlerhaft: return "fehlerhaft";
  }
  return "";
}

std::string join_suggestions(const std::vector<std::string>& suggestions) {
  std::string out;
  for (const std::string& s : suggestions) out += (out.empty() ? "" : " | ") + s;
  return out;
}

RowResult check_list_address(clsPlzManager& /*manager*/, const ListAddress& address, SimilarNames& names) {
  AddressCheck c = check(address);
  RowResult r = from_check(c, address);
  if (c.outcome != CheckOutcome::Unknown) return r;

  // Typo tolerance, where the check knows neither the place nor the street:
  // the one clear name nearest to the given one is tried instead; several
  // equally near names are listed.
  ListAddress a = address;
  if (c.grund.code == "ort_unbekannt" && !a.ort.empty()) {
    std::vector<SimilarPlace> places = names.places(a.ort, a.plz);
    if (places.empty() && !a.plz.empty()) places = names.places(a.ort);
    if (places.empty()) return r;
    const int distance = places.front().distance;
    std::erase_if(places, [&](const SimilarPlace& p) { return p.distance != distance; });
    std::vector<std::string> place_names;
    for (const SimilarPlace& p : places)
      if (std::find(place_names.begin(), place_names.end(), p.name) == place_names.end())
        place_names.push_back(p.name);
    if (place_names.size() > 1) {
      RowResult x;
      x.status = Status::Mehrdeutig;
      x.grund = "ort_unbekannt";
      for (const SimilarPlace& p : places)
        x.vorschlaege.push_back(text::trim(text::trim(Ermittle_Plz(p.alort)) + " " + p.name + " " + p.addition));
      return x;
    }
    a.ort = place_names.front();
    c = check(a);
    r = from_check(c, address);
    if (c.outcome == CheckOutcome::Verified || c.outcome == CheckOutcome::Corrected) {
      r.status = Status::Korrigiert;
      r.grund = "ort_korrigiert";
    }
    if (c.outcome != CheckOutcome::Unknown) return r;
  }
  if (c.grund.code != "strasse_unbekannt" || a.strasse.empty()) return r;

  // The street among the streets of the place the check settled on.
  std::vector<SimilarPlace> places = names.places(c.ort, a.plz);
  if (places.empty()) places = names.places(c.ort);
  std::erase_if(places, [](const SimilarPlace& p) { return p.distance != 0; });
  if (places.size() != 1) return r;
  std::vector<SimilarStreet> streets = names.streets(places.front().alort, c.strasse);
  if (streets.empty()) return r;
  const int distance = streets.front().distance;
  std::erase_if(streets, [&](const SimilarStreet& s) { return s.distance != distance; });
  if (streets.size() > 1) {
    RowResult x;
    x.status = Status::Mehrdeutig;
    x.grund = "strasse_unbekannt";
    for (const SimilarStreet& s : streets) x.vorschlaege.push_back(s.name);
    return x;
  }
  a.ort = c.ort;
  a.strasse = streets.front().name;
  a.hausnummer = c.hausnummer;
  const AddressCheck street = check(a);
  RowResult x = from_check(street, address);
  if (x.status == Status::Korrigiert && street.outcome == CheckOutcome::Verified) x.grund = "strasse_korrigiert";
  return x.status == Status::Unbekannt ? r : x;
}

namespace {

struct Job {
  int64_t seq = 0;
  std::vector<CsvRecord> rows;
  std::vector<bool> broken;        // decided on reading: fehlerhaft
  std::vector<std::string> why;    // reason code of a broken row
  std::vector<RowResult> results;
};

// Worker threads, each with its own session, checking blocks of lines.
class Pool {
 public:
  Pool(const ListRunOptions& options, const ColumnMap& columns, int threads) : options_(options), columns_(columns) {
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { work(); });
  }
  ~Pool() {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& t : workers_) t.join();
  }

  void push(std::shared_ptr<Job> job) {
    {
      std::lock_guard lock(mutex_);
      todo_.push_back(std::move(job));
    }
    work_ready_.notify_one();
  }
  // The finished job `seq`, waiting for it when `wait`; null when not ready.
  std::shared_ptr<Job> take(int64_t seq, bool wait) {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (error_) std::rethrow_exception(error_);
      auto hit = done_.find(seq);
      if (hit != done_.end()) {
        auto job = hit->second;
        done_.erase(hit);
        return job;
      }
      if (!wait) return nullptr;
      job_done_.wait(lock);
    }
  }

 private:
  void work() {
    try {
      clsPlzManager manager;
      if (!manager.Init(nullptr, options_.connection_string))
        throw Error(err::kObjectNotSet, "Die Sitzung für die Listenprüfung ließ sich nicht beginnen.");
      for (;;) {
        std::shared_ptr<Job> job;
        {
          std::unique_lock lock(mutex_);
          work_ready_.wait(lock, [&] { return closing_ || !todo_.empty(); });
          if (todo_.empty()) return;
          job = std::move(todo_.front());
          todo_.pop_front();
        }
        job->results.resize(job->rows.size());
        // One state of the data for the block: its addresses are checked
        // without a read transaction each (an import committed meanwhile
        // is seen from the next block on).
        const Connection::ReadScope reading(*session().connection);
        for (size_t i = 0; i < job->rows.size(); ++i) {
          if (job->broken[i]) {
            job->results[i].status = Status::Fehlerhaft;
            job->results[i].grund = job->why[i];
            continue;
          }
          job->results[i] = check_list_address(manager, columns_.address(job->rows[i].fields), names_);
        }
        {
          std::lock_guard lock(mutex_);
          done_[job->seq] = job;
        }
        job_done_.notify_all();
      }
    } catch (...) {
      {
        std::lock_guard lock(mutex_);
        if (!error_) error_ = std::current_exception();
      }
      job_done_.notify_all();
    }
  }

  const ListRunOptions& options_;
  const ColumnMap& columns_;
  SimilarNames names_;
  std::mutex mutex_;
  std::condition_variable work_ready_, job_done_;
  std::deque<std::shared_ptr<Job>> todo_;
  std::map<int64_t, std::shared_ptr<Job>> done_;
  std::exception_ptr error_;
  bool closing_ = false;
  std::vector<std::thread> workers_;
};

std::string field_count_text(size_t n) { return n == 1 ? "1 Feld" : std::to_string(n) + " Felder"; }

}  // namespace

ListSummary check_list(CsvReader& reader, std::ostream& out, const ListRunOptions& options) {
  const auto start = std::chrono::steady_clock::now();
  CsvRecord header_record;
  if (!reader.next(header_record))
    throw std::invalid_argument("Die Liste ist leer: es fehlt schon die Kopfzeile mit den Spaltennamen.");
  std::vector<std::string> header = header_record.fields;
  const bool rerun = strip_result_columns(header) > 0;
  const size_t width = header.size();
  ColumnMap columns = find_columns(header, options.columns);
  if (!columns.any()) {
    std::string names;
    for (const std::string& h : header) names += (names.empty() ? "" : ", ") + ("„" + h + "“");
    throw std::invalid_argument(
        "Die Kopfzeile nennt keine Adressspalte (gefunden: " + names +
        "). Erwartet werden PLZ/Postleitzahl, Ort/Stadt, Straße/Strasse/Str und Hausnummer/Hausnr/Nr; andere "
        "Namen ordnet --spalten zu, zum Beispiel --spalten \"plz=Postcode,ort=City,strasse=Street\".");
  }

  CsvWriterOptions wo;
  wo.separator = reader.separator();
  wo.line_end = reader.line_end();
  wo.encoding = options.output_encoding;
  wo.bom = options.bom;
  CsvWriter writer(out, wo);
  {
    std::vector<std::string> head = header;
    for (const std::string& c : result_columns()) head.push_back(c);
    writer.write(head);
  }

  int threads = options.threads > 0 ? options.threads : static_cast<int>(std::thread::hardware_concurrency());
  threads = std::max(threads, 1);
  ListSummary summary;
  Pool pool(options, columns, threads);
  const int64_t in_flight = 4 * static_cast<int64_t>(threads);
  int64_t next_seq = 0, next_out = 0;
  const std::string separator(1, reader.separator());

  auto write_job = [&](Job& job) {
    for (size_t i = 0; i < job.rows.size(); ++i) {
      std::vector<std::string> fields = std::move(job.rows[i].fields);
      if (fields.size() > width && width > 0) {
        // The surplus of a broken line stays in its last column, separators included.
        std::string rest = fields[width - 1];
        for (size_t k = width; k < fields.size(); ++k) rest += separator + fields[k];
        fields.resize(width - 1);
        fields.push_back(std::move(rest));
      }
      fields.resize(width);
      const RowResult& r = job.results[i];
      fields.push_back(status_name(r.status));
      fields.push_back(r.plz);
      fields.push_back(r.ort);
      fields.push_back(r.strasse);
      fields.push_back(r.hausnummer);
      fields.push_back(r.grund);
      fields.push_back(join_suggestions(r.vorschlaege));
      writer.write(fields);
      ++summary.counts[static_cast<size_t>(r.status)];
      ++summary.rows;
    }
    if (options.progress) {
      ListProgress p;
      p.rows = summary.rows;
      p.bytes_read = reader.bytes_read();
      p.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      options.progress(p);
    }
  };
  auto drain = [&](bool wait) {
    while (next_out < next_seq) {
      std::shared_ptr<Job> job = pool.take(next_out, wait);
      if (!job) return;
      write_job(*job);
      ++next_out;
      wait = wait && next_seq - next_out >= in_flight;
    }
  };

  auto job = std::make_shared<Job>();
  auto submit = [&] {
    job->seq = next_seq++;
    pool.push(job);
    job = std::make_shared<Job>();
    drain(next_seq - next_out >= in_flight);
  };

  CsvRecord record;
  while (reader.next(record)) {
    std::string why, message = record.problem;
    if (!message.empty()) {
      why = "zeile_unlesbar";
    } else {
      if (rerun && record.fields.size() > width) record.fields.resize(width);
      // Blank fields after the last column (a trailing separator) do not count.
      while (record.fields.size() > width && text::trim(record.fields.back()).empty()) record.fields.pop_back();
      const bool blank = std::all_of(record.fields.begin(), record.fields.end(),
                                     [](const std::string& f) { return text::trim(f).empty(); });
      if (blank) {
        why = "leere_zeile";
        message = "Die Zeile ist leer.";
      } else if (record.fields.size() > width) {
        why = "spaltenzahl";
        message = "Die Zeile hat " + field_count_text(record.fields.size()) + ", die Kopfzeile nur " +
                  std::to_string(width) + " (ein Trennzeichen zu viel oder ein nicht in Anführungszeichen gesetztes "
                  "Feld?).";
      } else if (record.fields.size() == 1 && width > 1) {
        why = "spaltenzahl";
        message = std::string("Die Zeile enthält kein Trennzeichen „") +
                  (reader.separator() == '\t' ? "Tab" : separator) + "“, die Kopfzeile hat " +
                  std::to_string(width) + " Spalten.";
      }
    }
    if (!message.empty() && options.problem) options.problem(record.line, message);
    job->broken.push_back(!why.empty());
    job->why.push_back(why);
    job->rows.push_back(std::move(record));
    record = CsvRecord{};
    if (job->rows.size() >= kBlockRows) submit();
  }
  if (!job->rows.empty()) submit();
  drain(true);
  while (next_out < next_seq) drain(true);
  out.flush();
  summary.unrepresentable = writer.unrepresentable();
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return summary;
}

}  // namespace noxplz::batch
