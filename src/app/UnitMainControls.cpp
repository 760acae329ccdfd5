// The main window's pages and controls: captions, hints and limits.
#include "app/AccountFields.h"
#include "app/Identity.h"
#include "app/Labels.h"
#include "app/UnitMain.h"
#include "platform/PlatformTexts.h"
#include "platform/RadioGroup.h"
#include "speech/OvcClock.h"
#include "tray/TrayMenus.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

template <typename T> T* Named(T* widget, const char* name, const char* hint = nullptr) {
    widget->setObjectName(QLatin1String(name));
    if (hint != nullptr)
        widget->setToolTip(platform::PlatformText(hint));
    return widget;
}

// A caption as this platform words it.
QString Text(const char* original) {
    return platform::PlatformText(original);
}

QFont SerifFont(int pixelSize, bool bold = false) {
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// Grey lettering pressed into the window, as the counters and the product
// name are drawn.
void MakeSunken(QLabel* label, int pixelSize) {
    label->setFont(SerifFont(pixelSize));
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(128, 128, 128));
    label->setPalette(p);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

} // namespace

void TFormMain::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    PageControl = Named(new QTabWidget(this), "PageControl");
    PageControl->tabBar()->setAttribute(Qt::WA_Hover); // hot-tracking tabs
    // Every tab shows its whole caption; the window grows to hold them.
    PageControl->setUsesScrollButtons(false);
    PageControl->setElideMode(Qt::ElideNone);
    PageControl->addTab(TabSheetAbout = BuildAboutPage(), QStringLiteral("About"));
    PageControl->addTab(TabSheetGeneral = BuildGeneralPage(), QStringLiteral("General"));
    PageControl->addTab(TabSheetTime = BuildTimePage(), QStringLiteral("Time"));
    PageControl->addTab(TabSheetNotification = BuildNotificationPage(),
                        QStringLiteral("Notification"));
    PageControl->addTab(TabSheetEmailServer = BuildEmailServerPage(),
                        QStringLiteral("E-mail Server"));
    PageControl->addTab(TabSheetEmailOptions = BuildEmailOptionsPage(),
                        QStringLiteral("E-mail Options"));
    PageControl->addTab(TabSheetDebug = BuildDebugPage(), QStringLiteral("Debug"));
    layout->addWidget(PageControl, 1);

    ToolBarMain = BuildMainToolBar(ActionList, this);
    ToolBarMain->setMovable(false);
    ToolBarMain->setContentsMargins(0, 0, 0, 0);
    ToolBarMain->layout()->setContentsMargins(0, 0, 0, 0);
    ToolBarMain->layout()->setSpacing(0);
    layout->addWidget(ToolBarMain);

    StatusBar = Named(new QStatusBar(this), "StatusBar");
    StatusBar->setSizeGripEnabled(false);
    StatusTextLabel = new QLabel(StatusBar);
    StatusTextLabel->setObjectName(QStringLiteral("StatusText"));
    // Status texts come and go: a long one is cut at the window's edge rather than widening it.
    StatusTextLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    StatusBar->addWidget(StatusTextLabel, 1);
    layout->addWidget(StatusBar);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(4);
    LabelNumUnreadMessages =
        Named(new TClickLabel(QStringLiteral("0"), this), "LabelNumUnreadMessages",
              "Number of unread messages [Double click to mark as read]");
    auto* separator = Named(new QLabel(QStringLiteral("/"), this), "LabelSeparator");
    LabelNumMessages = Named(new TClickLabel(QStringLiteral("0"), this), "LabelNumMessages",
                             "Total number of messages on server [Double click to reset message "
                             "count to zero]");
    for (QLabel* label : {static_cast<QLabel*>(LabelNumUnreadMessages), separator,
                          static_cast<QLabel*>(LabelNumMessages)}) {
        MakeSunken(label, 24);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label == separator ? 16 : 48);
        bottom->addWidget(label);
    }
    bottom->addStretch(1);
    ButtonMinimize = Named(new QPushButton(QStringLiteral("Minimize"), this), "ButtonMinimize",
                           "Minimize application to system tray");
    ButtonClose = Named(new QPushButton(QStringLiteral("Close"), this), "ButtonClose");
    ButtonHelp = Named(new QPushButton(QStringLiteral("Help"), this), "ButtonHelp");
    for (QPushButton* button : {ButtonMinimize, ButtonClose, ButtonHelp})
        bottom->addWidget(button);
    layout->addLayout(bottom);

    // Labels show status texts, stored values and what servers sent (a Message-ID looks like a
    // tag): all of it as plain text. Only the product name on the About page is our own markup.
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->textFormat() == Qt::AutoText)
            label->setTextFormat(Qt::PlainText);
    }
}

