// Client processes that look addresses up in a loop while another process
// imports: what each of them answered (old data, new data, neither, an
// error) and how long the lookups took, before, during and after the
// import. Used by the many-clients test (small file) and by
// bench/clients_bench (full file). Linux: fork and shared memory.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "noxplz/db.h"

namespace noxplz::testing {

// One lookup of the public lookup API with its answer on the old and on
// the new data (each answer as one text).
struct ProbeLookup {
  enum class Kind { kPlacesOfPostalCode, kPlaces, kStreets, kStreetsOfPlaceName };
  Kind kind = Kind::kPlacesOfPostalCode;
  // Postal code, name prefix, or place key (place name) "|" street prefix.
  std::string argument;
  std::string old_answer;
  std::string new_answer;
};

// The answer of `lookup` on `connection` as one text.
std::string answer_of(Connection& connection, const ProbeLookup& lookup);

// Up to `n` lookups (postal codes, place prefixes, streets of a place by key,
// and by name with their districts) taken
// from `old_db` whose answers differ on `new_db`, with both answers.
std::vector<ProbeLookup> pick_lookups(Connection& old_db, Connection& new_db, size_t n);

// The three phases a lookup can start in.
enum Phase : int { kBefore = 0, kDuring = 1, kAfter = 2 };

struct ClientReport {
  std::array<int64_t, 3> lookups{};  // lookups started in each phase
  std::array<int64_t, 3> old_answers{};
  std::array<int64_t, 3> new_answers{};
  int64_t other_answers = 0;  // neither the old nor the new answer
  int64_t errors = 0;
  int64_t old_after_new = 0;  // an old answer after this client had seen a new one
  std::string first_problem;  // the first error or wrong answer, for the message
};

// Latency figures of one phase over all clients, in milliseconds.
struct Latency {
  int64_t lookups = 0;
  double p50 = 0, p95 = 0, p99 = 0, max = 0;
};

class LookupClients {
 public:
  // Forks `clients` processes; each opens its own connection to
  // `connection_string` and runs `lookups` round after round until Stop().
  LookupClients(int clients, const std::string& connection_string, std::vector<ProbeLookup> lookups);
  ~LookupClients();  // stops the clients that still run
  LookupClients(const LookupClients&) = delete;
  LookupClients& operator=(const LookupClients&) = delete;

  // Lookups started from now on count for `phase`.
  void SetPhase(Phase phase);
  // Waits until every client has finished `rounds` rounds that began in
  // `phase`; false when a client ended or `seconds` passed first.
  bool WaitForRounds(Phase phase, int64_t rounds, double seconds);
  // Stops the clients, waits for them, and returns what each saw.
  std::vector<ClientReport> Stop();
  // Latency per phase over all clients (after Stop()).
  std::array<Latency, 3> Latencies() const;

 private:
  struct Shared;
  void RunClient(int index, const std::string& connection_string);

  std::vector<ProbeLookup> lookups_;
  Shared* shared_ = nullptr;
  size_t shared_size_ = 0;
  std::vector<int> pids_;
  size_t clients_ = 0;  // how many ran, after Stop()
};

}  // namespace noxplz::testing
