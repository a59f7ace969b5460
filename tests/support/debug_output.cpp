#include "tests/support/debug_output.h"

#include <cstdio>
#include <mutex>

namespace zorvane::test {
namespace {

std::mutex g_lines_mutex;
std::vector<std::string>* g_lines = nullptr;

LONG CALLBACK CatchDebugOutput(EXCEPTION_POINTERS* pointers) noexcept {
    // Both Wine and Windows (after an unanswered wide form) raise the ANSI form.
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2) {
        try {
            std::string text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            const std::lock_guard lock(g_lines_mutex);
            if (g_lines != nullptr) g_lines->push_back(std::move(text));
        } catch (...) {
            // A line lost to a failed allocation shows as a missing line in the test.
        }
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

DebugOutput::DebugOutput() {
    const std::lock_guard lock(g_lines_mutex);
    g_lines = new std::vector<std::string>;
    handler_ = AddVectoredExceptionHandler(1, CatchDebugOutput);
}

DebugOutput::~DebugOutput() {
    RemoveVectoredExceptionHandler(handler_);
    const std::lock_guard lock(g_lines_mutex);
    delete g_lines;
    g_lines = nullptr;
}

std::vector<std::string> DebugOutput::Lines(std::string_view prefix) const {
    const std::lock_guard lock(g_lines_mutex);
    std::vector<std::string> lines;
    for (const std::string& line : *g_lines) {
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
}

void DebugOutput::Clear() {
    const std::lock_guard lock(g_lines_mutex);
    g_lines->clear();
}

std::string TickFailureHead(HRESULT code) {
    char text[64];
    std::snprintf(text, sizeof text, "Zorvane: Timer1 tick failed (0x%08lX)", static_cast<unsigned long>(code));
    return text;
}

}  // namespace zorvane::test
