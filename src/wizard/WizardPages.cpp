#include "wizard/WizardPages.h"

#include "platform/PlatformTexts.h"

#include <stdexcept>

namespace {

QString Map() {
    return QStringLiteral(R"(\map="Tal Voro"="Talvoro"\)");
}

std::vector<TWizardPageInfo> BuildPages() {
    std::vector<TWizardPageInfo> pages;
    pages.push_back({QStringLiteral("Welcome"),
                     QStringLiteral("Welcome "),
                     {QStringLiteral("Talvoro is a talking time and e-mail notification utility.  "
                                     "Press the Help button for more information."),
                      QStringLiteral("The following screens will guide you through Talvoro's "
                                     "initial configuration."),
                      QStringLiteral("Please press the Next Button to begin.")},
                     3010,
                     WizardWelcomeTexts()});
    pages.push_back({QStringLiteral("EnableEmail"),
                     QStringLiteral("E-mail Checking "),
                     {QStringLiteral("Talvoro can notify you of new e-mail."),
                      QStringLiteral("For this option to work, you must have a compatible POP "
                                     "e-mail account.")},
                     3070,
                     {QStringLiteral("I can notify you of new e-mail."),
                      QStringLiteral("Place a check in the box to enable e-mail checking.  Press "
                                     "the Next button when done.")}});
    pages.push_back({QStringLiteral("AccountOptions"),
                     QStringLiteral("E-mail Account Options "),
                     {QStringLiteral("Enter your POP e-mail account information. Press the Next "
                                     "Button when done.")},
                     3080,
                     {QStringLiteral("If you connect via modem, select Dial-up networking.  Most "
                                     "cable modem users will select Local Area Network."),
                      QStringLiteral("Please enter your e-mail server, login name and password."),
                      QStringLiteral("If you need help, press the help button. Press the Next "
                                     "button when done.")}});
    pages.push_back({QStringLiteral("Notification"),
                     QStringLiteral("Notification Options "),
                     {QStringLiteral("Select the method for e-mail alerts.  Press the Next button "
                                     "when done.")},
                     3090,
                     {QStringLiteral("Please select your notification options here.  If you "
                                     "enter your name, i will use it to address you when I "
                                     "speak.")}});
    pages.push_back({QStringLiteral("Time"),
                     QStringLiteral("Talking Time "),
                     {platform::PlatformText("Talvoro can use the Microsoft Agent to announce the "
                                             "time.  Please make your selection.  Press the Next "
                                             "button when done.")},
                     3100,
                     {QStringLiteral("I can speak the time.  Press the Test button for a demo.  "
                                     "Select \"Never\" if you do not wish me to speak the "
                                     "time.")}});
    pages.push_back(
        {QStringLiteral("Startup"),
         QStringLiteral("Startup "),
         {platform::PlatformText("Talvoro can start automatically when Windows starts.  "
                                 "Make your selection and press the Next button when "
                                 "done.")},
         3110,
         {QStringLiteral("Place a check in the box to enable ") + Map() +
          platform::PlatformText(" to automatically load when Windows starts.")}});
    pages.push_back({QStringLiteral("Finish"),
                     QStringLiteral("Finished "),
                     {QStringLiteral("That's it! "),
                      QStringLiteral("Talvoro will use this configuration as soon as you press "
                                     "the Finish button.")},
                     0,
                     {QStringLiteral("You are done!  Press the finish button to save your "
                                     "configuration.  Press the cancel button to abandon.  These "
                                     "options can be changed at any time from main configuration "
                                     "screens.")}});
    return pages;
}

const std::vector<TWizardPageInfo>& Pages() {
    static const std::vector<TWizardPageInfo> pages = BuildPages();
    return pages;
}

} // namespace

QStringList WizardWelcomeTexts() {
    return {QStringLiteral("Welcome to ") + Map(),
            Map() + QStringLiteral(" is a talking time and e-mail notification utility."),
            QStringLiteral("Please press the Next Button to begin program configuration.")};
}

const TWizardPageInfo& WizardPageInfo(int index) {
    if (index < 0 || index >= WizardPageCount)
        throw std::out_of_range("no wizard page " + std::to_string(index));
    return Pages()[static_cast<size_t>(index)];
}

int WizardPageIndex(const QString& name) {
    for (int i = 0; i < WizardPageCount; ++i) {
        if (Pages()[static_cast<size_t>(i)].Name == name)
            return i;
    }
    return NoWizardPage;
}

QString WizardPageText(int index) {
    return WizardPageInfo(index).Paragraphs.join(QStringLiteral("\n\n"));
}

int DefaultNextPage(int current) {
    return current >= 0 && current + 1 < WizardPageCount ? current + 1 : NoWizardPage;
}

int DefaultPriorPage(int current) {
    return current > 0 && current < WizardPageCount ? current - 1 : NoWizardPage;
}

int WizardNextPage(int current, bool emailCheckingEnabled) {
    if (current == EnableEmailPage && !emailCheckingEnabled)
        return TimePage;
    return DefaultNextPage(current);
}

int WizardPriorPage(int current, bool emailCheckingEnabled) {
    if (current == TimePage && !emailCheckingEnabled)
        return EnableEmailPage;
    return DefaultPriorPage(current);
}

const std::vector<TWizardOption>& WizardOptions() {
    using K = TWizardOptionKind;
    static const std::vector<TWizardOption> options = {
        {QStringLiteral("CheckBoxEnableEmailCheck"), K::Checked, EnableEmailPage},
        {QStringLiteral("RadioGroupInternetConnection"), K::ItemIndex, AccountOptionsPage},
        {QStringLiteral("EditPOP3Server"), K::Text, AccountOptionsPage},
        // Before the port: setting the security may change the port (110 and 995 follow it),
        // and the port copied next must win.
        {QStringLiteral("ComboBoxPOP3Security"), K::ItemIndex, AccountOptionsPage},
        {QStringLiteral("EditPOP3Port"), K::Text, AccountOptionsPage},
        {QStringLiteral("EditPOP3Account"), K::Text, AccountOptionsPage},
        {QStringLiteral("EditPOP3Password"), K::Text, AccountOptionsPage},
        {QStringLiteral("CheckBoxEnableAgent"), K::Checked, NotificationPage},
        {QStringLiteral("CheckBoxSoundBeep"), K::Checked, NotificationPage},
        {QStringLiteral("FileComboBoxAgent"), K::Text, NotificationPage},
        {QStringLiteral("EditYourName"), K::Text, NotificationPage},
        {QStringLiteral("RadioGroupSayTimeInterval"), K::ItemIndex, TimePage},
        {QStringLiteral("CheckBoxStartWithWindows"), K::Checked, StartupPage},
        // After the original options. The server type after the port: a port that the type
        // does not change (a standard port already the type's, or one the user typed) arrives as
        // it was copied.
        {QStringLiteral("ComboBoxMailProtocol"), K::ItemIndex, AccountOptionsPage},
        {QStringLiteral("EditIMAPFolder"), K::Text, AccountOptionsPage},
        {QStringLiteral("EditEmailAddress"), K::Text, AccountOptionsPage},
    };
    return options;
}
