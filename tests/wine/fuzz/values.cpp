#include "tests/wine/fuzz/values.h"

#include <oleauto.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "tests/wine/fuzz/import_watch.h"
#include "tests/wine/fuzz/journal.h"

namespace zorvane::fuzz {
namespace {

const LONG kLongs[] = {0,    1,     -1,    2,      3,      15,    255,    256,     300,     512,    600,
                       1000, 4470,  6000,  10000,  32767,  -32768, 65535, INT_MAX, INT_MIN, -5,    1440};
const double kDoubles[] = {0.0, 0.5, 1.5, 2.5, -0.5, 300.0, 4470.4, 1e10, -1e10, 1e300, 1e-300, -7.5};
const LONGLONG kLongLongs[] = {0, 1, 300, LLONG_MAX, LLONG_MIN, 1LL << 40, -3};
const VARIANT_BOOL kBools[] = {VARIANT_TRUE, VARIANT_FALSE, 1, 2};
const HRESULT kErrors[] = {DISP_E_PARAMNOTFOUND, E_FAIL, S_OK, static_cast<HRESULT>(0x800A0005)};

const VARTYPE kScalarTypes[] = {VT_I1, VT_I2, VT_I4, VT_I8, VT_UI1, VT_UI2, VT_UI4, VT_UI8, VT_INT, VT_UINT,
                                VT_R4, VT_R8, VT_CY, VT_DECIMAL, VT_BOOL, VT_DATE, VT_ERROR};
// Types no VARIANT may carry: a callee must refuse them, not follow them.
const VARTYPE kJunkTypes[] = {VT_VOID, VT_HRESULT, VT_PTR, VT_LPSTR, VT_LPWSTR, 0x0FFF, VT_BLOB};

const char* TypeName(VARTYPE type) {
    switch (type & VT_TYPEMASK) {
        case VT_EMPTY: return "EMPTY"; case VT_NULL: return "NULL"; case VT_I1: return "I1"; case VT_I2: return "I2";
        case VT_I4: return "I4"; case VT_I8: return "I8"; case VT_UI1: return "UI1"; case VT_UI2: return "UI2";
        case VT_UI4: return "UI4"; case VT_UI8: return "UI8"; case VT_INT: return "INT"; case VT_UINT: return "UINT";
        case VT_R4: return "R4"; case VT_R8: return "R8"; case VT_CY: return "CY"; case VT_DECIMAL: return "DECIMAL";
        case VT_BOOL: return "BOOL"; case VT_DATE: return "DATE"; case VT_BSTR: return "BSTR";
        case VT_DISPATCH: return "DISPATCH"; case VT_UNKNOWN: return "UNKNOWN"; case VT_ERROR: return "ERROR";
        case VT_VARIANT: return "VARIANT";
        default: return "?";
    }
}

}  // namespace

ArgPack::~ArgPack() {
    if (cookie_ != 0) GivenMemory::Close(cookie_);
    for (IUnknown* object : objects_) object->Release();
    for (HostObject* object : host_objects_) sources_.objects.Hold(*object, -1);
    for (BSTR text : texts_) SysFreeString(text);
    for (SAFEARRAY* array : arrays_) SafeArrayDestroy(array);
}

void ArgPack::MakeScalar(VARTYPE type, void* at, std::string& text) {
    Random& random = sources_.random;
    const LONG number = random.Chance(90) ? random.Pick(kLongs) : static_cast<LONG>(random.Bits());
    double real = random.Pick(kDoubles);
    if (random.Chance(4)) real = std::numeric_limits<double>::quiet_NaN();
    if (random.Chance(3)) real = std::numeric_limits<double>::infinity();
    const LONGLONG wide = random.Pick(kLongLongs);
    switch (type) {
        case VT_I1: *static_cast<signed char*>(at) = static_cast<signed char>(number); text = Format("%d", static_cast<signed char>(number)); break;
        case VT_UI1: *static_cast<BYTE*>(at) = static_cast<BYTE>(number); text = Format("%u", static_cast<BYTE>(number)); break;
        case VT_I2: *static_cast<SHORT*>(at) = static_cast<SHORT>(number); text = Format("%d", static_cast<SHORT>(number)); break;
        case VT_UI2: *static_cast<USHORT*>(at) = static_cast<USHORT>(number); text = Format("%u", static_cast<USHORT>(number)); break;
        case VT_BOOL: {
            const VARIANT_BOOL value = random.Pick(kBools);
            *static_cast<VARIANT_BOOL*>(at) = value;
            text = Format("%d", value);
            break;
        }
        case VT_I4: case VT_INT: *static_cast<LONG*>(at) = number; text = Format("%ld", number); break;
        case VT_UI4: case VT_UINT: *static_cast<ULONG*>(at) = static_cast<ULONG>(number); text = Format("%lu", static_cast<ULONG>(number)); break;
        case VT_ERROR: {
            const HRESULT code = random.Pick(kErrors);
            *static_cast<SCODE*>(at) = code;
            text = Format("0x%08lX", static_cast<unsigned long>(code));
            break;
        }
        case VT_R4: *static_cast<float*>(at) = static_cast<float>(real); text = Format("%g", real); break;
        case VT_R8: *static_cast<double*>(at) = real; text = Format("%g", real); break;
        case VT_DATE: *static_cast<DATE*>(at) = real; text = Format("%g", real); break;
        case VT_I8: *static_cast<LONGLONG*>(at) = wide; text = Format("%lld", wide); break;
        case VT_UI8: *static_cast<ULONGLONG*>(at) = static_cast<ULONGLONG>(wide); text = Format("%llu", static_cast<ULONGLONG>(wide)); break;
        case VT_CY: static_cast<CY*>(at)->int64 = wide; text = Format("%lld/10000", wide); break;
        case VT_DECIMAL: {
            DECIMAL decimal{};
            const double from = std::isfinite(real) && std::fabs(real) < 1e25 ? real : 300.5;
            VarDecFromR8(from, &decimal);
            std::memcpy(at, &decimal, sizeof decimal);
            text = Format("%g", from);
            break;
        }
        default: break;
    }
}

BSTR ArgPack::MakeText(std::string& text) {
    Random& random = sources_.random;
    std::wstring value;
    bool null = false;
    switch (random.Below(22)) {
        case 0: value = L""; break;
        case 1: null = true; break;
        case 2: value = L"0"; break;
        case 3: value = L"1"; break;
        case 4: value = L"2"; break;
        case 5: value = L"300"; break;
        case 6: value = L"-1"; break;
        case 7: value = std::wstring(L"1") + sources_.decimal + L"5"; break;
        case 8: value = L"99999999999"; break;
        case 9: value = L"abc"; break;
        case 10: value = L"Zorvane"; break;
        case 11: value = L"Kan\u00E4le"; break;
        case 12: value = L" 7 "; break;
        case 13: value = L"&H10"; break;
        case 14: value = L"1e3"; break;
        case 15: value.assign(65536, L'x'); break;
        case 16: value.assign(4096, L'9'); break;
        case 17: value = L"\xD800"; break;                // a lone high surrogate
        case 18: value = L"a\xDC00" L"b\xD800"; break;     // surrogates the wrong way round
        case 19: value.assign(L"5\0" L"7", 3); break;      // a NUL inside
        case 20: value = L"True"; break;
        default: {
            const std::size_t length = 1 + random.Below(8);
            for (std::size_t i = 0; i < length; ++i) value += static_cast<wchar_t>(1 + random.Below(0xFFFE));
            break;
        }
    }
    if (null) {
        text = "null";
        return nullptr;
    }
    text = Format("\"%s\"", Printable(value).c_str());
    BSTR made = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    texts_.push_back(made);
    return made;
}

SAFEARRAY* ArgPack::MakeArray(std::string& text) {
    Random& random = sources_.random;
    SAFEARRAY* array = nullptr;
    switch (random.Below(6)) {
        case 0: {
            array = SafeArrayCreateVector(VT_I4, 0, 3);
            LONG values[] = {1, 300, -5};
            for (LONG i = 0; i < 3; ++i) SafeArrayPutElement(array, &i, &values[i]);
            text = "I4[3]";
            break;
        }
        case 1: {
            array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
            VARIANT item;
            V_VT(&item) = VT_I4;
            V_I4(&item) = 300;
            LONG index = 0;
            SafeArrayPutElement(array, &index, &item);
            V_VT(&item) = VT_BSTR;
            V_BSTR(&item) = SysAllocString(L"5");
            index = 1;
            SafeArrayPutElement(array, &index, &item);
            VariantClear(&item);
            text = "VARIANT[2]";
            break;
        }
        case 2: {
            array = SafeArrayCreateVector(VT_BSTR, 0, 2);
            const wchar_t* values[] = {L"5", L"abc"};
            for (LONG i = 0; i < 2; ++i) {
                BSTR item = SysAllocString(values[i]);
                SafeArrayPutElement(array, &i, item);
                SysFreeString(item);
            }
            text = "BSTR[2]";
            break;
        }
        case 3: {
            SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 1}};
            array = SafeArrayCreate(VT_I4, 2, bounds);
            text = "I4[2][2]";
            break;
        }
        case 4:
            array = SafeArrayCreateVector(VT_I4, 0, 0);
            text = "I4[0]";
            break;
        default:
            text = "null array";
            return nullptr;
    }
    if (array != nullptr) arrays_.push_back(array);
    return array;
}

