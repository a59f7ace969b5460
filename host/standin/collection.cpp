#include "host/standin/collection.h"

#include <string>
#include <utility>
#include <vector>

#include "host/standin/host_library.h"
#include "host/standin/variant_text.h"
#include "win/com_error.h"
#include "win/com_object.h"
#include "win/handles.h"
#include "win/type_info_dispatch.h"

namespace zorvane::standin {
namespace {

// The conversion functions leave their source alone but are declared to take it mutable.
VARIANT* Source(const VARIANT& value) { return const_cast<VARIANT*>(&value); }

HRESULT ToText(const VARIANT& value, std::wstring& text) {
    VARIANT converted;
    VariantInit(&converted);
    const HRESULT hr = VariantChangeType(&converted, Source(value), 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    text.assign(V_BSTR(&converted), SysStringLen(V_BSTR(&converted)));
    VariantClear(&converted);
    return S_OK;
}

bool Omitted(const VARIANT* value) {
    return value == nullptr || (V_VT(value) == VT_ERROR && V_ERROR(value) == DISP_E_PARAMNOTFOUND);
}

// An optional argument as recorded. A null pointer is no way to leave one out (an
// automation caller passes DISP_E_PARAMNOTFOUND), so the record tells the two apart.
std::wstring DescribeOptional(const VARIANT* value) {
    return value == nullptr ? L"<null pointer>" : DescribeVariantWithType(*value);
}

class Collection final
    : public win::ComObject<Collection,
                            win::TypeInfoDispatch<IVELTCollection, HostLibraryTypeInfoOf<IVELTCollection>>,
                            Recorded, VouchesForErrorInfo<IVELTCollection>> {
public:
    explicit Collection(std::shared_ptr<ModuleInfoRecord> record) { set_record(std::move(record)); }

    HRESULT STDMETHODCALLTYPE Add(VARIANT* item, VARIANT* key, VARIANT* before,
                                  VARIANT* after) noexcept override {
        if (item == nullptr) return E_POINTER;
        try {
            HRESULT hr = Record(L"Add " + DescribeVariantWithType(*item) + L", " + DescribeOptional(key) + L", " +
                                DescribeOptional(before) + L", " + DescribeOptional(after));
            if (FAILED(hr)) return hr;
            Entry entry;
            if (!Omitted(key)) {
                hr = ToText(*key, entry.key);
                if (FAILED(hr)) return hr;
                if (Find(entry.key) != entries_.size()) {
                    return win::SetErrorInfoFor(
                        __uuidof(IVELTCollection), MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 457),
                        kErrorSource, L"Dieser Schl\u00FCssel ist bereits einem Element dieser Auflistung zugeordnet.");
                }
            }
            std::size_t position = entries_.size();
            if (!Omitted(before) || !Omitted(after)) {
                const bool is_before = !Omitted(before);
                hr = Position(is_before ? *before : *after, position);
                if (FAILED(hr)) return hr;
                if (!is_before) ++position;
            }
            hr = VariantCopyInd(entry.item.get(), item);
            if (FAILED(hr)) return hr;
            entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(position), std::move(entry));
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) noexcept override {
        if (count == nullptr) return E_POINTER;
        const HRESULT hr = Record(L"get Count");
        if (FAILED(hr)) return hr;
        *count = static_cast<LONG>(entries_.size());
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Item(VARIANT* index, VARIANT* item) noexcept override {
        if (index == nullptr || item == nullptr) return E_POINTER;
        VariantInit(item);
        try {
            HRESULT hr = Record(L"Item " + DescribeVariant(*index));
            if (FAILED(hr)) return hr;
            std::size_t position = 0;
            hr = Position(*index, position);
            if (FAILED(hr)) return hr;
            return VariantCopy(item, entries_[position].item.get());
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

private:
    struct Entry {
        win::Variant item;
        std::wstring key;
    };

    HRESULT Record(std::wstring text) noexcept {
        return RecordCall(record(), __uuidof(IVELTCollection), std::move(text));
    }

    std::size_t Find(const std::wstring& key) const {
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (!entries_[i].key.empty() &&
                CompareStringOrdinal(entries_[i].key.c_str(), -1, key.c_str(), -1, TRUE) == CSTR_EQUAL)
                return i;
        }
        return entries_.size();
    }

    // An entry named by its 1-based position or its key.
    HRESULT Position(const VARIANT& index, std::size_t& position) const {
        const VARIANT* shown = &index;
        if (V_VT(shown) == (VT_VARIANT | VT_BYREF)) shown = V_VARIANTREF(shown);
        if (V_VT(shown) == VT_BSTR || V_VT(shown) == (VT_BSTR | VT_BYREF)) {
            std::wstring key;
            const HRESULT hr = ToText(*shown, key);
            if (FAILED(hr)) return hr;
            position = Find(key);
        } else {
            VARIANT number;
            VariantInit(&number);
            if (FAILED(VariantChangeType(&number, Source(*shown), 0, VT_I4))) return DISP_E_TYPEMISMATCH;
            position = V_I4(&number) >= 1 ? static_cast<std::size_t>(V_I4(&number) - 1) : entries_.size();
        }
        if (position >= entries_.size()) {
            return win::SetErrorInfoFor(__uuidof(IVELTCollection), DISP_E_BADINDEX, kErrorSource,
                                        L"Index au\u00DFerhalb des g\u00FCltigen Bereichs.");
        }
        return S_OK;
    }

    std::vector<Entry> entries_;
};

}  // namespace

Microsoft::WRL::ComPtr<IVELTCollection> MakeCollection(std::shared_ptr<ModuleInfoRecord> record) {
    return win::Make<Collection>(std::move(record));
}

}  // namespace zorvane::standin
