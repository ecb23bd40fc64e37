// The host service monitor: attributes kept in memory by id. Every record
// handed out must be returned exactly once; the counts let tests prove it.
// Returned records are kept for reuse, so a build allocates nothing here once
// warm; under AddressSanitizer they are really freed, so that any use of a
// record after it was returned is caught.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "host_control.h"
#include "host_internal.h"
#include "svcmon.h"

namespace host {

namespace {

// A handed-out record with the text its pointer refers to.
struct Outstanding {
    SvcMonAttr record{};
    std::string text;
};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kReuseRecords = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kReuseRecords = false;
#else
constexpr bool kReuseRecords = true;
#endif
#else
constexpr bool kReuseRecords = true;
#endif

// The ids asked for are kept up to this many since the last reset: enough for
// any test, and a long-running caller does not grow the list without end.
constexpr std::size_t kMaxRequests = 4096;

struct Callback {
    void (*callback)(uint32_t);
};

std::mutex g_mutex;
std::unordered_map<int32_t, RawAttr> g_attrs;  // looked up on every read
std::map<int, int> g_init_results;
std::vector<Registration> g_registrations;
std::map<int, Callback> g_callbacks;  // the latest successful registration per class
// Records out at any time are few: a list is searched faster than a tree is
// kept, and keeps its room.
std::vector<std::unique_ptr<Outstanding>> g_outstanding;
std::vector<std::unique_ptr<Outstanding>> g_spare;  // returned, for reuse
std::vector<std::unique_ptr<Outstanding>> g_forgotten;  // out at a reset: kept valid, no longer counted
RecordCounts g_counts;
std::vector<int32_t> g_requests;

bool is_text_type(int32_t type) { return type == SVCMON_TYPE_TEXT || type == SVCMON_TYPE_ADDRESS; }

}  // namespace

void svcmon_set(int32_t attr_id, RawAttr attr) {
    std::lock_guard lock(g_mutex);
    g_attrs[attr_id] = std::move(attr);
}

// Builds a record of one type; the other fields keep their defaults.
static RawAttr raw(int32_t type, std::string text, int32_t integer, uint32_t port) {
    RawAttr attr;
    attr.type = type;
    attr.text = std::move(text);
    attr.integer = integer;
    attr.port = port;
    return attr;
}

void svcmon_set_text(int32_t attr_id, const std::string &text) {
    svcmon_set(attr_id, raw(SVCMON_TYPE_TEXT, text, 0, 0));
}

void svcmon_set_integer(int32_t attr_id, int32_t value) { svcmon_set(attr_id, raw(SVCMON_TYPE_INTEGER, "", value, 0)); }

void svcmon_set_address(int32_t attr_id, const std::string &address, uint32_t port) {
    svcmon_set(attr_id, raw(SVCMON_TYPE_ADDRESS, address, 0, port));
}

void svcmon_set_error(int32_t attr_id, int32_t code) { svcmon_set(attr_id, raw(SVCMON_TYPE_ERROR, "", code, 0)); }

void svcmon_unset(int32_t attr_id) {
    std::lock_guard lock(g_mutex);
    g_attrs.erase(attr_id);
}

void svcmon_clear() {
    std::lock_guard lock(g_mutex);
    g_attrs.clear();
}

void svcmon_set_init_result(int svc_class, int result) {
    std::lock_guard lock(g_mutex);
    g_init_results[svc_class] = result;
}

const std::vector<Registration> &svcmon_registrations() { return g_registrations; }

void svcmon_notify_change(uint32_t attr_id) {
    std::vector<Callback> callbacks;
    {
        std::lock_guard lock(g_mutex);
        for (const auto &[svc_class, callback] : g_callbacks) callbacks.push_back(callback);
    }
    // Called without the lock: a callback may read attributes.
    for (const Callback &c : callbacks)
        if (c.callback != nullptr) c.callback(attr_id);
}

RecordCounts svcmon_counts() {
    std::lock_guard lock(g_mutex);
    return g_counts;
}

std::vector<int32_t> svcmon_requests() {
    std::lock_guard lock(g_mutex);
    return g_requests;
}

namespace detail {

void reset_svcmon() {
    std::lock_guard lock(g_mutex);
    g_attrs.clear();
    g_init_results.clear();
    g_registrations.clear();
    g_callbacks.clear();
    // Records still out are forgotten, not freed: a late SvcMon_Free of one
    // counts as a bad free, and the memory stays valid for a careless caller.
    for (auto &entry : g_outstanding) g_forgotten.push_back(std::move(entry));
    g_outstanding.clear();
    g_counts = {};
    g_requests.clear();
}

}  // namespace detail

}  // namespace host

int SvcMon_Init(int svc_class, SvcMonCallback callback, uint32_t handle) {
    using namespace host;
    std::lock_guard lock(g_mutex);
    const auto chosen = g_init_results.find(svc_class);
    const int result = chosen != g_init_results.end() ? chosen->second : 0;
    g_registrations.push_back(Registration{svc_class, callback, handle, result});
    if (result == 0) g_callbacks[svc_class] = Callback{callback};
    return result;
}

SvcMonAttr *SvcMon_GetAttr(int32_t attr_id) {
    using namespace host;
    std::lock_guard lock(g_mutex);
    if (g_requests.size() < kMaxRequests) g_requests.push_back(attr_id);
    const auto found = g_attrs.find(attr_id);
    if (found == g_attrs.end()) return nullptr;
    const RawAttr &attr = found->second;
    std::unique_ptr<Outstanding> out;
    if (g_spare.empty()) {
        out = std::make_unique<Outstanding>();
    } else {
        out = std::move(g_spare.back());
        g_spare.pop_back();
        out->record = SvcMonAttr{};
    }
    out->text.assign(attr.text);  // reuses the room a returned record had
    out->record.attr_id = attr.echo_id.value_or(attr_id);
    out->record.type = attr.type;
    if (is_text_type(attr.type))
        out->record.value.text = out->text.c_str();
    else
        out->record.value.integer = attr.integer;
    out->record.port = attr.port;
    g_outstanding.push_back(std::move(out));
    ++g_counts.handed_out;
    return &g_outstanding.back()->record;
}

int SvcMon_Free(SvcMonAttr *record) {
    using namespace host;
    std::lock_guard lock(g_mutex);
    const auto found = std::find_if(g_outstanding.begin(), g_outstanding.end(),
                                    [record](const auto &out) { return &out->record == record; });
    if (record == nullptr || found == g_outstanding.end()) {  // null, a double free, or never ours
        ++g_counts.bad_frees;
        return -1;
    }
    std::unique_ptr<Outstanding> out = std::move(*found);
    *found = std::move(g_outstanding.back());
    g_outstanding.pop_back();
    if (kReuseRecords) g_spare.push_back(std::move(out));
    ++g_counts.freed;
    return 0;
}