IUnknown* ArgPack::MakeObject(std::string& text) {
    Random& random = sources_.random;
    const unsigned pick = random.Below(100);
    if (pick < 22) {
        text = "null";
        return nullptr;
    }
    IUnknown* object = nullptr;
    if (pick < 40 && !sources_.ours.empty()) {
        object = sources_.ours[random.Below(sources_.ours.size())];
        text = "ours";
    } else {
        HostObject& host = sources_.objects.at(random.Below(sources_.objects.size()));
        sources_.objects.Hold(host, 1);
        host_objects_.push_back(&host);
        object = static_cast<IDispatch*>(&host);
        text = host.Name();
    }
    object->AddRef();
    objects_.push_back(object);
    return object;
}

void ArgPack::MakeAny(VARIANT& value, std::string& text, int depth) {
    Random& random = sources_.random;
    VariantInit(&value);
    static const unsigned kWeights[] = {38, 14, 10, 10, 5, 13, 7, 3};
    switch (random.Weighted(kWeights)) {
        case 0: {  // a number by value
            const VARTYPE type = random.Pick(kScalarTypes);
            std::string number;
            if (type == VT_DECIMAL) {
                MakeScalar(type, &value, number);
            } else {
                MakeScalar(type, &V_I4(&value), number);
            }
            V_VT(&value) = type;
            text = Format("%s %s", TypeName(type), number.c_str());
            break;
        }
        case 1: {
            std::string words;
            V_VT(&value) = VT_BSTR;
            V_BSTR(&value) = MakeText(words);
            text = "BSTR " + words;
            break;
        }
        case 2: {
            const bool dispatch = random.Chance(70);
            std::string which;
            V_VT(&value) = dispatch ? VT_DISPATCH : VT_UNKNOWN;
            V_UNKNOWN(&value) = MakeObject(which);
            text = Format("%s %s", dispatch ? "DISPATCH" : "UNKNOWN", which.c_str());
            break;
        }
        case 3:
            switch (random.Below(3)) {
                case 0: text = "EMPTY"; break;
                case 1: V_VT(&value) = VT_NULL; text = "NULL"; break;
                default:
                    V_VT(&value) = VT_ERROR;
                    V_ERROR(&value) = DISP_E_PARAMNOTFOUND;
                    text = "missing";
                    break;
            }
            break;
        case 4: {
            std::string shape;
            SAFEARRAY* array = MakeArray(shape);
            V_VT(&value) = VT_ARRAY | (shape.rfind("VARIANT", 0) == 0 ? VT_VARIANT : shape.rfind("BSTR", 0) == 0 ? VT_BSTR : VT_I4);
            V_ARRAY(&value) = array;
            text = "ARRAY " + shape;
            break;
        }
        case 5: {  // a value by reference; a reference to nothing now and then
            const bool nowhere = random.Chance(25);
            const unsigned kind = random.Below(4);
            VARTYPE type = VT_I4;
            std::string inside;
            void* target = nullptr;
            if (kind == 0) {
                type = random.Pick(kScalarTypes);
                scalars_.emplace_back();
                target = scalars_.back().bytes;
                std::memset(target, 0, sizeof(Scalar));
                MakeScalar(type, target, inside);
            } else if (kind == 1) {
                type = VT_BSTR;
                text_slots_.push_back(MakeText(inside));
                target = &text_slots_.back();
            } else if (kind == 2) {
                type = random.Chance(70) ? VT_DISPATCH : VT_UNKNOWN;
                object_slots_.push_back(MakeObject(inside));
                target = &object_slots_.back();
            } else {
                std::string shape;
                array_slots_.push_back(MakeArray(shape));
                type = VT_ARRAY | VT_I4;
                if (shape.rfind("VARIANT", 0) == 0) type = VT_ARRAY | VT_VARIANT;
                if (shape.rfind("BSTR", 0) == 0) type = VT_ARRAY | VT_BSTR;
                inside = shape;
                target = &array_slots_.back();
            }
            V_VT(&value) = type | VT_BYREF;
            V_BYREF(&value) = nowhere ? nullptr : target;
            text = nowhere ? Format("BYREF %s%s -> nowhere", (type & VT_ARRAY) ? "ARRAY " : "", TypeName(type))
                           : Format("BYREF %s%s -> %s", (type & VT_ARRAY) ? "ARRAY " : "", TypeName(type), inside.c_str());
            break;
        }
        case 6: {  // VT_VARIANT by reference, one level deep (two now and then)
            V_VT(&value) = VT_VARIANT | VT_BYREF;
            if (random.Chance(20)) {
                V_VARIANTREF(&value) = nullptr;
                text = "VARIANT& -> nowhere";
                break;
            }
            inner_.emplace_back();
            VARIANT& inner = inner_.back();
            std::string inside;
            if (depth < 1) {
                MakeAny(inner, inside, depth + 1);
            } else {
                MakeAny(inner, inside, depth + 1);
                if (V_VT(&inner) == (VT_VARIANT | VT_BYREF)) {  // no third level
                    VariantInit(&inner);
                    inside = "EMPTY";
                }
            }
            V_VARIANTREF(&value) = &inner;
            text = "VARIANT& -> " + inside;
            break;
        }
        default: {
            const VARTYPE type = random.Pick(kJunkTypes);
            V_VT(&value) = type;
            text = Format("vt 0x%04X", type);
            break;
        }
    }
}

