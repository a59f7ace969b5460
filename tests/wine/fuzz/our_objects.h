#pragma once
// Our objects as a host holds them: which interfaces each kind answers, the references
// the host took, and the error information a failed call of theirs leaves.
#include <windows.h>
#include <oaidl.h>

#include <span>
#include <string>

namespace zorvane::fuzz {

struct NamedIid {
    const char* name;
    IID iid;
};

// Interfaces a host asks for: ours, the host's, system ones and one nobody has. The
// first five are those a plug-in answers, then ISupportErrorInfo and IClassFactory.
std::span<const NamedIid> Iids();
inline constexpr std::size_t kIidIUnknown = 0;
inline constexpr std::size_t kIidClassFactory = 7;

enum class Kind { PlugIn, Factory, Tool, ModuleInfo };

const char* KindName(Kind kind);
// The interfaces each of our objects answers.
bool Answers(Kind kind, REFIID iid);

// One reference the host holds.
struct Held {
    IUnknown* pointer;
    IID iid;
    const char* iid_name;
    Kind kind;
    IUnknown* identity;
};

IUnknown* IdentityOf(IUnknown* object);
ULONG RefCount(IUnknown* object);

// Set before each call, so that error information a call leaves in place shows.
inline constexpr wchar_t kStaleDescription[] = L"stale error information of an earlier call";
bool ClaimsErrorInfo(IUnknown* object, REFIID iid);
// The thread's error information as a call left it: "" when fresh words are there.
std::string ErrorInfoProblem();

std::string Hex(HRESULT hr);

}  // namespace zorvane::fuzz
