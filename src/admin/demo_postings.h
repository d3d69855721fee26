// The demo's history and its open delivery ticket, posted into a store
// that holds the demo's accounts, tanks, products and taxes: through the
// posting tables, the pricing engine and the payment posting the portal
// itself uses, so the demo's invoices follow the rules as they are.
#pragma once

namespace portavel {

class Platform;
class Store;

// Posts every entry of DemoHistory() on its day (counted back from the
// platform's today), closes the days' batches, and writes today's ticket
// (DemoDeliveryTicket()) unpriced into an open delivery batch. Throws
// std::logic_error when the ticket's keys are not those the demo promises.
void PostDemoHistory(Store& store, Platform& platform);

}  // namespace portavel
