#include "server/portmap/portmaptypes.h"

#include "server/texts/messages.h"

namespace zb {

bool routerSearchPermitted()
{
    return !qEnvironmentVariableIsSet("ZB_NO_ROUTER_SEARCH");
}

QString PortMapStatus::stateText() const
{
    switch (state) {
    case State::NotStarted:
        return msg::MappingNotStarted;
    case State::Off:
        return msg::MappingOff;
    case State::Searching:
        return msg::AskingRouter;
    case State::Open:
        return msg::PortOpen;
    case State::NoRouter:
        return msg::NoRouter;
    case State::Refused:
        return msg::RouterRefusedPrefix + reason;
    }
    return {};
}

} // namespace zb