void ArgPack::MakeWanted(Want want, VARIANT& value, std::string& text) {
    Random& random = sources_.random;
    VariantInit(&value);
    switch (want) {
        case Want::Long: {
            const unsigned way = random.Below(10);
            const LONG number = random.Pick(kLongs);
            if (way < 6) {
                V_VT(&value) = VT_I4;
                V_I4(&value) = number;
                text = Format("I4 %ld", number);
            } else if (way < 7) {
                V_VT(&value) = VT_I2;
                V_I2(&value) = static_cast<SHORT>(number);
                text = Format("I2 %d", V_I2(&value));
            } else if (way < 8) {
                texts_.push_back(SysAllocString(std::to_wstring(number).c_str()));
                V_VT(&value) = VT_BSTR;
                V_BSTR(&value) = texts_.back();
                text = Format("BSTR \"%ld\"", number);
            } else if (way < 9) {
                scalars_.emplace_back();
                *reinterpret_cast<LONG*>(scalars_.back().bytes) = number;
                V_VT(&value) = VT_I4 | VT_BYREF;
                V_I4REF(&value) = reinterpret_cast<LONG*>(scalars_.back().bytes);
                text = Format("BYREF I4 -> %ld", number);
            } else {
                inner_.emplace_back();
                V_VT(&inner_.back()) = VT_I4;
                V_I4(&inner_.back()) = number;
                V_VT(&value) = VT_VARIANT | VT_BYREF;
                V_VARIANTREF(&value) = &inner_.back();
                text = Format("VARIANT& -> I4 %ld", number);
            }
            break;
        }
        case Want::Bool: {
            const bool yes = random.Chance(60);
            if (random.Chance(70)) {
                V_VT(&value) = VT_BOOL;
                V_BOOL(&value) = yes ? VARIANT_TRUE : VARIANT_FALSE;
                text = yes ? "BOOL true" : "BOOL false";
            } else {
                V_VT(&value) = VT_I4;
                V_I4(&value) = yes ? -1 : 0;
                text = yes ? "I4 -1" : "I4 0";
            }
            break;
        }
        case Want::Text: {
            std::string words;
            V_VT(&value) = VT_BSTR;
            V_BSTR(&value) = MakeText(words);
            text = "BSTR " + words;
            break;
        }
        case Want::Object: {
            std::string which;
            V_VT(&value) = VT_DISPATCH;
            V_DISPATCH(&value) = static_cast<IDispatch*>(MakeObject(which));
            text = "DISPATCH " + which;
            break;
        }
        case Want::ModalStyle: {
            const bool modal = random.Chance(25);
            V_VT(&value) = VT_I4;
            V_I4(&value) = modal ? 1 : 0;
            text = Format("I4 %d", modal ? 1 : 0);
            break;
        }
        case Want::Owner: {
            if (random.Chance(50) && !sources_.windows.empty()) {
                const LONG window = sources_.windows[random.Below(sources_.windows.size())];
                V_VT(&value) = VT_I4;
                V_I4(&value) = window;
                text = Format("I4 window 0x%lX", static_cast<unsigned long>(window));
            } else {
                std::string which;
                V_VT(&value) = VT_DISPATCH;
                V_DISPATCH(&value) = static_cast<IDispatch*>(MakeObject(which));
                text = "DISPATCH " + which;
            }
            break;
        }
        case Want::Any:
            MakeAny(value, text, 0);
            break;
    }
}

