#include "tray/TrayMenus.h"

#include "tray/ActionEntry.h"
#include "tray/MarginMenu.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

// Folders and executable files; with SetProgramsOnly(false), every file.
class TProgramsOnly : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void SetProgramsOnly(bool programsOnly) {
        ProgramsOnly = programsOnly;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        if (!ProgramsOnly)
            return true;
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (files == nullptr)
            return true;
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        return info.isDir() || info.isExecutable();
    }

private:
    bool ProgramsOnly = true;
};

void AddSeparator(QMenu* menu, const QString& name) {
    QAction* separator = menu->addSeparator();
    separator->setObjectName(name);
}

QAction* AddPlain(QMenu* menu, const char* caption, const QString& name) {
    QAction* entry = menu->addAction(QString::fromLatin1(caption));
    entry->setObjectName(name);
    return entry;
}

QMenu* AddSubmenu(QMenu* menu, const char* caption, const QString& name) {
    QMenu* submenu = menu->addMenu(QString::fromLatin1(caption));
    submenu->setObjectName(name);
    submenu->menuAction()->setObjectName(name);
    return submenu;
}

struct TPopupEntries {
    QMenu* Messages = nullptr;
    QAction* About = nullptr;
};

// The entries both popup menus show, top to bottom, each named with the menu's prefix; the
// part between "Enable E-mail Checking" and Help is the menu's own (addOwnPart).
TPopupEntries AddPopupEntries(QMenu* menu, const TActions& actions, const QString& prefix,
                              const QString& separatorPrefix,
                              const std::function<void()>& addOwnPart) {
    const auto addEntry = [&](QAction* action, const char* name) {
        menu->addAction(CreateActionEntry(action, prefix + QLatin1String(name), menu));
    };
    const auto addSeparator = [&](const char* name) {
        AddSeparator(menu, separatorPrefix + QLatin1String(name));
    };
    TPopupEntries entries;
    entries.Messages = AddSubmenu(menu, "Recent Messages", prefix + QLatin1String("Messages"));
    entries.Messages->setEnabled(false);
    addSeparator("N2");
    addEntry(actions.ActionCheckNow, "CheckNow");
    addEntry(actions.ActionStop, "Stop");
    addEntry(actions.ActionMarkAsRead, "ResetEmailFlag");
    addEntry(actions.ActionLastError, "LastError");
    addEntry(actions.ActionLaunchEmail, "LaunchEmail");
    addSeparator("N4");
    addEntry(actions.ActionEmailCheckingEnabled, "EmailCheckingEnabled");
    addOwnPart();
    addSeparator("N1");
    addEntry(actions.ActionHelp, "Help");
    entries.About = AddPlain(menu, "About", prefix + QLatin1String("About"));
    addSeparator("N3");
    addEntry(actions.ActionCloseApp, "Close");
    return entries;
}

TBrowseEmailClientHook& BrowseHook() {
    static TBrowseEmailClientHook hook;
    return hook;
}

} // namespace

TTrayMenu BuildTrayMenu(const TActions& actions, QWidget* parent) {
    TTrayMenu tray;
    tray.Menu = new TMarginMenu(parent);
    tray.Menu->setObjectName(QStringLiteral("RxPopupMenuTray"));
    const QString prefix = QStringLiteral("PopupMenuTray");
    const TPopupEntries entries =
        AddPopupEntries(tray.Menu, actions, prefix, QString(), [&tray, &prefix] {
            tray.Options =
                AddSubmenu(tray.Menu, "Configuration", prefix + QLatin1String("Options"));
            const auto addOption = [&](const char* caption, const char* name) {
                return AddPlain(tray.Options, caption, prefix + QLatin1String(name));
            };
            tray.OptionsGeneral = addOption("General", "OptionsGeneral");
            tray.OptionsNotification = addOption("Notification", "OptionsNotification");
            tray.OptionsEmail = addOption("E-mail Server", "OptionsEmail");
            tray.OptionsEmailOptions = addOption("E-mail Options", "OptionsEmailOptions");
        });
    tray.Messages = entries.Messages;
    tray.About = entries.About;
    return tray;
}

TSecondPopupMenu BuildSecondPopupMenu(const TActions& actions, QWidget* parent) {
    TSecondPopupMenu popup;
    popup.Menu = new QMenu(parent);
    popup.Menu->setObjectName(QStringLiteral("PopupMenuTray"));
    const QString prefix = QStringLiteral("PopupMenu2");
    const TPopupEntries entries = AddPopupEntries(popup.Menu, actions, prefix, prefix, [&] {
        popup.MoreOptions =
            AddPlain(popup.Menu, "More Options", prefix + QLatin1String("MoreOptions"));
    });
    popup.Messages = entries.Messages;
    popup.About = entries.About;
    return popup;
}

QToolBar* BuildMainToolBar(const TActions& actions, QWidget* parent) {
    auto* toolBar = new QToolBar(parent);
    toolBar->setObjectName(QStringLiteral("ToolBarMain"));
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setIconSize(QSize(16, 16));
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const std::pair<QAction*, const char*> buttons[] = {
        {actions.ActionCheckNow, "ToolButtonCheckNow"},
        {actions.ActionStop, "ToolButtonStop"},
        {actions.ActionLastError, "ToolButtonLastError"},
        {actions.ActionMarkAsRead, "ToolButtonMarkAsRead"},
        {actions.ActionLaunchEmail, "ToolButtonLaunchEmail"},
    };
    for (const auto& [action, name] : buttons) {
        toolBar->addAction(action);
        QWidget* button = toolBar->widgetForAction(action);
        button->setObjectName(QString::fromLatin1(name));
        // 74 by 36 pixels at least, wider or higher where the caption needs it.
        button->setMinimumSize(74, 36);
        if (auto* toolButton = qobject_cast<QToolButton*>(button))
            toolButton->setAutoRaise(true);
    }
    return toolBar;
}

void SetBrowseEmailClientHook(TBrowseEmailClientHook hook) {
    BrowseHook() = std::move(hook);
}

QFileDialog* CreateEmailClientDialog(QWidget* parent, const QString& currentPath) {
    // Qt's own dialog, because only it can list executable files alone: on
    // this system programs have no common file name extension.
    auto* dialog = new QFileDialog(parent, QStringLiteral("Select E-mail client application"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    const QString programs = QStringLiteral("Programs  (*)");
    const QString allFiles = QStringLiteral("All files (*)");
    dialog->setNameFilters({programs, allFiles});
    // The programs are picked by a proxy: with the file model's own executable filter
    // (QDir::Executable) the dialog lists no file at all.
    auto* proxy = new TProgramsOnly(dialog);
    dialog->setProxyModel(proxy);
    dialog->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDot);
    QObject::connect(
        dialog, &QFileDialog::filterSelected, proxy,
        [proxy, programs](const QString& filter) { proxy->SetProgramsOnly(filter == programs); });
    if (!currentPath.isEmpty()) {
        const QFileInfo current(currentPath);
        dialog->setDirectory(current.absolutePath());
        if (current.isFile())
            dialog->selectFile(current.fileName());
    }
    return dialog;
}

QString BrowseForEmailClient(QWidget* parent, const QString& currentPath) {
    if (BrowseHook())
        return BrowseHook()(currentPath);
    if (qEnvironmentVariableIntValue("TALVORO_HEADLESS_DIALOGS") == 1)
        return QString();
    const std::unique_ptr<QFileDialog> dialog(CreateEmailClientDialog(parent, currentPath));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return QString();
    return dialog->selectedFiles().front();
}
