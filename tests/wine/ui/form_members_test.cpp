// The rule editor object as a host drives it through IDispatch: IVELTTool's members by
// identifier, and by name the members a host may call on a form, with the automation
// rules of any client (coerced and optional arguments, named arguments, a property read
// sent as a method call), each effect seen through Win32.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "host/standin/module_info.h"
#include "ui_fixture.h"
#include "win/plain_dispatch.h"
#include "win/handles.h"

namespace zorvane::ui::test {
namespace {

// One argument as a host passes it; owns what it points to.
struct Arg {
    win::Variant value;
    win::Bstr text;
    VARIANT inner;
    LONG number = 0;

    static Arg Long(LONG n) {
        Arg a;
        V_VT(a.value.get()) = VT_I4;
        V_I4(a.value.get()) = n;
        return a;
    }
    static Arg Short(SHORT n) {
        Arg a;
        V_VT(a.value.get()) = VT_I2;
        V_I2(a.value.get()) = n;
        return a;
    }
    static Arg Text(const wchar_t* t) {
        Arg a;
        a.text = win::Bstr(t);
        V_VT(a.value.get()) = VT_BSTR;
        V_BSTR(a.value.get()) = a.text.get();  // borrowed: the Bstr frees it
        return a;
    }
    static Arg Bool(bool b) {
        Arg a;
        V_VT(a.value.get()) = VT_BOOL;
        V_BOOL(a.value.get()) = b ? VARIANT_TRUE : VARIANT_FALSE;
        return a;
    }
    static Arg Missing() {
        Arg a;
        V_VT(a.value.get()) = VT_ERROR;
        V_ERROR(a.value.get()) = DISP_E_PARAMNOTFOUND;
        return a;
    }
    static Arg LongByRef(LONG n) {
        Arg a;
        a.number = n;
        V_VT(a.value.get()) = VT_I4 | VT_BYREF;
        V_I4REF(a.value.get()) = &a.number;  // fixed up by Arg's users: see Args
        return a;
    }
    static Arg NullByRef() {
        Arg a;
        V_VT(a.value.get()) = VT_I4 | VT_BYREF;
        V_I4REF(a.value.get()) = nullptr;
        return a;
    }
    static Arg VariantByRef(SHORT n) {
        Arg a;
        V_VT(&a.inner) = VT_I2;
        V_I2(&a.inner) = n;
        V_VT(a.value.get()) = VT_VARIANT | VT_BYREF;
        V_VARIANTREF(a.value.get()) = &a.inner;
        return a;
    }
    static Arg Object(IDispatch* object) {
        Arg a;
        V_VT(a.value.get()) = VT_DISPATCH;
        V_DISPATCH(a.value.get()) = object;
        object->AddRef();
        return a;
    }

    Arg() { VariantInit(&inner); }
    Arg(Arg&& other) noexcept
        : value(std::move(other.value)), text(std::move(other.text)), inner(other.inner), number(other.number) {
        // By-reference values follow the move.
        if (V_VT(value.get()) == (VT_I4 | VT_BYREF) && V_I4REF(value.get()) == &other.number) {
            V_I4REF(value.get()) = &number;
        }
        if (V_VT(value.get()) == (VT_VARIANT | VT_BYREF)) V_VARIANTREF(value.get()) = &inner;
        if (V_VT(value.get()) == VT_BSTR) V_BSTR(value.get()) = text.get();
    }
    ~Arg() {
        // The text belongs to the Bstr; the variant must not free it too.
        if (V_VT(value.get()) == VT_BSTR) V_VT(value.get()) = VT_EMPTY;
    }
};

struct Outcome {
    HRESULT hr = E_FAIL;
    win::Variant result;
    EXCEPINFO excep{};
    UINT arg_error = 12345;
    std::wstring error_description;  // from GetErrorInfo after the call

    Outcome() = default;
    Outcome(Outcome&& other) noexcept
        : hr(other.hr), result(std::move(other.result)), excep(other.excep), arg_error(other.arg_error),
          error_description(std::move(other.error_description)) {
        other.excep = EXCEPINFO{};
    }
    ~Outcome() {
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
    }
    LONG Long() const {
        win::Variant copy;
        EXPECT_EQ(VariantChangeType(copy.get(), const_cast<VARIANT*>(result.get()), 0, VT_I4), S_OK);
        return V_I4(copy.get());
    }
    std::wstring Text() const {
        EXPECT_EQ(result.type(), VT_BSTR);
        return result.type() == VT_BSTR ? std::wstring(V_BSTR(result.get())) : std::wstring();
    }
};

RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

// Whether a is in front of b in the Z-order.
bool Above(HWND a, HWND b) {
    for (HWND w = GetWindow(a, GW_HWNDNEXT); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == b) return true;
    }
    return false;
}

// A host's own form as the OwnerForm argument: an object whose hWnd names its window;
// or, as the automation fuzzer's hosts had it, one whose hWnd is a reference to nothing,
// or one that says it is an IDispatch and hands out none.
class HostFormDouble final : public win::PlainDispatch<HostFormDouble> {
public:
    enum class Answer { Window, ReferenceToNothing, NoDispatch };
    static constexpr bool kHoldsModule = false;
    explicit HostFormDouble(HWND window, Answer answer = Answer::Window) : window_(window), answer_(answer) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        if (answer_ == Answer::NoDispatch && out != nullptr && iid == IID_IDispatch) {
            *out = nullptr;
            return S_OK;
        }
        return PlainDispatch::QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) noexcept override {
        if (_wcsicmp(names[0], L"hWnd") != 0) return DISP_E_UNKNOWNNAME;
        ids[0] = 7;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) noexcept override {
        if (id != 7) return DISP_E_MEMBERNOTFOUND;
        if (answer_ == Answer::ReferenceToNothing) {
            V_VT(result) = VT_I4 | VT_BYREF;
            V_I4REF(result) = nullptr;
            return S_OK;
        }
        V_VT(result) = VT_I4;
        V_I4(result) = static_cast<LONG>(reinterpret_cast<LONG_PTR>(window_));
        return S_OK;
    }

private:
    HWND window_;
    Answer answer_;
};

