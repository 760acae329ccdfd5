#include "LayoutCheck.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRubberBand>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

namespace {

QString Describe(const QWidget* widget) {
    QString name = widget->objectName();
    if (name.isEmpty()) {
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
            name = QLatin1Char('"') + button->text() + QLatin1Char('"');
        else if (const auto* label = qobject_cast<const QLabel*>(widget))
            name = QLatin1Char('"') + label->text().left(40) + QLatin1Char('"');
        else if (const auto* group = qobject_cast<const QGroupBox*>(widget))
            name = QLatin1Char('"') + group->title() + QLatin1Char('"');
    }
    return QString::fromLatin1(widget->metaObject()->className()) +
           (name.isEmpty() ? QString() : QLatin1Char(' ') + name);
}

QString SizeText(const QSize& size) {
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

// Controls whose children are their own parts, laid out by Qt.
bool IsCompound(const QWidget* widget) {
    return qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
           qobject_cast<const QComboBox*>(widget) != nullptr ||
           qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QAbstractScrollArea*>(widget) != nullptr ||
           qobject_cast<const QAbstractSlider*>(widget) != nullptr ||
           qobject_cast<const QTabBar*>(widget) != nullptr ||
           qobject_cast<const QAbstractButton*>(widget) != nullptr;
}

// Widgets whose size hint is the size their text needs.
bool ShowsText(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return !label->wordWrap() && (!label->text().isEmpty() || !label->pixmap().isNull());
    return qobject_cast<const QAbstractButton*>(widget) != nullptr ||
           qobject_cast<const QTabBar*>(widget) != nullptr;
}

class TChecker {
public:
    explicit TChecker(const QWidget* root) : Root(root) {}

    void Walk(const QWidget* widget) {
        CheckSize(widget);
        if (IsCompound(widget))
            return;
        const QList<const QWidget*> children = ShownChildren(widget);
        CheckChildren(widget, children);
        for (const QWidget* child : children)
            Walk(child);
    }

    QStringList Problems;

private:
    QList<const QWidget*> ShownChildren(const QWidget* parent) const {
        QList<const QWidget*> shown;
        for (const QObject* object : parent->children()) {
            const auto* child = qobject_cast<const QWidget*>(object);
            if (child == nullptr || child->isWindow() || !child->isVisibleTo(Root) ||
                qobject_cast<const QRubberBand*>(child) != nullptr ||
                qobject_cast<const QMenu*>(child) != nullptr)
                continue;
            shown << child;
        }
        return shown;
    }

    void CheckSize(const QWidget* widget) {
        const QSizePolicy policy = widget->sizePolicy();
        const bool checkWidth = policy.horizontalPolicy() != QSizePolicy::Ignored;
        const bool checkHeight = policy.verticalPolicy() != QSizePolicy::Ignored;
        QSize needed = widget->minimumSizeHint();
        if (ShowsText(widget))
            needed = needed.expandedTo(widget->sizeHint());
        const QSize size = widget->size();
        if ((checkWidth && needed.width() > 0 && size.width() < needed.width()) ||
            (checkHeight && needed.height() > 0 && size.height() < needed.height()))
            Problems << Describe(widget) + QStringLiteral(" is ") + SizeText(size) +
                            QStringLiteral(", smaller than the ") + SizeText(needed) +
                            QStringLiteral(" its content needs");

        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            if (label->wordWrap() && checkHeight && !label->text().isEmpty()) {
                const int height = label->heightForWidth(size.width());
                if (height > size.height())
                    Problems << Describe(widget) + QStringLiteral(" is ") +
                                    QString::number(size.height()) +
                                    QStringLiteral(" high, its wrapped text needs ") +
                                    QString::number(height);
            }
        }
        if (const auto* bar = qobject_cast<const QToolBar*>(widget)) {
            for (const QToolButton* button :
                 bar->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly)) {
                if (button->objectName() == QLatin1String("qt_toolbar_ext_button") &&
                    button->isVisibleTo(Root))
                    Problems << Describe(widget) + QStringLiteral(" does not show all its buttons");
            }
        }
    }

    void CheckChildren(const QWidget* parent, const QList<const QWidget*>& children) {
        const QRect inside = parent->rect();
        // A tab widget's bar and page panel meet by design.
        const bool checkOverlap = qobject_cast<const QTabWidget*>(parent) == nullptr;
        for (qsizetype i = 0; i < children.size(); ++i) {
            const QWidget* child = children[i];
            if (child->objectName() == QLatin1String("qt_toolbar_ext_button"))
                continue;
            if (!inside.contains(child->geometry()))
                Problems << Describe(child) + QStringLiteral(" at ") + SizeText(child->size()) +
                                QStringLiteral(" reaches outside ") + Describe(parent);
            if (!checkOverlap)
                continue;
            for (qsizetype j = i + 1; j < children.size(); ++j) {
                const QRect common = child->geometry().intersected(children[j]->geometry());
                if (!common.isEmpty())
                    Problems << Describe(child) + QStringLiteral(" overlaps ") +
                                    Describe(children[j]) + QStringLiteral(" by ") +
                                    SizeText(common.size());
            }
        }
    }

    const QWidget* Root;
};

} // namespace

QStringList LayoutProblems(const QWidget* root) {
    TChecker checker(root);
    checker.Walk(root);
    return checker.Problems;
}
