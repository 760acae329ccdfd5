#include "wizard/UnitWizard.h"

#include "platform/PlatformTexts.h"
#include "platform/RadioGroup.h"
#include "settings/FormPlacement.h"
#include "wizard/WizardPages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>

namespace {

constexpr int ClientWidth = 446;
constexpr int ClientHeight = 284;
constexpr int StripHeight = 41;
constexpr int PageAreaHeight = ClientHeight - StripHeight;
constexpr int HeaderHeight = 26;
constexpr QSize ButtonSize{75, 25};
constexpr QRect LogoPanelRect{0, 0, 129, 137};
constexpr int ContentLeft = 137;

template <typename T> T* Named(T* widget, const char* name, const char* hint = nullptr) {
    widget->setObjectName(QLatin1String(name));
    if (hint != nullptr)
        widget->setToolTip(QString::fromUtf8(hint));
    return widget;
}

QPushButton* StripButton(const char* caption, const char* name, int left, QWidget* parent) {
    auto* button = Named(new QPushButton(QString::fromUtf8(caption), parent), name);
    button->setGeometry(QRect(QPoint(left, PageAreaHeight + 8), ButtonSize));
    return button;
}

// The picture above "&Stop Talking": a speech balloon crossed by a red stop bar.
QPixmap StopTalkingPicture() {
    QPixmap picture(24, 24);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath balloon;
    balloon.addRoundedRect(QRectF(1.5, 2.5, 21, 14), 4, 4);
    balloon.moveTo(6, 16.5);
    balloon.lineTo(5, 22);
    balloon.lineTo(11, 16.5);
    painter.setPen(QPen(QColor(64, 64, 64), 1));
    painter.setBrush(QColor(255, 255, 225));
    painter.drawPath(balloon.simplified());
    painter.setPen(QPen(QColor(200, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(7, 6), QPointF(17, 13));
    painter.drawLine(QPointF(17, 6), QPointF(7, 13));
    return picture;
}

} // namespace

TFormWizard::TFormWizard(IWizardHost& host, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      Host(host) {
    setObjectName(QStringLiteral("FormWizard"));
    setWindowTitle(QStringLiteral("Talvoro Setup Wizard"));
    setModal(true);
    setFixedSize(ClientWidth, ClientHeight);
    // Laid out for an 8-point font, like the main window.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    BuildControls();
    FormCreate();
}

TFormWizard::~TFormWizard() = default;

void TFormWizard::BuildControls() {
    PageManager = Named(new TPageManager(this), "PageManager");
    PageManager->setGeometry(0, 0, ClientWidth, PageAreaHeight);
    const TPageManager::TEnterEvent enter[WizardPageCount] = {
        [this](bool f) { WelcomeEnter(f); },        [this](bool f) { EnableEmailEnter(f); },
        [this](bool f) { AccountOptionsEnter(f); }, [this](bool f) { NotificationEnter(f); },
        [this](bool f) { TimeEnter(f); },           [this](bool f) { StartupEnter(f); },
        [this](bool f) { FinishEnter(f); }};
    for (int i = 0; i < WizardPageCount; ++i) {
        TPageManager::TShowEvent show;
        if (i == FinishPage)
            show = [this] { FinishShow(); };
        PageManager->AddPage(WizardPageInfo(i).Name, BuildPage(i), enter[i], show);
    }
    PageManager->OnGetNextPage = [this](int current, int& target) {
        PageManagerGetNextPage(current, target);
    };
    PageManager->OnGetPriorPage = [this](int current, int& target) {
        PageManagerGetPriorPage(current, target);
    };

    PanelLogo = Named(new QFrame(this), "PanelLogo");
    PanelLogo->setFrameStyle(QFrame::Panel | QFrame::Raised);
    PanelLogo->setGeometry(LogoPanelRect);
    ImageLogo = Named(new QLabel(PanelLogo), "ImageLogo");
    ImageLogo->setAlignment(Qt::AlignCenter);
    ImageLogo->setGeometry(PanelLogo->contentsRect());

    ButtonStopTalking = Named(new QToolButton(this), "ButtonStopTalking");
    ButtonStopTalking->setText(QStringLiteral("&Stop Talking"));
    ButtonStopTalking->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ButtonStopTalking->setIcon(QIcon(StopTalkingPicture()));
    ButtonStopTalking->setIconSize(QSize(24, 24));
    ButtonStopTalking->setGeometry((LogoPanelRect.width() - 75) / 2, LogoPanelRect.bottom() + 14,
                                   75, 57);
    ButtonStopTalking->setEnabled(false);

    BevelButtons = Named(new QFrame(this), "BevelButtons");
    BevelButtons->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    BevelButtons->setGeometry(0, PageAreaHeight, ClientWidth, 2);

    // Back and Next side by side, then Finish, Cancel and Help, right-aligned.
    const int right = ClientWidth - 8;
    const int w = ButtonSize.width();
    WizButtonHelp = StripButton("&Help", "WizButtonHelp", right - w, this);
    WizButtonCancel = StripButton("&Cancel", "WizButtonCancel", right - 2 * w - 6, this);
    ButtonFinish = StripButton("&Finish", "ButtonFinish", right - 3 * w - 12, this);
    WizButtonNext = StripButton("&Next >", "WizButtonNext", right - 4 * w - 20, this);
    WizButtonBack = StripButton("< &Back", "WizButtonBack", right - 5 * w - 20, this);
    ButtonFinish->setDefault(true);
    ButtonFinish->setEnabled(false);
    PageManager->SetButtons(WizButtonBack, WizButtonNext);
    setTabOrder(WizButtonBack, WizButtonNext);
    setTabOrder(WizButtonNext, ButtonFinish);
    setTabOrder(ButtonFinish, WizButtonCancel);
    setTabOrder(WizButtonCancel, WizButtonHelp);

    connect(WizButtonBack, &QPushButton::clicked, this, &TFormWizard::ButtonBackClick);
    connect(WizButtonNext, &QPushButton::clicked, this, &TFormWizard::ButtonNextClick);
    connect(ButtonFinish, &QPushButton::clicked, this, &TFormWizard::ButtonFinishClick);
    connect(WizButtonCancel, &QPushButton::clicked, this, &TFormWizard::WizButtonCancelClick);
    connect(WizButtonHelp, &QPushButton::clicked, this, &TFormWizard::WizButtonHelpClick);
    connect(ButtonStopTalking, &QToolButton::clicked, this, &TFormWizard::ButtonStopTalkingClick);
    connect(ButtonSayTimeTest, &QPushButton::clicked, this, &TFormWizard::ButtonSayTimeTestClick);

    PanelLogo->raise();
    ButtonStopTalking->raise();
}

QWidget* TFormWizard::BuildPage(int index) {
    const TWizardPageInfo& info = WizardPageInfo(index);
    auto* page = new QWidget;

    auto* header = new QLabel(info.Header, page);
    header->setObjectName(QStringLiteral("Header") + info.Name);
    header->setGeometry(0, 0, ClientWidth, HeaderHeight);
    header->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    header->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    header->setTextFormat(Qt::PlainText);
    QFont serif(QStringLiteral("Times New Roman"));
    serif.setStyleHint(QFont::Serif);
    serif.setPixelSize(19);
    header->setFont(serif);
    QPalette palette = header->palette();
    palette.setColor(QPalette::WindowText, QColor(128, 128, 128));
    palette.setColor(QPalette::Window, palette.color(QPalette::Mid).lighter(125));
    header->setPalette(palette);
    header->setAutoFillBackground(true);

    auto* content = new QWidget(page);
    content->setObjectName(QStringLiteral("Content") + info.Name);
    content->setGeometry(ContentLeft, HeaderHeight + 8, ClientWidth - ContentLeft - 10,
                         PageAreaHeight - HeaderHeight - 12);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* text = new QLabel(WizardPageText(index), content);
    text->setObjectName(QStringLiteral("Label") + info.Name);
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(text);

    switch (index) {
    case EnableEmailPage:
        BuildEnableEmailPage(content);
        break;
    case AccountOptionsPage:
        BuildAccountOptionsPage(content);
        break;
    case NotificationPage:
        BuildNotificationPage(content);
        break;
    case TimePage:
        BuildTimePage(content);
        break;
    case StartupPage:
        BuildStartupPage(content);
        break;
    default:
        break;
    }
    layout->addStretch(1);
    return page;
}

void TFormWizard::BuildEnableEmailPage(QWidget* content) {
    CheckBoxEnableEmailCheck =
        Named(new QCheckBox(QStringLiteral("E-mail checking enabled"), content),
              "CheckBoxEnableEmailCheck",
              "Check this to allow periodic e-mail account new message polling");
    content->layout()->addWidget(CheckBoxEnableEmailCheck);
}

void TFormWizard::BuildAccountOptionsPage(QWidget* content) {
    GroupBoxPOP3Account =
        Named(new QGroupBox(QStringLiteral("POP3 Account "), content), "GroupBoxPOP3Account");
    auto* form = new QFormLayout(GroupBoxPOP3Account);
    form->setContentsMargins(8, 2, 8, 4);
    form->setVerticalSpacing(2);
    EditPOP3Server = Named(new QLineEdit(GroupBoxPOP3Account), "EditPOP3Server",
                           "The address of your e-mail server, for example pop.example.com");
    EditPOP3Port = Named(new QLineEdit(GroupBoxPOP3Account), "EditPOP3Port");
    // The port's hint is kept with the field but never shown.
    EditPOP3Port->setStatusTip(QStringLiteral("POP3 e-mail port, usually set to 110"));
    EditPOP3Port->setMaximumWidth(60);
    EditPOP3Account = Named(new QLineEdit(GroupBoxPOP3Account), "EditPOP3Account",
                            "The name used to access your e-mail account");
    EditPOP3Password = Named(new QLineEdit(GroupBoxPOP3Account), "EditPOP3Password",
                             "Password used to access your e-mail account");
    EditPOP3Password->setEchoMode(QLineEdit::Password);
    EditPOP3Password->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // '*'
    form->addRow(QStringLiteral("Server"), EditPOP3Server);
    form->addRow(QStringLiteral("Port"), EditPOP3Port);
    form->addRow(QStringLiteral("Login name"), EditPOP3Account);
    form->addRow(QStringLiteral("Password"), EditPOP3Password);
    content->layout()->addWidget(GroupBoxPOP3Account);

    RadioGroupInternetConnection =
        Named(new platform::TRadioGroup(
                  QStringLiteral("Connection"),
                  {QStringLiteral("Dial-up Networking"), QStringLiteral("Local Area Network")}, 2,
                  content),
              "RadioGroupInternetConnection",
              "If you connect via modem, select Dial-up networking.  Most cable modem users will "
              "select Local Area Network");
    content->layout()->addWidget(RadioGroupInternetConnection);
}

void TFormWizard::BuildNotificationPage(QWidget* content) {
    GroupBoxNotification =
        Named(new QGroupBox(QStringLiteral("Notification"), content), "GroupBoxNotification");
    auto* notification = new QVBoxLayout(GroupBoxNotification);
    notification->setContentsMargins(8, 2, 8, 4);
    notification->setSpacing(2);
    CheckBoxEnableAgent =
        Named(new QCheckBox(platform::PlatformText("Microsoft Agent"), GroupBoxNotification),
              "CheckBoxEnableAgent");
    CheckBoxSoundBeep =
        Named(new QCheckBox(platform::PlatformText("Windows default sound"), GroupBoxNotification),
              "CheckBoxSoundBeep");
    notification->addWidget(CheckBoxEnableAgent);
    notification->addWidget(CheckBoxSoundBeep);
    content->layout()->addWidget(GroupBoxNotification);

    GroupBoxAgentOptions =
        Named(new QGroupBox(QStringLiteral("Agent Options"), content), "GroupBoxAgentOptions");
    auto* options = new QFormLayout(GroupBoxAgentOptions);
    options->setContentsMargins(8, 2, 8, 4);
    EditYourName = Named(new QLineEdit(GroupBoxAgentOptions), "EditYourName",
                         "Agent will speak the name given here. OK to leave blank");
    options->addRow(QStringLiteral("Your Name"), EditYourName);
    // Only carries the main window's character choice through to Finish.
    FileComboBoxAgent = Named(new QComboBox(GroupBoxAgentOptions), "FileComboBoxAgent");
    FileComboBoxAgent->setEditable(true);
    FileComboBoxAgent->setEnabled(false);
    FileComboBoxAgent->setVisible(false);
    content->layout()->addWidget(GroupBoxAgentOptions);
}

void TFormWizard::BuildTimePage(QWidget* content) {
    RadioGroupSayTimeInterval = Named(
        new platform::TRadioGroup(QStringLiteral("Say Time"),
                                  {QStringLiteral("Hourly"), QStringLiteral("Every 15 minutes"),
                                   QStringLiteral("Every 30 minutes"), QStringLiteral("Never")},
                                  2, content),
        "RadioGroupSayTimeInterval");
    content->layout()->addWidget(RadioGroupSayTimeInterval);
    ButtonSayTimeTest =
        Named(new QPushButton(QStringLiteral("Test"), content), "ButtonSayTimeTest");
    ButtonSayTimeTest->setFixedSize(ButtonSize);
    ButtonSayTimeTest->setAutoDefault(false);
    content->layout()->addWidget(ButtonSayTimeTest);
}

void TFormWizard::BuildStartupPage(QWidget* content) {
    CheckBoxStartWithWindows = Named(
        new QCheckBox(platform::PlatformText("Start Automatically at Windows Startup"), content),
        "CheckBoxStartWithWindows");
    content->layout()->addWidget(CheckBoxStartWithWindows);
}

void TFormWizard::FormCreate() {
    Placement = new TFormPlacement(this, Host.Registry(), QStringLiteral("Wizard"));
    if (Host.HighColorDisplay())
        ImageLogo->setPixmap(Host.LogoPixmap());
    else
        ImageLogo->hide();
    CopyOptionsIn();
    // Opening on "Welcome" is not a move: no enter handler runs, the first showing speaks.
    PageManager->SetActivePage(WelcomePage);
}

void TFormWizard::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous() || Shown)
        return;
    Shown = true;
    FormShow();
}

void TFormWizard::FormShow() {
    const bool loaded = Host.AgentLoaded();
    ButtonStopTalking->setEnabled(loaded && Host.EnableAgentChecked());
    ButtonSayTimeTest->setEnabled(loaded);
    RadioGroupSayTimeInterval->setEnabled(loaded);
    GroupBoxAgentOptions->setEnabled(loaded);
    GroupBoxNotification->setEnabled(loaded);
    WizButtonNext->setFocus();

    Host.MyAgentStopAll(false);
    if (loaded && Host.EnableAgentChecked()) {
        for (const QString& text : WizardWelcomeTexts())
            Host.MyAgentSpeak(text, nullptr, false);
    }
}

void TFormWizard::SpeakGuide(int page, QWidget* anchor) {
    Host.MyAgentStopAll(false);
    // The host speaks only under the same condition; asking first keeps the wizard silent
    // whatever host it runs with.
    if (!Host.AgentLoaded() || !Host.EnableAgentChecked())
        return;
    for (const QString& text : WizardPageInfo(page).Guide)
        Host.MyAgentSpeak(text, anchor, false);
}

void TFormWizard::PageManagerGetNextPage(int current, int& target) {
    WizButtonHelp->setEnabled(true);
    switch (current) {
    case EnableEmailPage:
        target = WizardNextPage(current, CheckBoxEnableEmailCheck->isChecked());
        break;
    case AccountOptionsPage: {
        const bool available = Host.DialUpAvailable();
        Host.SetRasAvailable(available);
        if (!available) {
            RadioGroupInternetConnection->SetItemIndex(1);
            RadioGroupInternetConnection->setEnabled(false);
        }
        break;
    }
    case FinishPage:
        WizButtonHelp->setEnabled(false);
        break;
    default:
        break;
    }
}

void TFormWizard::PageManagerGetPriorPage(int current, int& target) {
    WizButtonHelp->setEnabled(true);
    switch (current) {
    case TimePage:
        target = WizardPriorPage(current, CheckBoxEnableEmailCheck->isChecked());
        break;
    case FinishPage:
        WizButtonHelp->setEnabled(false);
        break;
    default:
        break;
    }
}

void TFormWizard::WelcomeEnter(bool) {
    SpeakGuide(WelcomePage, PageManager);
}
void TFormWizard::EnableEmailEnter(bool) {
    SpeakGuide(EnableEmailPage, PageManager);
}
void TFormWizard::AccountOptionsEnter(bool) {
    SpeakGuide(AccountOptionsPage, PageManager);
}
void TFormWizard::NotificationEnter(bool) {
    SpeakGuide(NotificationPage, PageManager);
}
void TFormWizard::TimeEnter(bool) {
    SpeakGuide(TimePage, PageManager);
}
void TFormWizard::StartupEnter(bool) {
    SpeakGuide(StartupPage, PageManager);
}
void TFormWizard::FinishEnter(bool) {
    SpeakGuide(FinishPage, PageManager);
}

void TFormWizard::FinishShow() {
    ButtonFinish->setEnabled(true);
    // Next, disabled here, has handed the focus on to Cancel; Enter must not cancel.
    ButtonFinish->setFocus();
}

void TFormWizard::ButtonBackClick() {
    PageManager->GoBack();
}

void TFormWizard::ButtonNextClick() {
    PageManager->GoNext();
}

void TFormWizard::ButtonFinishClick() {
    Host.MyAgentStopAll(true);
    CopyOptionsOut();
    accept();
}

void TFormWizard::WizButtonCancelClick() {
    Host.MyAgentStopAll(true);
    reject();
}

void TFormWizard::WizButtonHelpClick() {
    const int page = PageManager->ActivePage();
    if (page < 0)
        return;
    const int context = WizardPageInfo(page).HelpContext;
    if (context != 0)
        Host.OpenHelp(context);
}

void TFormWizard::ButtonStopTalkingClick() {
    Host.MyAgentStopAll(false);
}

void TFormWizard::ButtonSayTimeTestClick() {
    Host.SayTime();
}

void TFormWizard::keyPressEvent(QKeyEvent* event) {
    // Escape is the Cancel button, which also silences the character; the close box is not.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        WizButtonCancelClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormWizard::done(int result) {
    std::exception_ptr failure;
    try {
        Placement->Save();
    } catch (...) {
        // The wizard closes all the same; the user hears about the lost position afterwards.
        failure = std::current_exception();
    }
    QDialog::done(result);
    if (failure)
        std::rethrow_exception(failure);
}

QVariant TFormWizard::OptionValue(const QString& name) const {
    QWidget* control = findChild<QWidget*>(name);
    if (auto* box = qobject_cast<QCheckBox*>(control))
        return box->isChecked();
    if (auto* group = qobject_cast<platform::TRadioGroup*>(control))
        return group->ItemIndex();
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->currentText();
    return {};
}

void TFormWizard::SetOptionValue(const QString& name, const QVariant& value) {
    QWidget* control = findChild<QWidget*>(name);
    if (auto* box = qobject_cast<QCheckBox*>(control))
        box->setChecked(value.toBool());
    else if (auto* group = qobject_cast<platform::TRadioGroup*>(control))
        group->SetItemIndex(value.isValid() ? value.toInt() : -1);
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(value.toString());
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setEditText(value.toString());
}

void TFormWizard::CopyOptionsIn() {
    for (const TWizardOption& option : WizardOptions())
        SetOptionValue(option.Name, Host.GetOption(option.Name));
}

void TFormWizard::CopyOptionsOut() {
    for (const TWizardOption& option : WizardOptions())
        Host.SetOption(option.Name, OptionValue(option.Name));
}
