#include "component/zorvane_component.h"

#include "plugin/plug_in.h"
#include "plugin/plugin_identity.h"

namespace zorvane {
namespace {

constexpr component::ClassEntry kClasses[] = {
    {&kPlugInClassId, kPlugInProgId, &CreatePlugIn},
};

}  // namespace

const component::ComponentDescriptor kZorvaneComponent = {
    .name = kComponentName,
    .threading_model = L"Apartment",
    .registration =
        {
            .library_id = &kLibraryId,
            .library_locale = LOCALE_NEUTRAL,
            .library_major = kLibraryMajor,
            .library_minor = kLibraryMinor,
            .classes = kClasses,
        },
};

}  // namespace zorvane
