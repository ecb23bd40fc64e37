#include "host_control.h"
#include "host_internal.h"

namespace host {

// The echo and capture settings are the viewer's choice, not platform
// state: they stay.
void reset() {
    detail::reset_svcmon();
    detail::reset_services();
    detail::reset_ip_utils();
    detail::reset_logger();
}

}  // namespace host
