#include "web/dispatcher.h"

#include <gtest/gtest.h>

namespace portavel {
namespace {

TEST(MatchesMask, FileNameMasksWithoutRegardToCase) {
  struct Case {
    const char* mask;
    const char* text;
    bool matches;
  };
  const Case cases[] = {
      {"/Login", "/Login", true},
      {"/Login", "/login", true},
      {"/Login", "/LOGIN", true},
      {"/Login", "/Login2", false},
      {"/Login", "/Logi", false},
      {"", "", true},
      {"", "/Main", false},  // an item without a path takes only an empty path
      {"*", "", true},
      {"*", "/anything", true},
      {"/P*", "/PayBill", true},
      {"/P*", "/Main", false},
      {"*Bill", "/PayBill", true},
      {"/a*b*c", "/axxbyybzc", true},
      {"/a*b*c", "/axxcyyb", false},
      {"/?d", "/rd", true},
      {"/?d", "/d", false},
      {"/[bru]d", "/rd", true},
      {"/[BRU]d", "/rd", true},
      {"/[bru]d", "/xd", false},
      {"/[a-f]i", "/bi", true},
      {"/[a-f]i", "/BI", true},
      {"/[a-f]i", "/zi", false},
      {"/[!a-f]i", "/zi", true},
      {"/[!a-f]i", "/bi", false},
      {"/[a-]x", "/-x", true},  // a "-" without an upper bound is a character
      {"/[ab", "/[ab", true},   // a "[" without its "]" is a character
      {"/caf\xC9", "/caf\xE9", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesMask(c.mask, c.text), c.matches) << c.mask << " ~ " << c.text;
  }
}

// An action table shaped like the program's: the default item sits early
// and is POST-only, the others are named by path.
class DispatchRequestTest : public ::testing::Test {
 protected:
  ActionItem Item(std::string name, std::string path, MethodType method, bool passes = false) {
    ActionItem item;
    item.name = name;
    item.path_info = std::move(path);
    item.method = method;
    item.handler = [this, name, passes](const WebRequest&, WebResponse& response, bool& handled) {
      EXPECT_TRUE(handled) << name;
      trail_ += name + ";";
      response.content = name;
      if (passes) handled = false;
    };
    return item;
  }

  void SetUp() override {
    ActionItem fallback = Item("Default", "", MethodType::mtPost);
    fallback.is_default = true;
    items_ = {Item("Login", "/Login", MethodType::mtAny), fallback,
              Item("Main", "/Main", MethodType::mtPost),
              Item("Online", "/Online", MethodType::mtGet)};
  }

  // Dispatches with a guard that lets everything through.
  bool Dispatch(RequestMethod method, std::string path) {
    WebRequest request;
    request.method = method;
    request.path_info = std::move(path);
    response_ = WebResponse();
    trail_.clear();
    return DispatchRequest(request, response_, guard_, items_);
  }

  ActionHandler guard_ = [](const WebRequest&, WebResponse&, bool& handled) {
    EXPECT_FALSE(handled);
  };
  std::vector<ActionItem> items_;
  WebResponse response_;
  std::string trail_;
};

TEST_F(DispatchRequestTest, FirstMatchingItemOrElseTheDefault) {
  struct Case {
    RequestMethod method;
    const char* path;
    const char* trail;
  };
  const Case cases[] = {
      {RequestMethod::kGet, "/Login", "Login;"},
      {RequestMethod::kPost, "/LOGIN", "Login;"},
      {RequestMethod::kHead, "/login", "Login;"},
      {RequestMethod::kPost, "/main", "Main;"},
      {RequestMethod::kGet, "/Main", "Default;"},  // POST-only path falls through
      {RequestMethod::kGet, "/Online", "Online;"},
      {RequestMethod::kPost, "/Online", "Default;"},
      {RequestMethod::kOther, "/Online", "Default;"},  // other methods match only "any"
      {RequestMethod::kOther, "/Login", "Login;"},
      {RequestMethod::kPut, "/Nowhere", "Default;"},
      {RequestMethod::kGet, "/Validate", "Default;"},
      {RequestMethod::kPost, "", "Default;"},  // taken in the visit, not again
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Dispatch(c.method, c.path)) << c.path;
    EXPECT_EQ(trail_, c.trail) << c.path;
  }
}

TEST_F(DispatchRequestTest, GuardThatHandlesStopsDispatch) {
  guard_ = [](const WebRequest&, WebResponse& response, bool& handled) {
    response.content = " Unauthorized Access";
    handled = true;
  };
  EXPECT_TRUE(Dispatch(RequestMethod::kPost, "/Main"));
  EXPECT_EQ(trail_, "");
  EXPECT_EQ(response_.content, " Unauthorized Access");
}

TEST_F(DispatchRequestTest, HandlerThatPassesLetsLaterItemsAndTheDefaultRun) {
  items_.insert(items_.begin(), Item("Peek", "*", MethodType::mtAny, /*passes=*/true));
  EXPECT_TRUE(Dispatch(RequestMethod::kPost, "/Main"));
  EXPECT_EQ(trail_, "Peek;Main;");
  EXPECT_TRUE(Dispatch(RequestMethod::kGet, "/Nowhere"));
  EXPECT_EQ(trail_, "Peek;Default;");
}

TEST_F(DispatchRequestTest, DefaultRunsUncheckedWhenDisabled) {
  items_[0].enabled = false;  // Login
  items_[1].enabled = false;  // Default
  EXPECT_TRUE(Dispatch(RequestMethod::kGet, "/Login"));
  EXPECT_EQ(trail_, "Default;");
}

TEST_F(DispatchRequestTest, NothingHandled) {
  items_[1] = Item("Default", "", MethodType::mtPost, /*passes=*/true);
  items_[1].is_default = true;
  EXPECT_FALSE(Dispatch(RequestMethod::kGet, "/Nowhere"));
  EXPECT_EQ(trail_, "Default;");

  items_.erase(items_.begin() + 1);
  EXPECT_FALSE(Dispatch(RequestMethod::kGet, "/Nowhere"));
  EXPECT_EQ(trail_, "");
}

}  // namespace
}  // namespace portavel