class FormMembersTest : public UiTest {
public:
    void SetUp() override {
        UiTest::SetUp();
        dispatch_ = RuleEditorInstance();
    }
    void TearDown() override {
        dispatch_.Reset();
        UiTest::TearDown();
    }

    DISPID IdOf(const wchar_t* name, HRESULT* hr = nullptr) {
        DISPID id = 12345;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        const HRESULT result = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (hr != nullptr) *hr = result;
        return id;
    }

    // Arguments in the caller's order; named: the identifiers of the first ones (they
    // are then passed first, as DISPPARAMS wants them).
    Outcome Invoke(DISPID id, WORD flags, std::vector<Arg>& args, std::vector<DISPID> named = {},
                   REFIID riid = IID_NULL) {
        std::vector<VARIANT> reversed;
        for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(*it->value.get());
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        if (!named.empty()) {
            // Named arguments come first in rgvarg, in the order of their identifiers.
            std::vector<VARIANT> ordered;
            for (std::size_t i = 0; i < named.size(); ++i) ordered.push_back(*args[i].value.get());
            for (std::size_t i = args.size(); i-- > named.size();) ordered.push_back(*args[i].value.get());
            reversed = ordered;
            params.rgvarg = reversed.data();
            params.rgdispidNamedArgs = named.data();
            params.cNamedArgs = static_cast<UINT>(named.size());
        } else if (flags & DISPATCH_PROPERTYPUT) {
            params.rgdispidNamedArgs = &put;
            params.cNamedArgs = 1;
        }
        Outcome outcome;
        // Junk, as an uninitialised result is: the member must set it, on failure too.
        std::memset(outcome.result.get(), 0xCC, sizeof(VARIANT));
        SetErrorInfo(0, nullptr);
        outcome.hr = dispatch_->Invoke(id, riid, LOCALE_USER_DEFAULT, flags, &params,
                                       outcome.result.get(), &outcome.excep, &outcome.arg_error);
        IErrorInfo* info = nullptr;
        if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
            win::Bstr description;
            info->GetDescription(description.put());
            outcome.error_description = description.view();
            info->Release();
        }
        return outcome;
    }
    Outcome Call(const wchar_t* name, WORD flags, std::vector<Arg> args = {}, std::vector<DISPID> named = {},
                 REFIID riid = IID_NULL) {
        HRESULT hr = E_FAIL;
        const DISPID id = IdOf(name, &hr);
        EXPECT_EQ(hr, S_OK) << "name " << testing::PrintToString(std::wstring(name));
        return Invoke(id, flags, args, std::move(named), riid);
    }
    Outcome Get(const wchar_t* name) { return Call(name, DISPATCH_PROPERTYGET | DISPATCH_METHOD); }
    // Show 1 with a host's form as the owner.
    Outcome ShowModal(IDispatch* owner) {
        std::vector<Arg> args;
        args.push_back(Arg::Long(1));
        args.push_back(Arg::Object(owner));
        return Call(L"Show", DISPATCH_METHOD, std::move(args));
    }
    Outcome Put(const wchar_t* name, Arg value) {
        std::vector<Arg> args;
        args.push_back(std::move(value));
        return Call(name, DISPATCH_PROPERTYPUT, std::move(args));
    }
    std::vector<Arg> Args(std::initializer_list<LONG> numbers) {
        std::vector<Arg> args;
        for (LONG n : numbers) args.push_back(Arg::Long(n));
        return args;
    }
    HWND Window() { return EditorWindow(); }

    Microsoft::WRL::ComPtr<IDispatch> dispatch_;
};

TEST_F(FormMembersTest, NamesAnswerInAnyCaseAndUnknownOnesAreRefused) {
    const struct {
        const wchar_t* name;
        DISPID id;  // 0: any identifier of our own
    } names[] = {
        {L"ClearProjectData", 0x60030001}, {L"loadprojectdata", 0x60030002},
        {L"SAVEPROJECTDATA", 0x60030003},  {L"AskToSaveProjectData", 0x60030004},
        {L"ViewMode", 0x68030000},         {L"hwnd", DISPID_HWND},
        {L"Caption", DISPID_CAPTION},      {L"ENABLED", DISPID_ENABLED},
        {L"Refresh", DISPID_REFRESH},      {L"Show", 0},
        {L"hide", 0},                      {L"Visible", 0},
        {L"Name", 0},                      {L"Tag", 0},
        {L"left", 0},                      {L"Top", 0},
        {L"Width", 0},                     {L"Height", 0},
        {L"ScaleWidth", 0},                {L"scaleheight", 0},
        {L"Move", 0},                      {L"WindowState", 0},
        {L"ZOrder", 0},                    {L"SetFocus", 0},
        {L"PluginConfigurationData", 0},
    };
    std::vector<DISPID> seen;
    for (const auto& entry : names) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(entry.name)));
        HRESULT hr = E_FAIL;
        const DISPID id = IdOf(entry.name, &hr);
        EXPECT_EQ(hr, S_OK);
        if (entry.id != 0) {
            EXPECT_EQ(id, entry.id);
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), id), 0) << "two members share an identifier";
        seen.push_back(id);
    }
    HRESULT hr = S_OK;
    EXPECT_EQ(IdOf(L"Unload", &hr), DISPID_UNKNOWN);
    EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);

    // Parameter names, for named arguments.
    LPOLESTR with_parameters[] = {const_cast<LPOLESTR>(L"Show"), const_cast<LPOLESTR>(L"ownerform"),
                                  const_cast<LPOLESTR>(L"Modal")};
    DISPID ids[3] = {};
    EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, with_parameters, 3, LOCALE_USER_DEFAULT, ids), S_OK);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[2], 0);
    with_parameters[1] = const_cast<LPOLESTR>(L"Owner");
    EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, with_parameters, 2, LOCALE_USER_DEFAULT, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    EXPECT_FALSE(EditorLoaded());
}