QWidget* TFormMain::BuildAboutPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheetAbout"));
    auto* layout = new QGridLayout(page);
    layout->setVerticalSpacing(2);

    ImageLogo = Named(new QLabel(page), "ImageLogo");
    ImageLogo->setFixedSize(112, 119);
    ImageLogo->setAlignment(Qt::AlignCenter);
    layout->addWidget(ImageLogo, 0, 0, 3, 1, Qt::AlignTop);

    OvcLabel1 = Named(new TClickLabel(page), "OvcLabel1", "Total number of messages on server");
    OvcLabel1->setTextFormat(Qt::RichText);
    OvcLabel1->setText(identity::ProductName +
                       QStringLiteral("<sup style=\"font-size:10px\">TM</sup>"));
    MakeSunken(OvcLabel1, 32);
    OvcLabel1->setFrameStyle(QFrame::NoFrame);
    layout->addWidget(OvcLabel1, 0, 1);

    LabelVersion = Named(new QLabel(page), "LabelVersion");
    layout->addWidget(LabelVersion, 1, 1);
    auto* purpose =
        Named(new QLabel(QStringLiteral("Talking Time and E-mail Notification Utility"), page),
              "LabelPurpose");
    purpose->setWordWrap(true);
    layout->addWidget(purpose, 2, 1);

    auto heading = [page](const QString& text) {
        auto* label = new QLabel(text, page);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        return label;
    };
    int row = 3;
    layout->setRowMinimumHeight(row++, 8);
    layout->addWidget(heading(QStringLiteral("Talvoro Updates")), row++, 0, 1, 2);
    LinkUpdate = Named(new TLinkLabel(QStringLiteral("Click for Automatic Update Check"),
                                      identity::UpdateUrl, page),
                       "LinkUpdate");
    layout->addWidget(LinkUpdate, row++, 0, 1, 2);
    layout->addWidget(heading(QStringLiteral("Talvoro Support and Information")), row++, 0, 1, 2);
    LinkSupport =
        Named(new TLinkLabel(QStringLiteral("Talvoro product page"), identity::SupportUrl, page),
              "LinkSupport");
    layout->addWidget(LinkSupport, row++, 0, 1, 2);
    layout->addWidget(heading(Text("Microsoft Agent Information and New Characters")), row++, 0, 1,
                      2);
    LinkAgentInfo =
        Named(new TLinkLabel(QStringLiteral("Characters and voices for the talking agent"),
                             identity::AgentInfoUrl, page),
              "LinkAgentInfo");
    layout->addWidget(LinkAgentInfo, row++, 0, 1, 2);
    auto* services =
        new QLabel(QStringLiteral("Software design and development services by Ostrawick"), page);
    services->setWordWrap(true);
    layout->addWidget(services, row++, 0, 1, 2);
    LinkHome = Named(new TLinkLabel(QStringLiteral("Ostrawick home page"), identity::HomeUrl, page),
                     "LinkHome");
    layout->addWidget(LinkHome, row++, 0, 1, 2);
    layout->setRowStretch(row, 1);
    layout->setColumnStretch(1, 1);
    return page;
}

QWidget* TFormMain::BuildGeneralPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheetGeneral"));
    auto* layout = new QVBoxLayout(page);

    auto* startup = Named(new QGroupBox(QStringLiteral("Startup"), page), "GroupBoxStartup");
    auto* startupLayout = new QVBoxLayout(startup);
    CheckBoxStartWithWindows =
        Named(new QCheckBox(Text("Start Automatically at Windows Startup"), startup),
              "CheckBoxStartWithWindows", "Start programs automatically at Windows startup");
    startupLayout->addWidget(CheckBoxStartWithWindows);
    layout->addWidget(startup);
    layout->addSpacing(16);

    ButtonSetupWizard = Named(new QPushButton(QStringLiteral("Run Setup Wizard"), page),
                              "ButtonSetupWizard", "Click to run the preferences setup wizard");
    layout->addWidget(ButtonSetupWizard, 0, Qt::AlignHCenter);
    auto* note =
        Named(new QLabel(QStringLiteral("The setup wizard will guide you through the basic steps "
                                        "necessary to configure Talvoro."),
                         page),
              "LabelSetupWizard");
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignHCenter);
    layout->addWidget(note);
    layout->addStretch(1);
    return page;
}

