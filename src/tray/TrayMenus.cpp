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

void AddSeparator(QMenu* menu, const char* name) {
    QAction* separator = menu->addSeparator();
    separator->setObjectName(QString::fromLatin1(name));
}

void AddEntry(QMenu* menu, QAction* action, const char* name) {
    menu->addAction(CreateActionEntry(action, QString::fromLatin1(name), menu));
}

QAction* AddPlain(QMenu* menu, const char* caption, const char* name) {
    QAction* entry = menu->addAction(QString::fromLatin1(caption));
    entry->setObjectName(QString::fromLatin1(name));
    return entry;
}

QMenu* AddSubmenu(QMenu* menu, const char* caption, const char* name) {
    QMenu* submenu = menu->addMenu(QString::fromLatin1(caption));
    submenu->setObjectName(QString::fromLatin1(name));
    submenu->menuAction()->setObjectName(QString::fromLatin1(name));
    return submenu;
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
    QMenu* menu = tray.Menu;

    tray.Messages = AddSubmenu(menu, "Recent Messages", "PopupMenuTrayMessages");
    tray.Messages->setEnabled(false);
    AddSeparator(menu, "N2");
    AddEntry(menu, actions.ActionCheckNow, "PopupMenuTrayCheckNow");
    AddEntry(menu, actions.ActionStop, "PopupMenuTrayStop");
    AddEntry(menu, actions.ActionMarkAsRead, "PopupMenuTrayResetEmailFlag");
    AddEntry(menu, actions.ActionLastError, "PopupMenuTrayLastError");
    AddEntry(menu, actions.ActionLaunchEmail, "PopupMenuTrayLaunchEmail");
    AddSeparator(menu, "N4");
    AddEntry(menu, actions.ActionEmailCheckingEnabled, "PopupMenuTrayEmailCheckingEnabled");
    tray.Options = AddSubmenu(menu, "Configuration", "PopupMenuTrayOptions");
    tray.OptionsGeneral = AddPlain(tray.Options, "General", "PopupMenuTrayOptionsGeneral");
    tray.OptionsNotification =
        AddPlain(tray.Options, "Notification", "PopupMenuTrayOptionsNotification");
    tray.OptionsEmail = AddPlain(tray.Options, "E-mail Server", "PopupMenuTrayOptionsEmail");
    tray.OptionsEmailOptions =
        AddPlain(tray.Options, "E-mail Options", "PopupMenuTrayOptionsEmailOptions");
    AddSeparator(menu, "N1");
    AddEntry(menu, actions.ActionHelp, "PopupMenuTrayHelp");
    tray.About = AddPlain(menu, "About", "PopupMenuTrayAbout");
    AddSeparator(menu, "N3");
    AddEntry(menu, actions.ActionCloseApp, "PopupMenuTrayClose");
    return tray;
}

TSecondPopupMenu BuildSecondPopupMenu(const TActions& actions, QWidget* parent) {
    TSecondPopupMenu popup;
    popup.Menu = new QMenu(parent);
    popup.Menu->setObjectName(QStringLiteral("PopupMenuTray"));
    QMenu* menu = popup.Menu;

    popup.Messages = AddSubmenu(menu, "Recent Messages", "PopupMenu2Messages");
    popup.Messages->setEnabled(false);
    AddSeparator(menu, "PopupMenu2N2");
    AddEntry(menu, actions.ActionCheckNow, "PopupMenu2CheckNow");
    AddEntry(menu, actions.ActionStop, "PopupMenu2Stop");
    AddEntry(menu, actions.ActionMarkAsRead, "PopupMenu2ResetEmailFlag");
    AddEntry(menu, actions.ActionLastError, "PopupMenu2LastError");
    AddEntry(menu, actions.ActionLaunchEmail, "PopupMenu2LaunchEmail");
    AddSeparator(menu, "PopupMenu2N4");
    AddEntry(menu, actions.ActionEmailCheckingEnabled, "PopupMenu2EmailCheckingEnabled");
    popup.MoreOptions = AddPlain(menu, "More Options", "PopupMenu2MoreOptions");
    AddSeparator(menu, "PopupMenu2N1");
    AddEntry(menu, actions.ActionHelp, "PopupMenu2Help");
    popup.About = AddPlain(menu, "About", "PopupMenu2About");
    AddSeparator(menu, "PopupMenu2N3");
    AddEntry(menu, actions.ActionCloseApp, "PopupMenu2Close");
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
