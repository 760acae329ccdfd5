// The wizard's controls: the window's frame (logo column, page area, button strip), each page's
// widgets, and the placing of everything for the size the text needs.
#include "wizard/UnitWizard.h"

#include "platform/PlatformTexts.h"
#include "platform/RadioGroup.h"
#include "wizard/AccountRules.h"
#include "wizard/WizardControls.h"
#include "wizard/WizardPages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace wizard_controls;

namespace {

// The window's layout: a logo column at the left (the logo panel, "&Stop Talking" beneath it),
// the page area to its right, and the strip with the buttons along the bottom. The sizes below
// are the least the window takes; it grows where its text needs more (a larger desktop font).
constexpr int MinClientWidth = 446;
constexpr int MinClientHeight = 284;
constexpr int MinStripHeight = 41;
constexpr int HeaderHeight = 26;
constexpr QRect LogoPanelRect{0, 0, 129, 137};
constexpr QSize StopTalkingSize{75, 57};
constexpr int StopTalkingTop = LogoPanelRect.bottom() + 14;
// A page's content within the page area: right of the logo, below the header.
constexpr int ContentLeft = 8;
constexpr int ContentTop = HeaderHeight + 8;
constexpr int ContentRight = 10;
constexpr int ContentBottom = 4;

QPushButton* StripButton(const char* caption, const char* name, QWidget* parent) {
    return Named(new QPushButton(QString::fromUtf8(caption), parent), name);
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

void TFormWizard::BuildControls() {
    PageManager = Named(new TPageManager(this), "PageManager");
    for (int i = 0; i < WizardPageCount; ++i) {
        TPageManager::TShowEvent show;
        if (i == FinishPage)
            show = [this] { FinishShow(); };
        PageManager->AddPage(
            WizardPageInfo(i).Name, BuildPage(i),
            [this, i](bool forward) { PageEnter(i, forward); }, show);
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
    ButtonStopTalking->setEnabled(false);

    BevelButtons = Named(new QFrame(this), "BevelButtons");
    BevelButtons->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    WizButtonBack = StripButton("< &Back", "WizButtonBack", this);
    WizButtonNext = StripButton("&Next >", "WizButtonNext", this);
    ButtonFinish = StripButton("&Finish", "ButtonFinish", this);
    WizButtonCancel = StripButton("&Cancel", "WizButtonCancel", this);
    WizButtonHelp = StripButton("&Help", "WizButtonHelp", this);
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
}

// Places everything for the window's size: the least size, or more where a page's text, a
// header or a button needs it. Nothing is drawn over anything else; the logo column stands
// beside the page area rather than over it.
void TFormWizard::FitToContent() {
    const QList<QPushButton*> strip = {WizButtonBack, WizButtonNext, ButtonFinish, WizButtonCancel,
                                       WizButtonHelp};
    QSize button = ButtonSize;
    for (QPushButton* b : strip)
        button = button.expandedTo(b->sizeHint());
    // Back and Next side by side, then Finish, Cancel and Help, right-aligned.
    const int gaps[] = {0, 8, 6, 6};
    const int stripWidth = 5 * button.width() + gaps[0] + gaps[1] + gaps[2] + gaps[3];
    const int stripHeight = std::max(MinStripHeight, button.height() + 16);
    const QSize stopTalking = StopTalkingSize.expandedTo(ButtonStopTalking->sizeHint());
    const int pageLeft = std::max(LogoPanelRect.width(), stopTalking.width() + 8);

    int width = std::max(MinClientWidth, stripWidth + 2 * 8);
    for (int i = 0; i < PageManager->PageCount(); ++i) {
        QWidget* page = PageManager->Page(i);
        const QLabel* header =
            page->findChild<QLabel*>(QStringLiteral("Header") + page->objectName());
        const QWidget* content =
            page->findChild<QWidget*>(QStringLiteral("Content") + page->objectName());
        width = std::max(width, pageLeft + header->sizeHint().width());
        width = std::max(width, pageLeft + ContentLeft +
                                    content->layout()->totalMinimumSize().width() + ContentRight);
    }
    const int pageWidth = width - pageLeft;
    const int contentWidth = pageWidth - ContentLeft - ContentRight;
    int pageArea =
        std::max(MinClientHeight - MinStripHeight, StopTalkingTop + stopTalking.height() + 8);
    for (int i = 0; i < PageManager->PageCount(); ++i) {
        QWidget* page = PageManager->Page(i);
        QLayout* layout =
            page->findChild<QWidget*>(QStringLiteral("Content") + page->objectName())->layout();
        // A text changed, or a line shown, since the last time: the nested layouts' cached
        // heights are stale, and invalidating the top one does not reach them.
        for (QLayout* nested : layout->findChildren<QLayout*>())
            nested->invalidate();
        layout->invalidate();
        const int needed = layout->hasHeightForWidth() ? layout->totalHeightForWidth(contentWidth)
                                                       : layout->totalSizeHint().height();
        pageArea = std::max(pageArea, ContentTop + needed + ContentBottom);
    }

    if (size() != QSize(width, pageArea + stripHeight) || minimumSize() != maximumSize())
        setFixedSize(width, pageArea + stripHeight);
    PageManager->setGeometry(pageLeft, 0, pageWidth, pageArea);
    for (int i = 0; i < PageManager->PageCount(); ++i) {
        QWidget* page = PageManager->Page(i);
        page->findChild<QLabel*>(QStringLiteral("Header") + page->objectName())
            ->setGeometry(0, 0, pageWidth, HeaderHeight);
        page->findChild<QWidget*>(QStringLiteral("Content") + page->objectName())
            ->setGeometry(ContentLeft, ContentTop, contentWidth,
                          pageArea - ContentTop - ContentBottom);
    }
    ButtonStopTalking->setGeometry(
        QRect(QPoint((pageLeft - stopTalking.width()) / 2, StopTalkingTop), stopTalking));
    BevelButtons->setGeometry(0, pageArea, width, 2);
    int right = width - 8;
    for (int i = int(strip.size()) - 1; i >= 0; --i) {
        strip[i]->setGeometry(
            QRect(QPoint(right - button.width(), pageArea + (stripHeight - button.height()) / 2),
                  button));
        right -= button.width() + (i > 0 ? gaps[i - 1] : 0);
    }
}

QWidget* TFormWizard::BuildPage(int index) {
    const TWizardPageInfo& info = WizardPageInfo(index);
    auto* page = new QWidget;

    auto* header = new QLabel(info.Header, page);
    header->setObjectName(QStringLiteral("Header") + info.Name);
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
    connect(CheckBoxEnableEmailCheck, &QCheckBox::toggled, this, [this] { UpdateAccountState(); });
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
    ButtonSayTimeTest->setMinimumSize(ButtonSize);
    ButtonSayTimeTest->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ButtonSayTimeTest->setAutoDefault(false);
    content->layout()->addWidget(ButtonSayTimeTest);
}

void TFormWizard::BuildStartupPage(QWidget* content) {
    CheckBoxStartWithWindows = Named(
        new QCheckBox(platform::PlatformText("Start Automatically at Windows Startup"), content),
        "CheckBoxStartWithWindows");
    content->layout()->addWidget(CheckBoxStartWithWindows);
}