TEST_F(FormMembersTest, ProjectDataMembersDoNothingAndNeedNoSaving) {
    std::vector<Arg> none;
    for (DISPID id : {0x60030001, 0x60030002, 0x60030003}) {
        const Outcome call = Invoke(id, DISPATCH_METHOD, none);
        EXPECT_EQ(call.hr, S_OK) << std::hex << id;
        EXPECT_EQ(call.result.type(), VT_EMPTY);
    }
    const Outcome ask = Call(L"asktosaveprojectdata", DISPATCH_METHOD);
    EXPECT_EQ(ask.hr, S_OK);
    ASSERT_EQ(ask.result.type(), VT_BOOL);
    EXPECT_EQ(V_BOOL(ask.result.get()), VARIANT_FALSE);
    EXPECT_EQ(Put(L"ViewMode", Arg::Long(2)).hr, S_OK);
    // Nowhere to put the answer: refused with words of its own (the fuzzer found none).
    ComPtr<IVELTTool> tool;
    ASSERT_EQ(dispatch_.As(&tool), S_OK);
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(tool->AskToSaveProjectData(nullptr), E_POINTER);
    IErrorInfo* info = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &info), S_OK) << "no error information";
    if (info != nullptr) info->Release();
    EXPECT_FALSE(EditorLoaded());
}