// The clock with its options in a column beside it; "Speak Time" in its four columns and the
// quiet hours run along the bottom, where the page is wide enough for them.
QWidget* TFormMain::BuildTimePage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheetTime"));
    auto* layout = new QGridLayout(page);
    layout->setContentsMargins(0, 2, 2, 2);
    layout->setHorizontalSpacing(4);
    layout->setVerticalSpacing(2);

    OvcClock = Named(new ::OvcClock(page), "OvcClock");
    OvcClock->setFixedSize(::OvcClock::ClockSize, ::OvcClock::ClockSize);
    layout->addWidget(OvcClock, 0, 0, Qt::AlignTop);

    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    RadioGroupSayTimeInterval =
        Named(new platform::TRadioGroup(QStringLiteral("Speak Time"),
                                        {QStringLiteral("Hourly"), QStringLiteral("15 Mins"),
                                         QStringLiteral("30 Mins"), QStringLiteral("Never")},
                                        4, page),
              "RadioGroupSayTimeInterval", "Set the interval for Talvoro to speak the time");

    GroupBoxClockFace = Named(new QGroupBox(QStringLiteral("Clock"), page), "GroupBoxClockFace",
                              "Show/Hide the clock face and clock tick marks");
    auto* faceLayout = new QVBoxLayout(GroupBoxClockFace);
    CheckBoxClockFace =
        Named(new QCheckBox(QStringLiteral("Face"), GroupBoxClockFace), "CheckBoxClockFace");
    CheckBoxDrawClockTickMarks = Named(new QCheckBox(QStringLiteral("Ticks"), GroupBoxClockFace),
                                       "CheckBoxDrawClockTickMarks");
    faceLayout->addWidget(CheckBoxClockFace);
    faceLayout->addWidget(CheckBoxDrawClockTickMarks);
    column->addWidget(GroupBoxClockFace);

    LabelMSAgentNotInstalled2 = Named(new QLabel(QStringLiteral("[Agent Not Installed]"), page),
                                      "LabelMSAgentNotInstalled2");
    QFont bold = LabelMSAgentNotInstalled2->font();
    bold.setBold(true);
    LabelMSAgentNotInstalled2->setFont(bold);
    LabelMSAgentNotInstalled2->setWordWrap(true);
    LabelMSAgentNotInstalled2->setVisible(false);
    column->addWidget(LabelMSAgentNotInstalled2);
    column->addStretch(1);

    ToolButtonSayTime = Named(new QToolButton(page), "ToolButtonSayTime");
    ToolButtonSayTime->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolButtonSayTime->setIconSize(QSize(32, 32));
    ToolButtonSayTime->setAutoRaise(true);
    column->addWidget(ToolButtonSayTime, 0, Qt::AlignHCenter);
    layout->addLayout(column, 0, 1);

    // Times without speech: neither the time nor new mail is spoken from "From" until "To"
    // (a range may span midnight).
    GroupBoxQuietHours =
        Named(new QGroupBox(QStringLiteral("Quiet hours"), page), "GroupBoxQuietHours");
    auto* quiet = new QHBoxLayout(GroupBoxQuietHours);
    CheckBoxQuietHours =
        Named(new QCheckBox(QStringLiteral("Keep quiet"), GroupBoxQuietHours), "CheckBoxQuietHours",
              "Speak neither the time nor new mail between these times");
    quiet->addWidget(CheckBoxQuietHours);
    quiet->addSpacing(12);
    QuietHoursFrom = Named(new QTimeEdit(QTime(22, 0), GroupBoxQuietHours), "QuietHoursFrom");
    QuietHoursTo = Named(new QTimeEdit(QTime(7, 0), GroupBoxQuietHours), "QuietHoursTo");
    const std::pair<const char*, QTimeEdit*> times[] = {{"From", QuietHoursFrom},
                                                        {"To", QuietHoursTo}};
    for (const auto& [caption, edit] : times) {
        edit->setDisplayFormat(QStringLiteral("HH:mm"));
        edit->setWrapping(true);
        edit->setEnabled(false);
        auto* label = new QLabel(QString::fromLatin1(caption), GroupBoxQuietHours);
        label->setBuddy(edit);
        quiet->addWidget(label);
        quiet->addWidget(edit);
    }
    quiet->addStretch(1);
    layout->addWidget(RadioGroupSayTimeInterval, 1, 0, 1, 2);
    layout->addWidget(GroupBoxQuietHours, 2, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(3, 1);
    return page;
}

