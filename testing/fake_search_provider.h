// A search provider for tests: records every call and answers from a script
// (one answer per method, repeated for every later call). While a
// ScopedFakeSearchProvider lives, every creation under the component's class
// identifier returns the same fake; afterwards the built-in provider is
// registered again.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "noxplz/error.h"
#include "noxplz/search_provider.h"
#include "provider/builtin_provider.h"

namespace noxplz::testing {

class FakeSearchProvider : public SearchProvider {
 public:
  // Answers `answer` to every later call of `method`.
  void Answer(std::string method, std::string answer) { answers_[std::move(method)] = std::move(answer); }
  // Every call raises this error instead.
  void Fail(Error error) { failure_ = std::move(error); }

  std::string Call(std::string_view method, std::string& request) override {
    calls.push_back(std::string(method) + "(" + request + ")");
    if (failure_) throw *failure_;
    auto it = answers_.find(std::string(method));
    if (it == answers_.end()) throw Error(438, "Objekt unterstützt diese Eigenschaft oder Methode nicht");
    return it->second;
  }

  std::vector<std::string> calls;  // "method(request)" per call
  int created = 0;  // creations under the class identifier

 private:
  std::map<std::string, std::string> answers_;
  std::optional<Error> failure_;
};

class ScopedFakeSearchProvider {
 public:
  ScopedFakeSearchProvider() {
    register_search_provider(kSearchProviderClassId, [fake = fake_] {
      ++fake->created;
      return fake;
    });
  }
  ~ScopedFakeSearchProvider() { register_builtin_search_provider(); }
  ScopedFakeSearchProvider(const ScopedFakeSearchProvider&) = delete;
  ScopedFakeSearchProvider& operator=(const ScopedFakeSearchProvider&) = delete;

  FakeSearchProvider* operator->() const { return fake_.get(); }

 private:
  std::shared_ptr<FakeSearchProvider> fake_ = std::make_shared<FakeSearchProvider>();
};

}  // namespace noxplz::testing