void ArgPack::AddAny(int depth) {
    Entry argument;
    MakeAny(argument.value, argument.text, depth);
    arguments_.push_back(std::move(argument));
}

void ArgPack::AddWanted(Want want) {
    Entry argument;
    MakeWanted(want, argument.value, argument.text);
    arguments_.push_back(std::move(argument));
}

void ArgPack::AddMissing() {
    Entry argument;
    V_VT(&argument.value) = VT_ERROR;
    V_ERROR(&argument.value) = DISP_E_PARAMNOTFOUND;
    argument.text = "missing";
    arguments_.push_back(std::move(argument));
}

void ArgPack::AddMissingByReference() {
    inner_.emplace_back();
    VARIANT& missing = inner_.back();
    V_VT(&missing) = VT_ERROR;
    V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
    Entry argument;
    V_VT(&argument.value) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&argument.value) = &missing;
    argument.text = "VARIANT& -> missing";
    arguments_.push_back(std::move(argument));
}

void ArgPack::AddValue(const VARIANT& value, std::string text) {
    Entry argument;
    argument.value = value;
    argument.text = std::move(text);
    arguments_.push_back(std::move(argument));
}

void ArgPack::Name(std::size_t argument, DISPID id) { arguments_[argument].named = id; }

std::size_t ArgPack::named_count() const noexcept {
    std::size_t named = 0;
    for (const Entry& argument : arguments_) named += argument.named != DISPID_UNKNOWN ? 1 : 0;
    return named;
}