QWidget* TFormMain::BuildNotificationPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheetNotification"));
    auto* layout = new QVBoxLayout(page);

    auto* notification =
        Named(new QGroupBox(QStringLiteral("Notification"), page), "GroupBoxNotification");
    auto* notificationLayout = new QGridLayout(notification);
    CheckBoxEnableAgent =
        Named(new QCheckBox(Text("Microsoft Agent"), notification), "CheckBoxEnableAgent",
              "Allow the agent to speak when new mail arrives");
    notificationLayout->addWidget(CheckBoxEnableAgent, 0, 0);
    LabelMSAgentNotInstalled1 =
        Named(new QLabel(QStringLiteral("[Agent Not Installed]"), notification),
              "LabelMSAgentNotInstalled1");
    QFont bold = LabelMSAgentNotInstalled1->font();
    bold.setBold(true);
    LabelMSAgentNotInstalled1->setFont(bold);
    LabelMSAgentNotInstalled1->setVisible(false);
    notificationLayout->addWidget(LabelMSAgentNotInstalled1, 0, 1);
    CheckBoxSoundBeep = Named(new QCheckBox(Text("Windows Default Sound"), notification),
                              "CheckBoxSoundBeep", "Play default sound when new mail arrives");
    notificationLayout->addWidget(CheckBoxSoundBeep, 1, 0);
    CheckBoxDesktopNotification = Named(
        new QCheckBox(QStringLiteral("Also show a desktop notification"), notification),
        "CheckBoxDesktopNotification", "Show new mail in the desktop's notifications as well");
    notificationLayout->addWidget(CheckBoxDesktopNotification, 2, 0, 1, 2);
    // Carried from load to save; never shown and never read.
    CheckBoxAgentNoFly =
        Named(new QCheckBox(QStringLiteral("Don't Play Charater Animations"), notification),
              "CheckBoxAgentNoFly");
    CheckBoxAgentNoFly->setVisible(false);
    layout->addWidget(notification);

    GroupBoxAgentOptions =
        Named(new QGroupBox(QStringLiteral("Agent Options"), page), "GroupBoxAgentOptions");
    auto* options = new QGridLayout(GroupBoxAgentOptions);
    LabelFileComboBoxAgent =
        Named(new QLabel(QStringLiteral("Agent Character"), GroupBoxAgentOptions),
              "LabelFileComboBoxAgent");
    FileComboBoxAgent = Named(new QComboBox(GroupBoxAgentOptions), "FileComboBoxAgent",
                              "Select an agent character");
    FileComboBoxAgent->setEditable(true);
    // Its width does not follow the name shown, so a switch of character keeps the window's.
    FileComboBoxAgent->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    FileComboBoxAgent->setMinimumContentsLength(14);
    LabelFileComboBoxAgent->setBuddy(FileComboBoxAgent);
    options->addWidget(LabelFileComboBoxAgent, 0, 0);
    options->addWidget(FileComboBoxAgent, 1, 0);
    ButtonAgentProperties =
        Named(new QPushButton(QStringLiteral("Advanced Properties"), GroupBoxAgentOptions),
              "ButtonAgentProperties", "Modify advanced agent properties");
    options->addWidget(ButtonAgentProperties, 1, 1);
    LabelYourName =
        Named(new QLabel(QStringLiteral("Your Name"), GroupBoxAgentOptions), "LabelYourName");
    EditYourName = Named(new QLineEdit(GroupBoxAgentOptions), "EditYourName",
                         "Agent will speak the name given here. OK to leave blank");
    LabelYourName->setBuddy(EditYourName);
    options->addWidget(LabelYourName, 2, 0);
    options->addWidget(EditYourName, 3, 0);
    CheckBoxHideAgentAfterSpeak =
        Named(new QCheckBox(QStringLiteral("Hide Character After Speaking"), GroupBoxAgentOptions),
              "CheckBoxHideAgentAfterSpeak", "Make the agent go away after speaking");
    options->addWidget(CheckBoxHideAgentAfterSpeak, 4, 0, 1, 2);
    options->setColumnStretch(0, 1);
    layout->addWidget(GroupBoxAgentOptions);
    layout->addStretch(1);
    return page;
}

