// Pieces of the host platform that its own source files share: each service
// keeps its state in its own file and empties it through one of these.
#pragma once

namespace host::detail {

void reset_logger();
void reset_svcmon();
void reset_services();  // data store, notification, config server, network, FIPS
void reset_ip_utils();  // name resolution and its switches

}  // namespace host::detail
