#include "platform/design.h"

#include <algorithm>
#include <set>

namespace {

bool raisesEvents(ControlKind kind)
{
    return kind != ControlKind::openFileDialog;
}

bool windowIsSound(const WindowDesign& window)
{
    if (window.outerWidth <= 0 || window.outerHeight <= 0) {
        return false;
    }
    std::set<std::string_view> names;
    std::vector<std::int32_t> tabIndexes;
    for (const ControlDesign& control : window.controls) {
        if (control.name.empty() || !names.insert(control.name).second) {
            return false;
        }
        if (control.width < 0 || control.height < 0) {
            return false;
        }
        if (control.tabIndex >= 0) {
            tabIndexes.push_back(control.tabIndex);
        }
    }
    std::sort(tabIndexes.begin(), tabIndexes.end());
    for (std::size_t i = 0; i < tabIndexes.size(); ++i) {
        if (tabIndexes[i] != std::int32_t(i)) {
            return false;
        }
    }
    for (const EventBinding& binding : window.bindings) {
        if (std::holds_alternative<std::monostate>(binding.handler)) {
            return false;
        }
        if (binding.source == windowItself) {
            continue;
        }
        const auto control = std::find_if(window.controls.begin(), window.controls.end(),
                                          [&](const ControlDesign& c) { return c.name == binding.source; });
        if (control == window.controls.end() || !raisesEvents(control->kind)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool designIsSound(std::span<const WindowDesign> designs)
{
    if (designs.empty()) {
        return false;
    }
    std::set<std::int32_t> identifiers;
    for (const WindowDesign& window : designs) {
        if (!identifiers.insert(window.identifier).second || !windowIsSound(window)) {
            return false;
        }
    }
    return true;
}
