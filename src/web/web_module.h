// The web module: the object a request is served by. It owns the module's
// tables and the visitor's session, runs the guard and then the one action
// the action table routes the request to. The pages themselves are free
// functions of the request, one file per page family (web/*_actions.h).
#pragma once

#include <cstdint>
#include <vector>

#include "web/dispatcher.h"
#include "web/module_request.h"
#include "web/web_session.h"

namespace portavel {

class TwmMain_ {
 public:
  // Module creation: opens the preference and company tables, takes the
  // merchant id and opens the trace file when tracing is on.
  explicit TwmMain_(ServiceContext context);
  ~TwmMain_();
  TwmMain_(const TwmMain_&) = delete;
  TwmMain_& operator=(const TwmMain_&) = delete;

  // Guard and dispatch. False when nothing handled the request.
  bool HandleRequest(const WebRequest& request, WebResponse& response);

  const std::vector<ActionItem>& actions() const { return actions_; }
  int32_t current_merchant_id() const { return tables_.CurrentMerchantId; }

 private:
  void BuildActionTable();
  // An action as the dispatcher calls it: the free function gets the
  // request with the module's services, tables and session.
  ActionHandler Bind(void (*action)(ModuleRequest&));

  ServiceContext context_;
  ModuleTables tables_;
  // The visitor's session; the guard and the action ask it in turn.
  WebSession session_;
  std::vector<ActionItem> actions_;
};

}  // namespace portavel