QWidget* TFormMain::BuildEmailServerPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheetEmailServer"));
    auto* layout = new QVBoxLayout(page);

    auto* account =
        Named(new QGroupBox(QStringLiteral("POP Account "), page), "GroupBoxPOPAccount");
    auto* form = new QFormLayout(account);
    EditEmailAddress =
        Named(new QLineEdit(account), "EditEmailAddress", "Your e-mail address, name@example.com");
    ComboBoxMailProtocol = Named(new QComboBox(account), "ComboBoxMailProtocol",
                                 "The kind of mail server: POP3 or IMAP");
    ComboBoxMailProtocol->addItems({QStringLiteral("POP3"), QStringLiteral("IMAP")});
    EditPOP3Server = Named(new QLineEdit(account), "EditPOP3Server",
                           "The address of your e-mail server, for example pop.example.com");
    EditPOP3Port =
        Named(new QLineEdit(account), "EditPOP3Port", "POP3 e-mail port, usually set to 110");
    EditPOP3Account = Named(new QLineEdit(account), "EditPOP3Account",
                            "The name used to access your e-mail account");
    EditPOP3Password = Named(new QLineEdit(account), "EditPOP3Password",
                             "Password used to access your e-mail account");
    EditPOP3Password->setEchoMode(QLineEdit::Password);
    EditIMAPFolder =
        Named(new QLineEdit(account), "EditIMAPFolder", "The folder to watch, usually INBOX");
    for (QLineEdit* edit : {EditEmailAddress, EditPOP3Server, EditPOP3Port, EditPOP3Account,
                            EditPOP3Password, EditIMAPFolder})
        edit->setValidator(new TSingleLineValidator(edit));
    ComboBoxPOP3Security = Named(new QComboBox(account), "ComboBoxPOP3Security",
                                 "How the connection to the server is secured");
    ComboBoxPOP3Security->addItems(
        {QStringLiteral("None"), QStringLiteral("SSL/TLS"), QStringLiteral("STARTTLS")});
    auto* securityLabel = new QLabel(QStringLiteral("Security"), account);
    securityLabel->setBuddy(ComboBoxPOP3Security);
    ButtonFindSettings = Named(new QPushButton(QStringLiteral("Find Settings"), account),
                               "ButtonFindSettings", "Fill in the server from your e-mail address");
    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(EditEmailAddress, 1);
    addressRow->addWidget(ButtonFindSettings);
    // Where the settings came from, once looked for; the provider's note (with a link of ours
    // to its page) when it has one; the warning for a password sent in clear. The controller
    // gives each its text format.
    LabelSettingsSource = Named(new QLabel(account), "LabelSettingsSource");
    LabelSettingsSource->setVisible(false);
    LabelProviderNote = Named(new QLabel(account), "LabelProviderNote");
    LabelUnencryptedWarning = Named(new QLabel(account), "LabelUnencryptedWarning");
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(EditPOP3Port, 1);
    portRow->addWidget(securityLabel);
    portRow->addWidget(ComboBoxPOP3Security);
    // The folder is IMAP's: beside the type, shown always (the page keeps its size) and usable
    // with IMAP chosen.
    LabelIMAPFolder = Named(new QLabel(QStringLiteral("Folder"), account), "LabelIMAPFolder");
    LabelIMAPFolder->setBuddy(EditIMAPFolder);
    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(ComboBoxMailProtocol);
    typeRow->addWidget(LabelIMAPFolder);
    typeRow->addWidget(EditIMAPFolder, 1);
    // The lines below a field take no room while hidden.
    auto* addressField = new QVBoxLayout;
    addressField->addLayout(addressRow);
    addressField->addWidget(LabelSettingsSource);
    addressField->addWidget(LabelProviderNote);
    auto* portField = new QVBoxLayout;
    portField->addLayout(portRow);
    portField->addWidget(LabelUnencryptedWarning);
    form->addRow(QStringLiteral("E-mail address"), addressField);
    form->addRow(QStringLiteral("Server type"), typeRow);
    form->addRow(QStringLiteral("Server"), EditPOP3Server);
    form->addRow(QStringLiteral("Port"), portField);
    form->addRow(QStringLiteral("Login name"), EditPOP3Account);
    form->addRow(QStringLiteral("Password"), EditPOP3Password);
    CheckBoxPasswordInKeyring =
        Named(new QCheckBox(QStringLiteral("Keep the password in the desktop keyring"), account),
              "CheckBoxPasswordInKeyring",
              "Keep the password in the desktop keyring instead of the settings file");
    form->addRow(CheckBoxPasswordInKeyring);
    CheckBoxIMAPPush = Named(
        new QCheckBox(QStringLiteral("Announce new mail as soon as it arrives (push)"), account),
        "CheckBoxIMAPPush", "Keep a connection open, so that the server tells of new mail at once");
    CheckBoxIMAPPush->setChecked(true);
    form->addRow(CheckBoxIMAPPush);
    // Shown only while a certificate is trusted for the server.
    LabelTrustedCertificate = Named(new QLabel(account), "LabelTrustedCertificate");
    LabelTrustedCertificate->setWordWrap(true);
    ButtonForgetCertificate = Named(new QPushButton(QStringLiteral("Forget"), account),
                                    "ButtonForgetCertificate", "Stop trusting this certificate");
    auto* certificateRow = new QHBoxLayout;
    certificateRow->addWidget(LabelTrustedCertificate, 1);
    certificateRow->addWidget(ButtonForgetCertificate, 0, Qt::AlignTop);
    form->addRow(certificateRow);
    LabelTrustedCertificate->setVisible(false);
    ButtonForgetCertificate->setVisible(false);
    layout->addWidget(account);

    auto* timeout =
        Named(new QGroupBox(QStringLiteral("Server Timeout"), page), "GroupBoxServerTimeout");
    auto* timeoutLayout = new QGridLayout(timeout);
    SliderTimeout = Named(new QSlider(Qt::Horizontal, timeout), "SliderTimeout",
                          "Set the timeout value for Talvoro to abort e-mail check");
    SliderTimeout->setRange(30000, 300000);
    SliderTimeout->setSingleStep(1000);
    SliderTimeout->setPageStep(30000);
    SliderTimeout->setTickInterval(30000);
    SliderTimeout->setTickPosition(QSlider::TicksBelow);
    SliderTimeout->setValue(30000);
    timeoutLayout->addWidget(new QLabel(QStringLiteral("Short"), timeout), 0, 0);
    timeoutLayout->addWidget(SliderTimeout, 0, 1);
    timeoutLayout->addWidget(new QLabel(QStringLiteral("Long"), timeout), 0, 2);
    LabelTimeout = Named(new QLabel(timeout), "LabelTimeout");
    timeoutLayout->addWidget(LabelTimeout, 1, 1, Qt::AlignHCenter);
    layout->addWidget(timeout);
    layout->addStretch(1);
    return page;
}

