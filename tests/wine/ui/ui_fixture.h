#pragma once
// A fresh component for every test: no windows loaded, the stand-in host's helper stored
// as the host's helper, a watcher for modal boxes.
#include <windows.h>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include "clamp/win32/velt_zorvane.h"
#include "host/standin/plugin_helper.h"
#include "host/standin/standin_host.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/dialog_keyboard.h"
#include "ui/win32/about_form.h"
#include "ui/win32/rule_editor_form.h"
#include "ui/win32/window_instances.h"
#include "ui_test_support.h"
#include "win/com_object.h"

namespace zorvane::ui::test {

class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        helper_ = standin::MakePluginHelper(host_);
        velt_zorvane::StorePluginHelper(helper_.Get());
    }
    void TearDown() override {
        ReleaseWindowInstances();
        velt_zorvane::StorePluginHelper(nullptr);
        Pump(10);
    }

    RuleEditorForm& Editor() { return RuleEditorForm::Instance(); }
    HWND ShowEditor() {
        Editor().Show();
        Pump(30);
        return Editor().Handle();
    }
    HWND Control(int id) { return GetDlgItem(Editor().Handle(), id); }

    std::vector<std::wstring> Rows(int list_id) {
        HWND list = Control(list_id);
        std::vector<std::wstring> rows;
        const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            std::wstring text(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, row, 0)) + 1, L'\0');
            const auto length = SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()));
            text.resize(static_cast<std::size_t>(length));
            rows.push_back(text);
        }
        return rows;
    }
    int Selection(int list_id) { return static_cast<int>(SendMessageW(Control(list_id), LB_GETCURSEL, 0, 0)); }
    std::vector<int> Selections() { return {Selection(kList1), Selection(kList2), Selection(kList3)}; }

    void TypeRule(const std::wstring& channel, const std::wstring& minimum, const std::wstring& maximum) {
        TypeInto(Control(kText1), channel);
        TypeInto(Control(kText2), minimum);
        TypeInto(Control(kText3), maximum);
    }
    void AddRule(const std::wstring& channel, const std::wstring& minimum, const std::wstring& maximum) {
        TypeRule(channel, minimum, maximum);
        Click(Control(kCommand1));
    }

    // Waits for the host to see a write (true) or for the time to pass without one.
    bool WriteWithin(DWORD milliseconds) {
        host_->universe.ClearPluginWrites();
        return PumpUntil([this] { return !Writes().empty(); }, milliseconds);
    }
    const std::vector<standin::ChannelWrite>& Writes() const { return host_->universe.PluginWrites(); }
    void SetChannel(int channel, int value) { host_->universe.SetFromFader(channel, value); }
    int Channel(int channel) const { return host_->universe.Value(channel); }

    // ChannelGetValue calls since the trace was last cleared.
    std::size_t Reads() const {
        std::size_t reads = 0;
        for (const standin::HostCall& call : host_->trace.calls()) {
            if (call.text.rfind(L"ChannelGetValue", 0) == 0) ++reads;
        }
        return reads;
    }
    void ClearReads() { host_->trace.Clear(); }

    std::shared_ptr<standin::StandinHost> host_ = std::make_shared<standin::StandinHost>();
    Microsoft::WRL::ComPtr<IVELTPluginHelper> helper_;
    BoxWatcher boxes_;
};

}  // namespace zorvane::ui::test