std::size_t ArgPack::IndexOf(std::size_t argument) const noexcept {
    // Named ones first, in the order given; then the positional ones, last first.
    std::size_t index = 0;
    if (arguments_[argument].named != DISPID_UNKNOWN) {
        for (std::size_t i = 0; i < argument; ++i) index += arguments_[i].named != DISPID_UNKNOWN ? 1 : 0;
        return index;
    }
    const std::size_t named = named_count();
    std::size_t positional_after = 0;
    for (std::size_t i = argument + 1; i < arguments_.size(); ++i) {
        positional_after += arguments_[i].named == DISPID_UNKNOWN ? 1 : 0;
    }
    return named + positional_after;
}

const VARIANT& ArgPack::Argument(std::size_t argument) const noexcept { return arguments_[argument].value; }

void ArgPack::Snap(const void* at, std::size_t size, std::string what) {
    if (at == nullptr || size == 0) return;
    Region region;
    region.at = at;
    region.bytes.assign(static_cast<const unsigned char*>(at), static_cast<const unsigned char*>(at) + size);
    region.what = std::move(what);
    regions_.push_back(std::move(region));
}

void ArgPack::SnapText(BSTR text, const std::string& what) {
    if (text == nullptr) return;
    // The length in front, the characters and the terminator.
    Snap(reinterpret_cast<const unsigned char*>(text) - sizeof(UINT), sizeof(UINT) + SysStringByteLen(text) + sizeof(wchar_t),
         what);
    GivenMemory::AddText(cookie_, text, what);
}