QWidget* TFormMain::BuildEmailOptionsPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheetEmailOptions"));
    auto* layout = new QVBoxLayout(page);

    CheckBoxEnableEmailCheck =
        Named(new QCheckBox(QStringLiteral("Enable E-mail Checking"), page),
              "CheckBoxEnableEmailCheck", "Allow Talvoro to check your e-mail");
    layout->addWidget(CheckBoxEnableEmailCheck);

    auto* options = Named(new QGroupBox(QStringLiteral("Options"), page), "GroupBoxOptions");
    auto* form = new QFormLayout(options);
    CheckInterval = Named(new QSpinBox(options), "CheckInterval", "Interval between e-mail checks");
    CheckInterval->setRange(1, 60);
    CheckInterval->setValue(3);
    MaxMessages = Named(new QSpinBox(options), "MaxMessages",
                        "Maximum number of new e-mail messages that will be announced");
    MaxMessages->setRange(0, 25);
    MaxMessages->setValue(3);
    form->addRow(QStringLiteral("Check Interval (min)"), CheckInterval);
    form->addRow(QStringLiteral("New Messages to Announce"), MaxMessages);
    layout->addWidget(options);

    RadioGroupInternetConnection = Named(
        new platform::TRadioGroup(
            QStringLiteral("Connection"),
            {QStringLiteral("Dial-up Networking"), QStringLiteral("Local Area Network")}, 2, page),
        "RadioGroupInternetConnection",
        "If you connect via modem, select Dial-up networking.  Most cable modem users will select "
        "Local "
        "Area Network");
    layout->addWidget(RadioGroupInternetConnection);

    auto* client =
        Named(new QGroupBox(QStringLiteral("E-mail Client"), page), "GroupBoxEmailClient");
    auto* clientLayout = new QGridLayout(client);
    clientLayout->addWidget(
        new QLabel(QStringLiteral("E-mail Client [full path to executable]"), client), 0, 0, 1, 2);
    FilenameEmailClient =
        Named(new QLineEdit(client), "FilenameEmailClient",
              "Full path and exe name of your e-mail client, used by the Launch E-mail button");
    ButtonBrowseEmailClient = Named(new QToolButton(client), "ButtonBrowseEmailClient");
    ButtonBrowseEmailClient->setText(QStringLiteral("..."));
    clientLayout->addWidget(FilenameEmailClient, 1, 0);
    clientLayout->addWidget(ButtonBrowseEmailClient, 1, 1);
    ButtonDefaultEmailClient =
        Named(new QPushButton(QStringLiteral("Use Default Mail Client"), client),
              "ButtonDefaultEmailClient", "Fill in the desktop's default mail program");
    clientLayout->addWidget(ButtonDefaultEmailClient, 2, 0, 1, 2, Qt::AlignRight);
    CheckBoxSuspendChecks = Named(
        new QCheckBox(QStringLiteral("Suspend E-mail Checks While E-mail Client Active"), client),
        "CheckBoxSuspendChecks",
        "Prevent Talvoro from checking for e-mail while your e-mail client is active");
    clientLayout->addWidget(CheckBoxSuspendChecks, 3, 0, 1, 2);
    layout->addWidget(client);
    layout->addStretch(1);
    return page;
}

