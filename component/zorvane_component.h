#pragma once
// Zorvane's own description for the component-model layer.
#include "component/component_model.h"

namespace zorvane {

extern const component::ComponentDescriptor kZorvaneComponent;

}  // namespace zorvane
