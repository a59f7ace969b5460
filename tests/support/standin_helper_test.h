#pragma once
// A test of the shared module linked in: the stand-in host's helper stored as the
// plug-in's Init stores it, and let go again after each test.
#include <windows.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <memory>

#include "clamp/win32/velt_zorvane.h"
#include "host/standin/plugin_helper.h"
#include "host/standin/standin_host.h"

namespace zorvane::test {

class StandinHelperTest : public ::testing::Test {
protected:
    void SetUp() override {
        velt_zorvane::Release();
        Connect();
    }
    void TearDown() override { velt_zorvane::Release(); }

    // A fresh host and helper, stored in place of the one before.
    void Connect() {
        host_ = std::make_shared<standin::StandinHost>();
        helper_ = standin::MakePluginHelper(host_);
        velt_zorvane::StorePluginHelper(helper_.Get());
    }

    std::shared_ptr<standin::StandinHost> host_;
    Microsoft::WRL::ComPtr<IVELTPluginHelper> helper_;
};

}  // namespace zorvane::test
