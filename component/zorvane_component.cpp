#include "component/zorvane_component.h"

#include "clamp/win32/velt_zorvane.h"
#include "plugin/host_type_library.h"
#include "plugin/own_type_library.h"
#include "plugin/plug_in.h"
#include "plugin/plugin_identity.h"
#include "ui/win32/window_instances.h"

namespace zorvane {
namespace {

using component::ClassEntry;
using component::ObjectEntry;
using component::ObjectKind;

constexpr ClassEntry kClasses[] = {
    {&kPlugInClassId, kPlugInClassName, kPlugInProgId, &__uuidof(_clsVELTPlugIn), &CreatePlugIn},
};

constexpr ObjectEntry kObjects[] = {
    {kPlugInClassName, ObjectKind::PublicClass},
    {L"VELTZorvane", ObjectKind::SharedModule},
    {L"frmZorvane", ObjectKind::Window},
    {L"frmAbout", ObjectKind::Window},
};

void ReleaseModuleState() noexcept {
    velt_zorvane::Release();
    ui::ReleaseWindowInstances();
    ReleaseHostTypeInfo();
    ReleaseOwnTypeInfo();
}

}  // namespace

const component::ComponentDescriptor kZorvaneComponent = {
    .locale = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT),
    .secondary_locale = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT),
    .threading = component::ThreadingModel::Apartment,
    .project_name = kComponentName,
    .title = kComponentName,
    .description = kComponentName,
    .output_file = kComponentName,
    .registration =
        {
            .library_name = kComponentName,
            .library_description = kComponentName,
            .library_id = &kLibraryId,
            .library_locale = LOCALE_NEUTRAL,
            .library_major = kLibraryMajor,
            .library_minor = kLibraryMinor,
            .classes = kClasses,
        },
    .objects = kObjects,
    .keeps_module = &ui::WindowsKeepModule,
    .release_module_state = &ReleaseModuleState,
};

}  // namespace zorvane
