#pragma once
// Helpers the wizard's page builders share (UnitWizardControls.cpp, UnitWizardAccount.cpp).
#include <QSize>
#include <QString>

namespace wizard_controls {

// A push button's least size on the wizard's pages and in its strip.
inline constexpr QSize ButtonSize{75, 25};

// Names a control (its options travel by that name) and gives it its hint.
template <typename T> T* Named(T* widget, const char* name, const char* hint = nullptr) {
    widget->setObjectName(QLatin1String(name));
    if (hint != nullptr)
        widget->setToolTip(QString::fromUtf8(hint));
    return widget;
}

} // namespace wizard_controls
