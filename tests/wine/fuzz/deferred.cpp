#include "tests/wine/fuzz/deferred.h"

#include <map>
#include <stdexcept>
#include <utility>

#include "tests/wine/fuzz/journal.h"

namespace zorvane::fuzz {
namespace {

std::map<UINT_PTR, std::function<void()>> g_deferred;

void CALLBACK RunDeferred(HWND, UINT, UINT_PTR id, DWORD) noexcept {
    KillTimer(nullptr, id);
    const auto found = g_deferred.find(id);
    if (found == g_deferred.end()) return;
    std::function<void()> action = std::move(found->second);
    g_deferred.erase(found);
    try {
        action();
    } catch (const std::exception& e) {
        Journal::Fail(std::string("the fuzzer threw: ") + e.what());
    } catch (...) {
        Journal::Fail("the fuzzer threw");
    }
}

}  // namespace

UINT_PTR Defer(std::function<void()> action) {
    const UINT_PTR id = SetTimer(nullptr, 0, 0, RunDeferred);
    if (id == 0) Journal::Fail("SetTimer for a deferred action failed");
    g_deferred[id] = std::move(action);
    return id;
}

void CancelDeferred(UINT_PTR id) {
    if (id == 0) return;
    KillTimer(nullptr, id);
    g_deferred.erase(id);
}

}  // namespace zorvane::fuzz