void ArgPack::SnapArray(SAFEARRAY* array, const std::string& what) {
    if (array == nullptr) return;
    Snap(array, sizeof(SAFEARRAY) + (array->cDims - 1) * sizeof(SAFEARRAYBOUND), what + " (descriptor)");
    std::size_t elements = 1;
    for (USHORT d = 0; d < array->cDims; ++d) elements *= array->rgsabound[d].cElements;
    Snap(array->pvData, elements * array->cbElements, what + " (data)");
    GivenMemory::AddArray(cookie_, array, what);
    VARTYPE type = VT_EMPTY;
    SafeArrayGetVartype(array, &type);
    if (type == VT_BSTR) {
        auto* items = static_cast<BSTR*>(array->pvData);
        for (std::size_t i = 0; i < elements; ++i) SnapText(items[i], what + Format(" text %zu", i));
    }
}

void ArgPack::Seal() {
    if (sealed_) return;
    sealed_ = true;
    for (const Entry& argument : arguments_) {
        if (argument.named != DISPID_UNKNOWN) {
            rgvarg_.push_back(argument.value);
            names_.push_back(argument.named);
        }
    }
    for (auto it = arguments_.rbegin(); it != arguments_.rend(); ++it) {
        if (it->named == DISPID_UNKNOWN) rgvarg_.push_back(it->value);
    }
    const UINT count = static_cast<UINT>(rgvarg_.size());
    const UINT named = static_cast<UINT>(names_.size());
    // Room beyond the end, so that a callee reading past cArgs reads nothing harmful.
    for (int pad = 0; pad < 2; ++pad) {
        VARIANT empty;
        VariantInit(&empty);
        rgvarg_.push_back(empty);
        names_.push_back(DISPID_UNKNOWN);
    }
    params_.rgvarg = rgvarg_.data();
    params_.cArgs = count;
    params_.rgdispidNamedArgs = named > 0 ? names_.data() : nullptr;
    params_.cNamedArgs = named;
    switch (shape_) {
        case ParamsShape::NullArguments:
            params_.rgvarg = nullptr;
            if (params_.cArgs == 0) params_.cArgs = 1;
            break;
        case ParamsShape::NullNames:
            params_.rgdispidNamedArgs = nullptr;
            if (params_.cNamedArgs == 0) params_.cNamedArgs = 1;
            if (params_.cArgs < params_.cNamedArgs) params_.cArgs = params_.cNamedArgs;
            break;
        case ParamsShape::MoreNamesThanArguments:
            params_.cNamedArgs = count + 1;
            params_.rgdispidNamedArgs = names_.data();
            break;
        default: break;
    }

    cookie_ = GivenMemory::Open();
    Snap(rgvarg_.data(), rgvarg_.size() * sizeof(VARIANT), "rgvarg");
    GivenMemory::AddRange(cookie_, rgvarg_.data(), rgvarg_.size() * sizeof(VARIANT), "rgvarg");
    Snap(names_.data(), names_.size() * sizeof(DISPID), "rgdispidNamedArgs");
    for (std::size_t i = 0; i < inner_.size(); ++i) {
        const std::string what = Format("VARIANT behind a reference (%zu)", i);
        Snap(&inner_[i], sizeof(VARIANT), what);
        GivenMemory::AddRange(cookie_, &inner_[i], sizeof(VARIANT), what);
    }
    for (std::size_t i = 0; i < scalars_.size(); ++i) {
        const std::string what = Format("value behind a reference (%zu)", i);
        Snap(scalars_[i].bytes, sizeof(Scalar), what);
        GivenMemory::AddRange(cookie_, scalars_[i].bytes, sizeof(Scalar), what);
    }
    for (std::size_t i = 0; i < object_slots_.size(); ++i) {
        Snap(&object_slots_[i], sizeof(IUnknown*), Format("object behind a reference (%zu)", i));
    }
    for (std::size_t i = 0; i < text_slots_.size(); ++i) {
        Snap(&text_slots_[i], sizeof(BSTR), Format("BSTR behind a reference (%zu)", i));
    }
    for (std::size_t i = 0; i < array_slots_.size(); ++i) {
        Snap(&array_slots_[i], sizeof(SAFEARRAY*), Format("array behind a reference (%zu)", i));
    }
    for (std::size_t i = 0; i < texts_.size(); ++i) SnapText(texts_[i], Format("text %zu", i));
    for (std::size_t i = 0; i < arrays_.size(); ++i) SnapArray(arrays_[i], Format("array %zu", i));
}

