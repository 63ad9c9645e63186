#include "OutlookEvents.h"

#include <utility>

OutlookWithEvents::OutlookWithEvents() = default;

OutlookWithEvents::~OutlookWithEvents() { Reset(); }

void OutlookWithEvents::Set(wl::Dispatch application, IOutlookEventHandler* handler)
{
    Reset();
    m_application = std::move(application);
    if (!m_application || !handler) return;
    // Events are a bonus of the connection: an Outlook without them still
    // works. Outlook asks the sink for the event dispinterface before it calls.
    (void)m_events.Connect(m_application, {DIID_ApplicationEvents_11, DIID_ApplicationEvents},
                           [handler](DISPID id, const DISPPARAMS& params) {
                               if (id == kDispidReminder) {
                                   if (wl::Dispatch item = wl::EventObjectArg(params, 0))
                                       handler->OnOutlookReminder(item);
                               } else if (id == kDispidQuit) {
                                   handler->OnOutlookQuit();
                               }
                           });
}

void OutlookWithEvents::Reset() noexcept
{
    m_events.Disconnect();
    m_application.Reset();
}
