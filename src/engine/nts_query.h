// An SNTP query protected by Network Time Security (RFC 8915): the key
// exchange over TLS when no session is at hand, then one authenticated NTP
// exchange. Sessions (keys and unused cookies) are kept per process for each
// key exchange server and trust file, so later queries skip the exchange
// while cookies last; a cookie is never sent twice.
#pragma once

#include <cstdint>

#include "engine/query_job.h"

namespace qv::engine {

// Runs on the query's worker. The reply is the one the plain transport
// gives, decoded from the authenticated message, with `authenticated` set;
// or a failure with stage kNtsKeyExchange, kNtsCertificate or
// kNtsAuthenticator and a detail saying what failed. `job.server` names the
// key exchange server (port 4460).
Reply QueryNtsServer(const QueryJob& job);

// Key exchanges this process has completed, for diagnostics and tests.
std::uint64_t NtsKeyExchangeCount();
// Drops every kept session: the next query starts with a key exchange.
void ForgetNtsSessions();

}  // namespace qv::engine