DISPPARAMS* ArgPack::params() noexcept { return shape_ == ParamsShape::Null ? nullptr : &params_; }

std::string ArgPack::Changes() const {
    std::string changes;
    int reported = 0;
    for (const Region& region : regions_) {
        const auto* now = static_cast<const unsigned char*>(region.at);
        for (std::size_t i = 0; i < region.bytes.size(); ++i) {
            if (now[i] != region.bytes[i]) {
                if (reported++ < 4) changes += Format(" %s changed at byte %zu;", region.what.c_str(), i);
                break;
            }
        }
    }
    return changes;
}

std::string ArgPack::Describe() const {
    std::string text = "(";
    for (std::size_t i = 0; i < arguments_.size(); ++i) {
        if (i > 0) text += ", ";
        if (arguments_[i].named != DISPID_UNKNOWN) text += Format("[%ld] ", arguments_[i].named);
        text += arguments_[i].text;
    }
    text += ")";
    switch (shape_) {
        case ParamsShape::Null: return "DISPPARAMS null";
        case ParamsShape::NullArguments: text += " rgvarg null"; break;
        case ParamsShape::NullNames: text += " rgdispidNamedArgs null"; break;
        case ParamsShape::MoreNamesThanArguments: text += " cNamedArgs > cArgs"; break;
        default: break;
    }
    return text;
}

}  // namespace zorvane::fuzz
