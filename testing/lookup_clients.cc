#include "testing/lookup_clients.h"

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "noxplz/error.h"
#include "noxplz/lookup.h"
#include "platform/text.h"

namespace noxplz::testing {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxClients = 16;
// Latencies are counted in buckets of 0.05 ms up to one second; the last
// bucket takes everything slower.
constexpr int kBuckets = 20000;
constexpr double kBucketMs = 0.05;

std::string places_text(const std::vector<Place>& places) {
  std::string s;
  for (const Place& p : places) s += p.name + "|" + p.addition + "|" + p.key + "|" + p.plz + ";";
  return s;
}

std::string streets_text(const std::vector<Street>& streets) {
  std::string s;
  for (const Street& st : streets)
    s += st.name + "|" + st.plz + "|" + st.house_from + "|" + st.house_to + "|" + st.place_key + ";";
  return s;
}

// About `want` rows of a statement, spread over all of them; the first `fields` fields of each.
std::vector<std::vector<std::string>> sample(Connection& c, const std::string& sql, size_t fields, size_t want) {
  std::vector<std::vector<std::string>> rows;
  for (auto rs = c.Execute(sql); !rs->Eof(); rs->MoveNext()) {
    const std::vector<std::string> names = rs->FieldNames();
    std::vector<std::string> row;
    for (size_t i = 0; i < fields; ++i) row.push_back(rs->Field(names[i]).as_text());
    rows.push_back(std::move(row));
  }
  std::vector<std::vector<std::string>> picked;
  const size_t step = std::max<size_t>(1, rows.size() / std::max<size_t>(1, want));
  for (size_t i = 0; i < rows.size() && picked.size() < want; i += step) picked.push_back(rows[i]);
  return picked;
}

std::string trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace

struct ClientSlot {
  std::atomic<int64_t> rounds[3];
  std::atomic<int> done;
  int64_t lookups[3], old_answers[3], new_answers[3];
  int64_t other_answers, errors, old_after_new;
  double max_ms[3];
  char problem[512];
  uint32_t histogram[3][kBuckets];
};

struct LookupClients::Shared {
  std::atomic<int> phase;
  std::atomic<int> stop;
  ClientSlot slots[kMaxClients];
};

std::string answer_of(Connection& connection, const ProbeLookup& lookup) {
  switch (lookup.kind) {
    case ProbeLookup::Kind::kPlacesOfPostalCode:
      return places_text(places_of_postal_code(connection, lookup.argument));
    case ProbeLookup::Kind::kPlaces:
      return places_text(find_places(connection, lookup.argument));
    case ProbeLookup::Kind::kStreets: {
      const size_t bar = lookup.argument.find('|');
      return streets_text(find_streets(connection, PlaceKey{lookup.argument.substr(0, bar)},
                                       lookup.argument.substr(bar + 1)));
    }
    case ProbeLookup::Kind::kStreetsOfPlaceName: {
      const size_t bar = lookup.argument.find('|');
      return streets_text(find_streets(connection, PlaceName{lookup.argument.substr(0, bar)},
                                       lookup.argument.substr(bar + 1), {.with_districts = true}));
    }
  }
  return {};
}

std::vector<ProbeLookup> pick_lookups(Connection& old_db, Connection& new_db, size_t n) {
  std::vector<ProbeLookup> candidates;
  for (const auto& row : sample(old_db, "SELECT PLZ FROM PLZ_DA ORDER BY PLZ", 1, n * 2))
    candidates.push_back({ProbeLookup::Kind::kPlacesOfPostalCode, trimmed(row[0]), {}, {}});
  for (const auto& row : sample(old_db, "SELECT ONAME FROM ORT_DA ORDER BY ONAME", 1, n))
    candidates.push_back({ProbeLookup::Kind::kPlaces, text::left(trimmed(row[0]), 4), {}, {}});
  for (const auto& row : sample(old_db, "SELECT ALORT, NAME46 FROM STR_DA ORDER BY ALORT, NAME46", 2, n)) {
    const std::string prefix = text::left(trimmed(row[1]), 5);
    candidates.push_back({ProbeLookup::Kind::kStreets, trimmed(row[0]) + "|" + prefix, {}, {}});
    auto place = old_db.Execute("SELECT ONAME FROM ORT_DA WHERE ALORT = '" + sql_quote(trimmed(row[0])) + "'");
    if (!place->Eof())
      candidates.push_back(
          {ProbeLookup::Kind::kStreetsOfPlaceName, trimmed(place->Field("ONAME").as_text()) + "|" + prefix, {}, {}});
  }
  std::vector<ProbeLookup> picked;
  // The kinds in turn, so each is among the first n.
  std::vector<ProbeLookup> turns;
  for (size_t i = 0; turns.size() < candidates.size(); ++i)
    for (int kind = 0; kind < 4; ++kind) {
      size_t seen = 0;
      for (const ProbeLookup& l : candidates)
        if (static_cast<int>(l.kind) == kind && seen++ == i) turns.push_back(l);
    }
  for (ProbeLookup& l : turns) {
    if (picked.size() >= n) break;
    l.old_answer = answer_of(old_db, l);
    l.new_answer = answer_of(new_db, l);
    if (l.old_answer != l.new_answer) picked.push_back(std::move(l));
  }
  return picked;
}

LookupClients::LookupClients(int clients, const std::string& connection_string, std::vector<ProbeLookup> lookups)
    : lookups_(std::move(lookups)) {
  clients = std::clamp(clients, 1, kMaxClients);
  shared_size_ = sizeof(Shared);
  void* memory = mmap(nullptr, shared_size_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw Error(7, "Kein gemeinsamer Speicher für die Testprogramme");
  std::memset(memory, 0, shared_size_);  // zero is every counter's start
  shared_ = static_cast<Shared*>(memory);
  for (int i = 0; i < clients; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      RunClient(i, connection_string);
      // No destructors: the parent's objects (and its connections) are not this process's to close.
      _exit(0);
    }
    if (pid > 0) pids_.push_back(pid);
  }
}

LookupClients::~LookupClients() {
  if (!pids_.empty()) Stop();
  if (shared_) munmap(shared_, shared_size_);
}

void LookupClients::RunClient(int index, const std::string& connection_string) {
  ClientSlot& s = shared_->slots[index];
  auto note = [&s](const std::string& problem) {
    if (s.problem[0] == '\0') std::snprintf(s.problem, sizeof s.problem, "%s", problem.c_str());
  };
  try {
    ConnectionPtr connection = open_connection(connection_string);
    bool seen_new = false;
    while (!shared_->stop.load()) {
      const int round_phase = shared_->phase.load();
      for (const ProbeLookup& l : lookups_) {
        const int phase = shared_->phase.load();
        const auto start = Clock::now();
        std::string answer;
        try {
          answer = answer_of(*connection, l);
        } catch (const Error& e) {
          ++s.errors;
          note("Fehler: " + e.description);
          continue;
        }
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        ++s.lookups[phase];
        ++s.histogram[phase][std::min(kBuckets - 1, static_cast<int>(ms / kBucketMs))];
        s.max_ms[phase] = std::max(s.max_ms[phase], ms);
        if (answer == l.old_answer) {
          ++s.old_answers[phase];
          if (seen_new) {
            ++s.old_after_new;
            note("alte Antwort nach einer neuen für " + l.argument);
          }
        } else if (answer == l.new_answer) {
          ++s.new_answers[phase];
          seen_new = true;
        } else {
          ++s.other_answers;
          note("weder alte noch neue Antwort für " + l.argument + ": " + answer.substr(0, 200));
        }
      }
      ++s.rounds[round_phase];
    }
  } catch (const std::exception& e) {
    ++s.errors;
    note(std::string("Fehler: ") + e.what());
  }
  s.done.store(1);
}

void LookupClients::SetPhase(Phase phase) { shared_->phase.store(phase); }

bool LookupClients::WaitForRounds(Phase phase, int64_t rounds, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    bool all = true;
    for (size_t i = 0; i < pids_.size(); ++i) {
      if (shared_->slots[i].done.load()) return false;
      if (shared_->slots[i].rounds[phase].load() < rounds) all = false;
    }
    if (all) return true;
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::vector<ClientReport> LookupClients::Stop() {
  shared_->stop.store(1);
  for (int pid : pids_) {
    int status = 0;
    waitpid(pid, &status, 0);
  }
  std::vector<ClientReport> reports;
  for (size_t i = 0; i < pids_.size(); ++i) {
    const ClientSlot& s = shared_->slots[i];
    ClientReport r;
    for (int p = 0; p < 3; ++p) {
      r.lookups[p] = s.lookups[p];
      r.old_answers[p] = s.old_answers[p];
      r.new_answers[p] = s.new_answers[p];
    }
    r.other_answers = s.other_answers;
    r.errors = s.errors;
    r.old_after_new = s.old_after_new;
    r.first_problem = s.problem;
    reports.push_back(std::move(r));
  }
  clients_ = pids_.size();
  pids_.clear();
  return reports;
}

std::array<Latency, 3> LookupClients::Latencies() const {
  std::array<Latency, 3> result;
  for (int p = 0; p < 3; ++p) {
    std::vector<uint64_t> total(kBuckets, 0);
    Latency& l = result[p];
    for (size_t i = 0; i < clients_; ++i) {
      const ClientSlot& s = shared_->slots[i];
      for (int b = 0; b < kBuckets; ++b) total[b] += s.histogram[p][b];
      l.lookups += s.lookups[p];
      l.max = std::max(l.max, s.max_ms[p]);
    }
    auto percentile = [&](double q) {
      const double want = q * static_cast<double>(l.lookups);
      double seen = 0;
      for (int b = 0; b < kBuckets; ++b) {
        seen += static_cast<double>(total[b]);
        if (seen >= want) return (b + 0.5) * kBucketMs;
      }
      return kBuckets * kBucketMs;
    };
    if (l.lookups > 0) {
      l.p50 = percentile(0.50);
      l.p95 = percentile(0.95);
      l.p99 = percentile(0.99);
    }
  }
  return result;
}

}  // namespace noxplz::testing