TEST_F(FormMembersTest, NameAndTagNeedNoWindow) {
    EXPECT_EQ(Get(L"Name").Text(), L"frmZorvane");
    EXPECT_EQ(Get(L"Tag").Text(), L"");
    EXPECT_EQ(Put(L"Tag", Arg::Text(L"Andockbar")).hr, S_OK);
    EXPECT_EQ(Put(L"Tag", Arg::Long(42)).hr, S_OK);  // coerced to a text
    EXPECT_EQ(Get(L"tag").Text(), L"42");
    EXPECT_FALSE(EditorLoaded());
    // Kept while the instance lives, across a close.
    Call(L"Show", DISPATCH_METHOD);
    SendMessageW(Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(Get(L"Tag").Text(), L"42");
}

TEST_F(FormMembersTest, EachMemberActsOnTheWindowAsAFormDoes) {
    struct Case {
        const char* what;
        std::function<Outcome(FormMembersTest&)> call;
        std::function<void(FormMembersTest&, const Outcome&)> check;
    };
    const Case cases[] = {
        {"hWnd loads the window, hidden",
         [](FormMembersTest& t) { return t.Get(L"hWnd"); },
         [](FormMembersTest& t, const Outcome& o) {
             EXPECT_EQ(reinterpret_cast<HWND>(static_cast<LONG_PTR>(o.Long())), t.Window());
             EXPECT_FALSE(IsWindowVisible(t.Window()));
         }},
        {"Show shows and activates it",
         [](FormMembersTest& t) { return t.Call(L"Show", DISPATCH_METHOD); },
         [](FormMembersTest& t, const Outcome&) {
             Pump(20);
             EXPECT_TRUE(IsWindowVisible(t.Window()));
             EXPECT_EQ(GetActiveWindow(), t.Window());
             EXPECT_EQ(GetWindow(t.Window(), GW_OWNER), nullptr);
         }},
        {"Visible reads true",
         [](FormMembersTest& t) { return t.Get(L"Visible"); },
         [](FormMembersTest&, const Outcome& o) { EXPECT_EQ(o.Long(), -1); }},
        {"Caption is written and read back",
         [](FormMembersTest& t) { return t.Put(L"Caption", Arg::Text(L"Kan\u00E4le begrenzen")); },
         [](FormMembersTest& t, const Outcome&) {
             EXPECT_EQ(TextOf(t.Window()), L"Kan\u00E4le begrenzen");
             EXPECT_EQ(t.Get(L"Caption").Text(), L"Kan\u00E4le begrenzen");
             t.Put(L"Caption", Arg::Text(L"Zorvane"));  // the fixture finds the window by it
         }},
        {"Enabled false disables the window",
         [](FormMembersTest& t) { return t.Put(L"Enabled", Arg::Bool(false)); },
         [](FormMembersTest& t, const Outcome&) {
             EXPECT_FALSE(IsWindowEnabled(t.Window()));
             EXPECT_EQ(t.Get(L"Enabled").Long(), 0);
             EXPECT_EQ(t.Put(L"Enabled", Arg::Long(-1)).hr, S_OK);
             EXPECT_TRUE(IsWindowEnabled(t.Window()));
         }},
        {"WindowState 1 minimizes",
         [](FormMembersTest& t) { return t.Put(L"WindowState", Arg::Long(1)); },
         [](FormMembersTest& t, const Outcome&) {
             EXPECT_TRUE(IsIconic(t.Window()));
             EXPECT_EQ(t.Get(L"WindowState").Long(), 1);
         }},
        {"WindowState 0 restores",
         [](FormMembersTest& t) { return t.Put(L"WindowState", Arg::Long(0)); },
         [](FormMembersTest& t, const Outcome&) {
             EXPECT_FALSE(IsIconic(t.Window()));
             EXPECT_EQ(t.Get(L"WindowState").Long(), 0);
         }},
        {"SetFocus activates it",
         [](FormMembersTest& t) { return t.Call(L"SetFocus", DISPATCH_METHOD); },
         [](FormMembersTest& t, const Outcome&) {
             EXPECT_EQ(GetActiveWindow(), t.Window());
             EXPECT_TRUE(IsChild(t.Window(), GetFocus()));
         }},
        {"Refresh",
         [](FormMembersTest& t) { return t.Call(L"Refresh", DISPATCH_METHOD); },
         [](FormMembersTest& t, const Outcome&) { EXPECT_TRUE(IsWindowVisible(t.Window())); }},
        {"Hide hides it, loaded",
         [](FormMembersTest& t) { return t.Call(L"Hide", DISPATCH_METHOD); },
         [](FormMembersTest& t, const Outcome&) {
             EXPECT_FALSE(IsWindowVisible(t.Window()));
             EXPECT_TRUE(EditorLoaded());
         }},
        {"WindowState 2 while hidden waits for the next Show",
         [](FormMembersTest& t) { return t.Put(L"WindowState", Arg::Long(2)); },
         [](FormMembersTest& t, const Outcome&) {
             EXPECT_FALSE(IsWindowVisible(t.Window()));
             EXPECT_EQ(t.Get(L"WindowState").Long(), 2);
             EXPECT_EQ(t.Put(L"Visible", Arg::Bool(true)).hr, S_OK);
             EXPECT_TRUE(IsZoomed(t.Window()));
             t.Put(L"WindowState", Arg::Long(0));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome outcome = c.call(*this);
        ASSERT_EQ(outcome.hr, S_OK) << outcome.error_description;
        c.check(*this, outcome);
    }
}

// Left, Top, Width, Height, Move, ScaleWidth and ScaleHeight at each resolution the test
// command runs them at (96 DPI, and 120 and 144 in prefixes of their own). The pixels and
// twips are written out, a column a resolution, with odd twips among them where a write
// must round to the nearest pixel.
class FormTwipsTest : public FormMembersTest {
protected:
    struct PixelRect {
        int left, top, width, height;
    };
    static constexpr int kKept = INT_MIN;  // as it was before the call

    // The column of this run's resolution.
    template <class T>
    static const T& AtThisResolution(const T (&columns)[std::size(kResolutions)]) {
        return columns[ResolutionColumn()];
    }
    PixelRect Place() {
        const RECT r = WindowRect(Window());
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
};

TEST_F(FormTwipsTest, WritesPlaceTheWindowOnTheNearestPixel) {
    ASSERT_EQ(Call(L"Show", DISPATCH_METHOD).hr, S_OK);
    const struct {
        const char* what;
        std::function<Outcome(FormTwipsTest&)> call;
        PixelRect pixels[std::size(kResolutions)];
    } rows[] = {
        {"Move with all four, whole pixels everywhere",
         [](FormTwipsTest& t) { return t.Call(L"Move", DISPATCH_METHOD, t.Args({1440, 1440, 4560, 3600})); },
         {{96, 96, 304, 240}, {120, 120, 380, 300}, {144, 144, 456, 360}}},
        {"Move with all four, odd twips",
         [](FormTwipsTest& t) { return t.Call(L"Move", DISPATCH_METHOD, t.Args({1000, 607, 4455, 3007})); },
         {{67, 40, 297, 200}, {83, 51, 371, 251}, {100, 61, 446, 301}}},
        {"Left from a numeric text",
         [](FormTwipsTest& t) { return t.Put(L"Left", Arg::Text(L"1446")); },
         {{96, kKept, kKept, kKept}, {121, kKept, kKept, kKept}, {145, kKept, kKept, kKept}}},
        {"Top from a 16-bit integer",
         [](FormTwipsTest& t) { return t.Put(L"Top", Arg::Short(606)); },
         {{kKept, 40, kKept, kKept}, {kKept, 51, kKept, kKept}, {kKept, 61, kKept, kKept}}},
        {"Width from a value by reference",
         [](FormTwipsTest& t) { return t.Put(L"Width", Arg::LongByRef(6006)); },
         {{kKept, kKept, 400, kKept}, {kKept, kKept, 501, kKept}, {kKept, kKept, 601, kKept}}},
        {"Height from a variant by reference",
         [](FormTwipsTest& t) { return t.Put(L"Height", Arg::VariantByRef(4507)); },
         {{kKept, kKept, kKept, 300}, {kKept, kKept, kKept, 376}, {kKept, kKept, kKept, 451}}},
        {"Move with two of four keeps the size",
         [](FormTwipsTest& t) { return t.Call(L"Move", DISPATCH_METHOD, t.Args({1507, 1213})); },
         {{100, 81, kKept, kKept}, {126, 101, kKept, kKept}, {151, 121, kKept, kKept}}},
        {"Move with Top left out and Width given",
         [](FormTwipsTest& t) {
             std::vector<Arg> args;
             args.push_back(Arg::Long(750));
             args.push_back(Arg::Missing());
             args.push_back(Arg::Long(5000));
             return t.Call(L"Move", DISPATCH_METHOD, std::move(args));
         },
         {{50, kKept, 333, kKept}, {63, kKept, 417, kKept}, {75, kKept, 500, kKept}}},
        {"a negative Left, to the nearest pixel and not toward zero",
         [](FormTwipsTest& t) { return t.Put(L"Left", Arg::Long(-1000)); },
         {{-67, kKept, kKept, kKept}, {-83, kKept, kKept, kKept}, {-100, kKept, kKept, kKept}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.what << " at " << ExpectedDpi() << " DPI");
        const PixelRect before = Place();
        const Outcome outcome = row.call(*this);
        ASSERT_EQ(outcome.hr, S_OK) << outcome.error_description;
        const PixelRect& want = AtThisResolution(row.pixels);
        const auto expected = [](int wanted, int kept) { return wanted == kKept ? kept : wanted; };
        const PixelRect now = Place();
        EXPECT_EQ(now.left, expected(want.left, before.left));
        EXPECT_EQ(now.top, expected(want.top, before.top));
        EXPECT_EQ(now.width, expected(want.width, before.width));
        EXPECT_EQ(now.height, expected(want.height, before.height));
        // Read back, whole pixels in twips.
        EXPECT_EQ(Get(L"Left").Long(), Twips(now.left));
        EXPECT_EQ(Get(L"Top").Long(), Twips(now.top));
        EXPECT_EQ(Get(L"Width").Long(), Twips(now.width));
        EXPECT_EQ(Get(L"Height").Long(), Twips(now.height));
    }
}

// A pixel is a whole number of twips at each of these resolutions: a read has nothing to
// round. The window is placed by the system, not by a write of ours.
TEST_F(FormTwipsTest, ReadsAreTheWindowsPixelsInTwips) {
    ASSERT_EQ(Call(L"Show", DISPATCH_METHOD).hr, S_OK);
    const struct {
        PixelRect pixels;
        LONG twips[std::size(kResolutions)][4];  // Left, Top, Width, Height
    } rows[] = {
        {{67, 40, 297, 201}, {{1005, 600, 4455, 3015}, {804, 480, 3564, 2412}, {670, 400, 2970, 2010}}},
        {{-7, 3, 350, 199}, {{-105, 45, 5250, 2985}, {-84, 36, 4200, 2388}, {-70, 30, 3500, 1990}}},
    };
    for (const auto& row : rows) {
        const PixelRect& p = row.pixels;
        SCOPED_TRACE(testing::Message() << "at " << p.left << "," << p.top << " " << p.width << "x" << p.height
                                        << " pixels, " << ExpectedDpi() << " DPI");
        ASSERT_TRUE(SetWindowPos(Window(), nullptr, p.left, p.top, p.width, p.height, SWP_NOZORDER | SWP_NOACTIVATE));
        const LONG(&want)[4] = AtThisResolution(row.twips);
        EXPECT_EQ(Get(L"Left").Long(), want[0]);
        EXPECT_EQ(Get(L"Top").Long(), want[1]);
        EXPECT_EQ(Get(L"Width").Long(), want[2]);
        EXPECT_EQ(Get(L"Height").Long(), want[3]);
    }
}

TEST_F(FormTwipsTest, ScaleWidthAndHeightAreTheClientAreaInTwips) {
    // The design's 4470 x 3255 twips become whole pixels when the window is made.
    const struct {
        SIZE pixels;
        LONG width, height;  // twips, read back
    } at[] = {{{298, 217}, 4470, 3255}, {{373, 271}, 4476, 3252}, {{447, 326}, 4470, 3260}};
    static_assert(std::size(at) == std::size(kResolutions));
    const auto& want = at[ResolutionColumn()];
    const LONG width = Get(L"ScaleWidth").Long();
    const LONG height = Get(L"ScaleHeight").Long();
    RECT client{};
    GetClientRect(Window(), &client);
    EXPECT_EQ(client.right, want.pixels.cx);
    EXPECT_EQ(client.bottom, want.pixels.cy);
    EXPECT_EQ(width, want.width);
    EXPECT_EQ(height, want.height);
}

TEST_F(FormMembersTest, NamedArgumentsAndValuesPutWithoutTheirName) {
    // Move Top:=900, Left:=450
    std::vector<Arg> args;
    args.push_back(Arg::Long(900));
    args.push_back(Arg::Long(450));
    ASSERT_EQ(Call(L"Move", DISPATCH_METHOD, std::move(args), {1, 0}).hr, S_OK);
    EXPECT_EQ(WindowRect(Window()).left, Pixels(450));
    EXPECT_EQ(WindowRect(Window()).top, Pixels(900));

    // A put whose value is not named DISPID_PROPERTYPUT, as some clients send it.
    std::vector<Arg> value;
    value.push_back(Arg::Text(L"ohne Namen"));
    DISPPARAMS params{value[0].value.get(), nullptr, 1, 0};
    EXPECT_EQ(dispatch_->Invoke(DISPID_CAPTION, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr,
                                nullptr, nullptr),
              S_OK);
    EXPECT_EQ(TextOf(Window()), L"ohne Namen");
}

TEST_F(FormMembersTest, MalformedCallsGetTheAutomationCodesAndErrorInformation) {
    struct Case {
        const char* what;
        const wchar_t* name;
        WORD flags;
        std::function<std::vector<Arg>()> args;
        std::vector<DISPID> named;
        HRESULT hr;
        int arg_error;  // -1: not checked
        bool odd_iid = false;  // riid not IID_NULL
    };
    const Case cases[] = {
        {"Move without arguments", L"Move", DISPATCH_METHOD, [] { return std::vector<Arg>{}; }, {},
         DISP_E_BADPARAMCOUNT, -1},
        {"Show with three arguments", L"Show", DISPATCH_METHOD,
         [] { std::vector<Arg> a; for (int i = 0; i < 3; ++i) a.push_back(Arg::Long(0)); return a; }, {},
         DISP_E_BADPARAMCOUNT, -1},
        {"Move with Left left out", L"Move", DISPATCH_METHOD,
         [] { std::vector<Arg> a; a.push_back(Arg::Missing()); return a; }, {}, DISP_E_PARAMNOTFOUND, 0},
        {"hWnd written", L"hWnd", DISPATCH_PROPERTYPUT,
         [] { std::vector<Arg> a; a.push_back(Arg::Long(1)); return a; }, {}, DISP_E_MEMBERNOTFOUND, -1},
        {"Hide read as a property", L"Hide", DISPATCH_PROPERTYGET, [] { return std::vector<Arg>{}; }, {},
         DISP_E_MEMBERNOTFOUND, -1},
        {"Width from a word", L"Width", DISPATCH_PROPERTYPUT,
         [] { std::vector<Arg> a; a.push_back(Arg::Text(L"breit")); return a; }, {}, DISP_E_TYPEMISMATCH, 0},
        {"Visible from a word", L"Visible", DISPATCH_PROPERTYPUT,
         [] { std::vector<Arg> a; a.push_back(Arg::Text(L"vielleicht")); return a; }, {},
         DISP_E_TYPEMISMATCH, 0},
        {"Left through a null reference", L"Left", DISPATCH_PROPERTYPUT,
         [] { std::vector<Arg> a; a.push_back(Arg::NullByRef()); return a; }, {}, DISP_E_TYPEMISMATCH, 0},
        {"Width beyond 32 bits", L"Width", DISPATCH_PROPERTYPUT,
         [] { std::vector<Arg> a; a.push_back(Arg::Text(L"99999999999")); return a; }, {}, DISP_E_OVERFLOW, 0},
        {"a named argument Move does not have", L"Move", DISPATCH_METHOD,
         [] { std::vector<Arg> a; a.push_back(Arg::Long(5)); a.push_back(Arg::Long(1)); return a; }, {7},
         DISP_E_PARAMNOTFOUND, 0},
        // Found by the automation fuzzer: the result left as the caller filled it, no
        // puArgErr for an owner that is no form (or a crash), no words where the type
        // information refused the call.
        {"Caption read with riid not IID_NULL", L"Caption", DISPATCH_PROPERTYGET, [] { return std::vector<Arg>{}; },
         {}, DISP_E_UNKNOWNINTERFACE, -1, true},
        {"Show owned by a form whose hWnd is a reference to nothing", L"Show", DISPATCH_METHOD,
         [] {
             std::vector<Arg> a;
             a.push_back(Arg::Long(0));
             a.push_back(Arg::Object(
                 win::Make<HostFormDouble>(nullptr, HostFormDouble::Answer::ReferenceToNothing).Get()));
             return a;
         },
         {}, DISP_E_TYPEMISMATCH, 0},
        {"Show owned by an object that hands out no IDispatch", L"Show", DISPATCH_METHOD,
         [] {
             std::vector<Arg> a;
             a.push_back(Arg::Long(0));
             a.push_back(Arg::Object(win::Make<HostFormDouble>(nullptr, HostFormDouble::Answer::NoDispatch).Get()));
             return a;
         },
         {}, DISP_E_TYPEMISMATCH, 0},
        {"AskToSaveProjectData with an argument", L"AskToSaveProjectData", DISPATCH_METHOD,
         [] { std::vector<Arg> a; a.push_back(Arg::Long(1)); return a; }, {}, DISP_E_BADPARAMCOUNT, -1},
        {"ViewMode read", L"ViewMode", DISPATCH_PROPERTYGET, [] { return std::vector<Arg>{}; }, {},
         DISP_E_MEMBERNOTFOUND, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome outcome = Call(c.name, c.flags, c.args(), c.named, c.odd_iid ? IID_IDispatch : IID_NULL);
        EXPECT_EQ(outcome.hr, c.hr);
        if (c.arg_error >= 0) {
            EXPECT_EQ(outcome.arg_error, static_cast<UINT>(c.arg_error));
        }
        EXPECT_FALSE(outcome.error_description.empty()) << "no error information";
        EXPECT_EQ(outcome.result.type(), VT_EMPTY);
    }
}

TEST_F(FormMembersTest, WhatAFormRefusesComesBackAsAnExceptionWithItsWords) {
    const struct {
        const char* what;
        const wchar_t* name;
        std::function<std::vector<Arg>()> args;
        WORD flags;
        HRESULT scode;
    } cases[] = {
        {"SetFocus on a hidden window", L"SetFocus", [] { return std::vector<Arg>{}; }, DISPATCH_METHOD,
         static_cast<HRESULT>(0x800A0005)},
        {"a negative Width", L"Width",
         [] { std::vector<Arg> a; a.push_back(Arg::Long(-5)); return a; }, DISPATCH_PROPERTYPUT,
         static_cast<HRESULT>(0x800A017C)},
        {"WindowState 3", L"WindowState",
         [] { std::vector<Arg> a; a.push_back(Arg::Long(3)); return a; }, DISPATCH_PROPERTYPUT,
         static_cast<HRESULT>(0x800A017C)},
        {"ZOrder 2", L"ZOrder", [] { std::vector<Arg> a; a.push_back(Arg::Long(2)); return a; },
         DISPATCH_METHOD, static_cast<HRESULT>(0x800A0005)},
        {"Show with style 5", L"Show", [] { std::vector<Arg> a; a.push_back(Arg::Long(5)); return a; },
         DISPATCH_METHOD, static_cast<HRESULT>(0x800A0005)},
        {"Show owned by a window that is not there", L"Show",
         [] { std::vector<Arg> a; a.push_back(Arg::Long(0)); a.push_back(Arg::Long(0x7FFFFFF0)); return a; },
         DISPATCH_METHOD, static_cast<HRESULT>(0x800A0005)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome outcome = Call(c.name, c.flags, c.args());
        ASSERT_EQ(outcome.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(outcome.excep.scode, c.scode);
        EXPECT_NE(outcome.excep.bstrDescription, nullptr);
        EXPECT_EQ(std::wstring(outcome.excep.bstrSource ? outcome.excep.bstrSource : L""), L"Zorvane");
        EXPECT_FALSE(outcome.error_description.empty());
    }
    // Without an EXCEPINFO the code itself comes back, with the error information.
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(dispatch_->Invoke(IdOf(L"SetFocus"), IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                                nullptr),
              static_cast<HRESULT>(0x800A0005));
    IErrorInfo* info = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &info), S_OK);
    if (info != nullptr) info->Release();
    // A null DISPPARAMS is refused, not followed.
    EXPECT_EQ(dispatch_->Invoke(IdOf(L"Show"), IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr,
                                nullptr),
              E_INVALIDARG);
}

TEST_F(FormMembersTest, ShowOwnedByAHostFormOrAWindowHandle) {
    // The host's main window, and a child of it, as a pane.
    win::UniqueWindow host(CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                           400, 300, nullptr, nullptr, nullptr, nullptr));
    HWND pane = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, host.get(),
                                nullptr, nullptr, nullptr);
    ASSERT_NE(pane, nullptr);
    const auto form = win::Make<HostFormDouble>(host.get());

    std::vector<Arg> args;
    args.push_back(Arg::Long(0));
    args.push_back(Arg::Object(form.Get()));
    ASSERT_EQ(Call(L"Show", DISPATCH_METHOD, std::move(args)).hr, S_OK);
    EXPECT_EQ(GetWindow(Window(), GW_OWNER), host.get());
    EXPECT_TRUE(IsWindowVisible(Window()));

    // Named: Show OwnerForm:=<the pane's handle>; the owner is its top-level window.
    Call(L"Hide", DISPATCH_METHOD);
    args.clear();
    args.push_back(Arg::Long(static_cast<LONG>(reinterpret_cast<LONG_PTR>(pane))));
    ASSERT_EQ(Call(L"Show", DISPATCH_METHOD, std::move(args), {1}).hr, S_OK);
    EXPECT_EQ(GetWindow(Window(), GW_OWNER), host.get());

    // A plain Show again: no owner.
    Call(L"Hide", DISPATCH_METHOD);
    ASSERT_EQ(Call(L"Show", DISPATCH_METHOD).hr, S_OK);
    EXPECT_EQ(GetWindow(Window(), GW_OWNER), nullptr);
}

TEST_F(FormMembersTest, ZOrderPutsTheWindowInFrontOfOrBehindTheOthers) {
    Call(L"Show", DISPATCH_METHOD);
    win::UniqueWindow other(CreateWindowExW(0, L"STATIC", L"Andere", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                            nullptr, nullptr, nullptr, nullptr));
    ASSERT_EQ(Call(L"ZOrder", DISPATCH_METHOD).hr, S_OK);
    EXPECT_TRUE(Above(Window(), other.get()));
    ASSERT_EQ(Call(L"ZOrder", DISPATCH_METHOD, Args({1})).hr, S_OK);
    EXPECT_TRUE(Above(other.get(), Window()));
}

// Runs from the modal loop of Show 1: what the host's owner and our window look like
// while it runs, then closes the form one of two ways and reads which window the system
// made active.
struct ModalProbe {
    HWND owner = nullptr;
    HWND form = nullptr;
    bool closes_with_wm_close = false;
    bool owner_enabled_during = true;
    bool form_visible_during = false;
    HWND form_owner_during = nullptr;
    bool ran = false;
    HWND active_after = nullptr;
    HWND foreground_after = nullptr;
};
ModalProbe* g_probe = nullptr;

void CALLBACK ProbeModal(HWND, UINT, UINT_PTR id, DWORD) noexcept {
    KillTimer(nullptr, id);
    ModalProbe& probe = *g_probe;
    probe.ran = true;
    probe.owner_enabled_during = IsWindowEnabled(probe.owner) != FALSE;
    probe.form_visible_during = IsWindowVisible(probe.form) != FALSE;
    probe.form_owner_during = GetWindow(probe.form, GW_OWNER);
    if (probe.closes_with_wm_close) {
        SendMessageW(probe.form, WM_CLOSE, 0, 0);
    } else {
        ShowWindow(probe.form, SW_HIDE);
    }
    probe.active_after = GetActiveWindow();
    probe.foreground_after = GetForegroundWindow();
}

// Arms the probe for the next modal loop: it runs once, 100 ms after the loop starts.
void ArmModalProbe(ModalProbe& probe, HWND owner, HWND form, bool closes_with_wm_close) {
    probe.owner = owner;
    probe.form = form;
    probe.closes_with_wm_close = closes_with_wm_close;
    g_probe = &probe;
    SetTimer(nullptr, 0, 100, ProbeModal);
}

TEST_F(FormMembersTest, ShowModalDisablesTheOwnerAndReturnsOnlyOnceTheFormIsHiddenOrClosed) {
    win::UniqueWindow host(CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                           400, 300, nullptr, nullptr, nullptr, nullptr));
    const auto form = win::Make<HostFormDouble>(host.get());
    for (bool closes : {false, true}) {
        SCOPED_TRACE(closes ? "closed" : "hidden");
        ModalProbe probe;
        ArmModalProbe(probe, host.get(), Window(), closes);
        const Outcome shown = ShowModal(form.Get());
        g_probe = nullptr;
        EXPECT_EQ(shown.hr, S_OK) << shown.error_description;
        ASSERT_TRUE(probe.ran) << "Show 1 returned before the form was closed";
        EXPECT_FALSE(probe.owner_enabled_during);
        EXPECT_TRUE(probe.form_visible_during);
        EXPECT_EQ(probe.form_owner_during, host.get());
        EXPECT_TRUE(IsWindowEnabled(host.get())) << "the owner stays disabled";
        EXPECT_EQ(EditorLoaded(), !closes);
    }
    // Shown already: a modal Show is refused, as a form refuses it.
    Call(L"Show", DISPATCH_METHOD);
    const Outcome again = Call(L"Show", DISPATCH_METHOD, Args({1}));
    EXPECT_EQ(again.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(again.excep.scode, static_cast<HRESULT>(0x800A0190));
}

// A top-level window of the test's own, visible and enabled: a window the system could
// hand the activation to. It counts the times it gets it.
class Bystander {
public:
    Bystander() {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = Proc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = kClass;
        RegisterClassW(&window_class);
        window_.reset(CreateWindowExW(0, kClass, L"Andere Anwendung", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 300,
                                      200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
        EXPECT_TRUE(window_);
        activations_ = 0;
    }
    ~Bystander() {
        window_.reset();
        UnregisterClassW(kClass, GetModuleHandleW(nullptr));
    }
    Bystander(const Bystander&) = delete;
    Bystander& operator=(const Bystander&) = delete;

    HWND window() const noexcept { return window_.get(); }
    static int activations() noexcept { return activations_; }

private:
    static constexpr wchar_t kClass[] = L"ZorvaneTestBystander";
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
        if (message == WM_ACTIVATE && LOWORD(wparam) != WA_INACTIVE) ++activations_;
        return DefWindowProcW(window, message, wparam, lparam);
    }
    static inline int activations_ = 0;
    win::UniqueWindow window_;
};

// Through the real DLL, as a host shows its tool window: Show 1 with the host's form as
// the owner, another window of the host's below the owner or between it and the form in
// the Z-order. When the form is hidden or closed, the owner is enabled before the form
// goes out of sight and has the activation once Show returns, in front of the other
// window. Where the system's own choice is the owner (the next window below the form),
// the other window never gets the activation; where it is the other window (Wine looks
// to an owner first only for popup windows), it may have it until the loop ends.
TEST_F(FormMembersTest, AModalFormHiddenOrClosedHandsTheActivationBackToItsOwner) {
    standin::ModuleInfoClassOverride module_info_class;
    const ComPtr<IVELTPlugin> plugin = CreatePlugInByProgId();
    const ComPtr<IVELTModuleInfo> info = ModuleInfoOf(plugin.Get());
    dispatch_ = ToolWindowOf(info.Get());
    // The DLL's window, whatever the test leaves of it, goes with the test.
    struct CloseTheDllsWindow {
        ~CloseTheDllsWindow() {
            const auto ours = reinterpret_cast<LONG_PTR>(GetModuleHandleW(nullptr));
            for (HWND window : ThreadWindows(kEditorCaption)) {
                if (GetWindowLongPtrW(window, GWLP_HINSTANCE) != ours) SendMessageW(window, WM_CLOSE, 0, 0);
            }
        }
    } const close_the_dlls_window;
    const Bystander other;
    win::UniqueWindow host(CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 400, 300,
                                           nullptr, nullptr, nullptr, nullptr));
    const auto owner_form = win::Make<HostFormDouble>(host.get());
    const struct {
        const char* name;
        bool other_above_owner;
        bool closes;
    } cases[] = {
        {"hidden, the other window below the owner", false, false},
        {"closed, the other window below the owner", false, true},
        {"hidden, the other window above the owner", true, false},
        {"closed, the other window above the owner", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetForegroundWindow(host.get());
        if (c.other_above_owner) {
            SetWindowPos(other.window(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        ASSERT_EQ(GetActiveWindow(), host.get());
        ASSERT_EQ(Above(other.window(), host.get()), c.other_above_owner);
        const int activations_before = Bystander::activations();
        ModalProbe end;
        ArmModalProbe(end, host.get(), WindowOf(dispatch_.Get()), c.closes);
        const Outcome shown = ShowModal(owner_form.Get());
        g_probe = nullptr;
        EXPECT_EQ(shown.hr, S_OK) << shown.error_description;
        ASSERT_TRUE(end.ran) << "Show 1 returned before the form was hidden or closed";
        EXPECT_FALSE(end.owner_enabled_during);
        if (!c.other_above_owner) {
            EXPECT_EQ(end.active_after, host.get()) << "active after the form went: " << end.active_after
                                                    << ", the other window is " << other.window();
            EXPECT_EQ(end.foreground_after, host.get());
            EXPECT_EQ(Bystander::activations(), activations_before) << "the other window was activated";
        }
        Pump(20);
        EXPECT_EQ(GetActiveWindow(), host.get()) << "the other window is " << other.window();
        EXPECT_EQ(GetForegroundWindow(), host.get());
        EXPECT_TRUE(Above(host.get(), other.window())) << "the other window is in front of the owner";
        EXPECT_TRUE(IsWindowEnabled(host.get()));
    }
}

TEST_F(FormMembersTest, PluginConfigurationDataRunsTheIntervalBox) {
    boxes_.Then(TypeAndClick(L"42", IDOK));
    EXPECT_EQ(Call(L"PluginConfigurationData", DISPATCH_METHOD).hr, S_OK);
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].title, L"Plugin: Zorvane Einstellungen");
    EXPECT_TRUE(EditorLoaded());
}

}  // namespace
}  // namespace zorvane::ui::test
