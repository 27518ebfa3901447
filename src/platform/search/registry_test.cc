#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "noxplz/error.h"
#include "noxplz/search_provider.h"
#include "testing/error_matchers.h"

namespace noxplz {
namespace {

class EchoProvider : public SearchProvider {
 public:
  std::string Call(std::string_view method, std::string& request) override {
    return std::string(method) + ":" + request;
  }
};

TEST(SearchProviderRegistryTest, CreatesRegisteredProvidersAndRaises429Otherwise) {
  const std::string id = "{00000000-1111-2222-3333-444444444444}";
  const auto raises_429 = testing::RaisesError(err::kCannotCreateObject);
  EXPECT_THAT([&] { create_search_provider(id); }, raises_429);
  register_search_provider(id, [] { return std::make_shared<EchoProvider>(); });
  std::string request = "a|b";
  auto provider = create_search_provider(id);
  EXPECT_EQ(provider->Call("Suche_Ort", request), "Suche_Ort:a|b");
  EXPECT_NE(create_search_provider(id), provider);  // a new object per creation
  register_search_provider(id, nullptr);
  EXPECT_THAT([&] { create_search_provider(id); }, raises_429);
}

}  // namespace
}  // namespace noxplz
