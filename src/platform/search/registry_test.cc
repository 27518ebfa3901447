#include <gtest/gtest.h>

#include "noxplz/error.h"
#include "noxplz/search_provider.h"

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
  try {
    create_search_provider(id);
    FAIL() << "error 429 expected";
  } catch (const Error& e) {
    EXPECT_EQ(e.number, err::kCannotCreateObject);
  }
  register_search_provider(id, [] { return std::make_shared<EchoProvider>(); });
  std::string request = "a|b";
  auto lower = create_search_provider("{00000000-1111-2222-3333-444444444444}");
  EXPECT_EQ(lower->Call("Suche_Ort", request), "Suche_Ort:a|b");
  EXPECT_NE(create_search_provider(id), lower);  // a new object per creation
  register_search_provider(id, nullptr);
  EXPECT_THROW(create_search_provider(id), Error);
}

}  // namespace
}  // namespace noxplz
