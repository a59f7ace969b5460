#include "tests/wine/fuzz/import_watch.h"

#include <map>
#include <stdexcept>
#include <utility>

#include "tests/support/import_slots.h"
#include "ui/win32/control_ids.h"

namespace zorvane::fuzz {
namespace {

struct GivenRange {
    int cookie;
    std::uintptr_t begin;
    std::uintptr_t end;
    std::string what;
};

struct Given {
    int next_cookie = 1;
    std::vector<GivenRange> ranges;
    std::map<BSTR, std::pair<int, std::string>> texts;
    std::map<SAFEARRAY*, std::pair<int, std::string>> arrays;
};
Given g_given;

std::map<HWND, TimerState> g_timers;
std::function<void(HWND, UINT)> g_on_set_timer;
std::function<void(const std::string&)> g_on_violation;

bool IsEditor(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return std::wcscmp(name, L"ZorvaneRuleEditor") == 0;
}

void Violation(const std::string& what) {
    if (g_on_violation) g_on_violation(what);
}

// What a VARIANT about to be cleared or overwritten would free of the host's.
std::string FreedBy(const VARIANT* value) {
    if (value == nullptr) return {};
    std::string range = GivenMemory::RangeHolding(value);
    if (!range.empty()) return range;
    if (V_VT(value) == VT_BSTR) return GivenMemory::TextNamed(V_BSTR(value));
    if ((V_VT(value) & VT_ARRAY) && !(V_VT(value) & VT_BYREF)) return GivenMemory::ArrayNamed(V_ARRAY(value));
    return {};
}

// The originals, called on from the stand-ins.
decltype(&SetTimer) g_set_timer = nullptr;
decltype(&KillTimer) g_kill_timer = nullptr;
decltype(&SysFreeString) g_sys_free_string = nullptr;
decltype(&VariantClear) g_variant_clear = nullptr;
decltype(&VariantChangeType) g_variant_change_type = nullptr;
decltype(&VariantChangeTypeEx) g_variant_change_type_ex = nullptr;
decltype(&VariantCopyInd) g_variant_copy_ind = nullptr;

UINT_PTR WINAPI WatchSetTimer(HWND window, UINT_PTR id, UINT interval, TIMERPROC proc) {
    const UINT_PTR made = g_set_timer(window, id, interval, proc);
    if (made != 0 && id == ui::kTimer1 && window != nullptr && IsEditor(window)) {
        TimerState& state = g_timers[window];
        state.window = window;
        state.running = true;
        state.interval = interval;
        state.intervals.push_back(interval);
        if (g_on_set_timer) g_on_set_timer(window, interval);
    }
    return made;
}

BOOL WINAPI WatchKillTimer(HWND window, UINT_PTR id) {
    const BOOL killed = g_kill_timer(window, id);
    if (id == ui::kTimer1) {
        const auto found = g_timers.find(window);
        if (found != g_timers.end()) found->second.running = false;
    }
    return killed;
}

void WINAPI WatchSysFreeString(BSTR text) {
    if (text != nullptr) {
        const std::string given = GivenMemory::TextNamed(text);
        if (!given.empty()) Violation("SysFreeString of the host's " + given);
    }
    g_sys_free_string(text);
}

HRESULT WINAPI WatchVariantClear(VARIANT* value) {
    const std::string freed = FreedBy(value);
    if (!freed.empty()) Violation("VariantClear of the host's " + freed);
    return g_variant_clear(value);
}

HRESULT WINAPI WatchVariantChangeType(VARIANT* to, VARIANT* from, USHORT flags, VARTYPE type) {
    const std::string freed = FreedBy(to);
    if (!freed.empty()) Violation("VariantChangeType into the host's " + freed);
    return g_variant_change_type(to, from, flags, type);
}

HRESULT WINAPI WatchVariantChangeTypeEx(VARIANT* to, VARIANT* from, LCID lcid, USHORT flags, VARTYPE type) {
    const std::string freed = FreedBy(to);
    if (!freed.empty()) Violation("VariantChangeTypeEx into the host's " + freed);
    return g_variant_change_type_ex(to, from, lcid, flags, type);
}

HRESULT WINAPI WatchVariantCopyInd(VARIANT* to, VARIANT* from) {
    const std::string freed = FreedBy(to);
    if (!freed.empty()) Violation("VariantCopyInd into the host's " + freed);
    return g_variant_copy_ind(to, from);
}

void Exchange(void** slot, void* value) {
    if (!test::ExchangeImportSlot(slot, value, nullptr)) {
        throw std::runtime_error("VirtualProtect of an import slot failed");
    }
}

}  // namespace

int GivenMemory::Open() { return g_given.next_cookie++; }

void GivenMemory::Close(int cookie) {
    std::erase_if(g_given.ranges, [&](const GivenRange& range) { return range.cookie == cookie; });
    std::erase_if(g_given.texts, [&](const auto& entry) { return entry.second.first == cookie; });
    std::erase_if(g_given.arrays, [&](const auto& entry) { return entry.second.first == cookie; });
}

void GivenMemory::AddRange(int cookie, const void* at, std::size_t size, std::string what) {
    if (at == nullptr || size == 0) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(at);
    g_given.ranges.push_back({cookie, begin, begin + size, std::move(what)});
}

void GivenMemory::AddText(int cookie, BSTR text, std::string what) {
    if (text != nullptr) g_given.texts[text] = {cookie, std::move(what)};
}

void GivenMemory::AddArray(int cookie, SAFEARRAY* array, std::string what) {
    if (array != nullptr) g_given.arrays[array] = {cookie, std::move(what)};
}

std::string GivenMemory::RangeHolding(const void* at) {
    const auto address = reinterpret_cast<std::uintptr_t>(at);
    for (const GivenRange& range : g_given.ranges) {
        if (address >= range.begin && address < range.end) return range.what;
    }
    return {};
}

std::string GivenMemory::TextNamed(BSTR text) {
    const auto found = g_given.texts.find(text);
    return found == g_given.texts.end() ? std::string() : found->second.second;
}

std::string GivenMemory::ArrayNamed(SAFEARRAY* array) {
    const auto found = g_given.arrays.find(array);
    return found == g_given.arrays.end() ? std::string() : found->second.second;
}

ImportWatch::ImportWatch(HMODULE dll) {
    struct Hook {
        const char* dll;
        const char* function;
        void* replacement;
        void** original;
    };
    const Hook hooks[] = {
        {"user32.dll", "SetTimer", reinterpret_cast<void*>(&WatchSetTimer), reinterpret_cast<void**>(&g_set_timer)},
        {"user32.dll", "KillTimer", reinterpret_cast<void*>(&WatchKillTimer), reinterpret_cast<void**>(&g_kill_timer)},
        {"oleaut32.dll", "SysFreeString", reinterpret_cast<void*>(&WatchSysFreeString),
         reinterpret_cast<void**>(&g_sys_free_string)},
        {"oleaut32.dll", "VariantClear", reinterpret_cast<void*>(&WatchVariantClear),
         reinterpret_cast<void**>(&g_variant_clear)},
        {"oleaut32.dll", "VariantChangeType", reinterpret_cast<void*>(&WatchVariantChangeType),
         reinterpret_cast<void**>(&g_variant_change_type)},
        {"oleaut32.dll", "VariantChangeTypeEx", reinterpret_cast<void*>(&WatchVariantChangeTypeEx),
         reinterpret_cast<void**>(&g_variant_change_type_ex)},
        {"oleaut32.dll", "VariantCopyInd", reinterpret_cast<void*>(&WatchVariantCopyInd),
         reinterpret_cast<void**>(&g_variant_copy_ind)},
    };
    g_timers.clear();
    for (const Hook& hook : hooks) {
        void** slot = test::FindImportSlot(dll, hook.dll, hook.function);
        if (slot == nullptr) throw std::runtime_error(std::string("Zorvane.dll does not import ") + hook.function);
        // The original goes in first: the stand-in may be called the moment the slot changes.
        *hook.original = *slot;
        slots_.push_back({slot, *slot});
        Exchange(slot, hook.replacement);
    }
}

ImportWatch::~ImportWatch() {
    for (const Slot& slot : slots_) Exchange(slot.at, slot.original);
}

TimerState ImportWatch::TimerOf(HWND editor) {
    const auto found = g_timers.find(editor);
    return found == g_timers.end() ? TimerState{} : found->second;
}

void ImportWatch::OnSetTimer(std::function<void(HWND, UINT)> observer) { g_on_set_timer = std::move(observer); }

void ImportWatch::OnViolation(std::function<void(const std::string&)> observer) {
    g_on_violation = std::move(observer);
}

}  // namespace zorvane::fuzz