QWidget* TFormMain::BuildDebugPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheetDebug"));
    auto* layout = new QGridLayout(page);
    ButtonDebugA =
        Named(new QPushButton(QStringLiteral("A: Show Debug Window"), page), "ButtonDebugA");
    ButtonDebugB = Named(new QPushButton(QStringLiteral("B: Not Used"), page), "ButtonDebugB");
    ButtonDebugC = Named(new QPushButton(QStringLiteral("C: Not Used"), page), "ButtonDebugC");
    layout->addWidget(ButtonDebugA, 0, 0);
    layout->addWidget(ButtonDebugB, 1, 0);
    layout->addWidget(ButtonDebugC, 2, 0);
    PanelLastMessageID = Named(new QLabel(page), "PanelLastMessageID");
    PanelPrevNumMessages = Named(new QLabel(page), "PanelPrevNumMessages");
    PanelLastMessageUID = Named(new QLabel(page), "PanelLastMessageUID");
    PanelLastIMAPUID = Named(new QLabel(page), "PanelLastIMAPUID");
    for (QLabel* panel :
         {PanelLastMessageID, PanelPrevNumMessages, PanelLastMessageUID, PanelLastIMAPUID}) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setMinimumHeight(22);
        // A message ID may be long: it is cut at the panel's edge (and can be selected).
        panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        panel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    layout->addWidget(new QLabel(QStringLiteral("Last message ID"), page), 3, 0);
    layout->addWidget(PanelLastMessageID, 4, 0, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Previous message count"), page), 5, 0);
    layout->addWidget(PanelPrevNumMessages, 6, 0, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Last message unique ID"), page), 7, 0);
    layout->addWidget(PanelLastMessageUID, 8, 0, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Last IMAP UID (uidvalidity/uid)"), page), 9, 0);
    layout->addWidget(PanelLastIMAPUID, 10, 0, 1, 2);
    ButtonDebugCheckNow =
        Named(new QPushButton(QStringLiteral("Check Now"), page), "ButtonDebugCheckNow");
    ButtonMessageWindow =
        Named(new QPushButton(QStringLiteral("Messages"), page), "ButtonMessageWindow");
    ButtonMessageWindow->setVisible(false);
    layout->addWidget(ButtonDebugCheckNow, 11, 0);
    layout->addWidget(ButtonMessageWindow, 11, 1);
    layout->setRowStretch(12, 1);
    return page;
}
