#include "wizard/WizardPages.h"
#include "wizard/AccountRules.h"

#include "QtGtest.h"

#include <gtest/gtest.h>
#include <stdexcept>

TEST(WizardPages, SevenPagesInOrderWithTheirHelpTopics) {
    const QStringList names = {"Welcome", "EnableEmail", "AccountOptions", "Notification",
                               "Time",    "Startup",     "Finish"};
    const int contexts[] = {3010, 3070, 3080, 3090, 3100, 3110, 0};
    for (int i = 0; i < WizardPageCount; ++i) {
        EXPECT_EQ(WizardPageInfo(i).Name, names[i]);
        EXPECT_EQ(WizardPageIndex(names[i]), i);
        EXPECT_EQ(WizardPageInfo(i).HelpContext, contexts[i]);
    }
    EXPECT_EQ(WizardPageIndex("Summary"), NoWizardPage);
    EXPECT_THROW(WizardPageInfo(7), std::out_of_range);
    EXPECT_THROW(WizardPageInfo(-1), std::out_of_range);
}

TEST(WizardPages, ParagraphsAreDividedByAnEmptyLine) {
    EXPECT_EQ(WizardPageText(FinishPage),
              "That's it! \n\nTalvoro will use this configuration as soon as you press the "
              "Finish button.");
    EXPECT_EQ(WizardPageText(WelcomePage),
              "Talvoro is a talking time and e-mail notification utility.  Press the Help button "
              "for more information.\n\nThe following screens will guide you through Talvoro's "
              "initial configuration.\n\nPlease press the Next Button to begin.");
    EXPECT_EQ(WizardPageInfo(AccountOptionsPage).Header, "E-mail Account Options ");
}

TEST(WizardPages, NavigationSkipsTheAccountPagesOnlyWhenCheckingIsOff) {
    for (bool checking : {true, false}) {
        EXPECT_EQ(WizardPriorPage(WelcomePage, checking), NoWizardPage);
        EXPECT_EQ(WizardNextPage(FinishPage, checking), NoWizardPage);
        EXPECT_EQ(WizardNextPage(WelcomePage, checking), EnableEmailPage);
        EXPECT_EQ(WizardNextPage(TimePage, checking), StartupPage);
        EXPECT_EQ(WizardPriorPage(FinishPage, checking), StartupPage);
        EXPECT_EQ(WizardPriorPage(EnableEmailPage, checking), WelcomePage);
    }
    EXPECT_EQ(WizardNextPage(EnableEmailPage, true), AccountOptionsPage);
    EXPECT_EQ(WizardNextPage(EnableEmailPage, false), TimePage);
    EXPECT_EQ(WizardPriorPage(TimePage, true), NotificationPage);
    EXPECT_EQ(WizardPriorPage(TimePage, false), EnableEmailPage);
    // Only Next from "EnableEmail" skips; a page reached otherwise moves by one.
    EXPECT_EQ(WizardNextPage(AccountOptionsPage, false), NotificationPage);
    EXPECT_EQ(WizardPriorPage(NotificationPage, false), AccountOptionsPage);
}

TEST(WizardPages, OptionsInTheOrderTheyAreCopied) {
    QStringList names;
    for (const TWizardOption& option : WizardOptions())
        names << option.Name;
    EXPECT_EQ(names, QStringList({"CheckBoxEnableEmailCheck", "RadioGroupInternetConnection",
                                  "EditPOP3Server", "ComboBoxPOP3Security", "EditPOP3Port",
                                  "EditPOP3Account", "EditPOP3Password", "CheckBoxEnableAgent",
                                  "CheckBoxSoundBeep", "FileComboBoxAgent", "EditYourName",
                                  "RadioGroupSayTimeInterval", "CheckBoxStartWithWindows",
                                  "ComboBoxMailProtocol", "EditIMAPFolder", "EditEmailAddress"}));
}

TEST(AccountFields, HintsBesideFieldsThatNoCheckCanUse) {
    const struct {
        TAccountField Field;
        const char16_t* Text;
        const char* Hint;
    } cases[] = {
        {TAccountField::Server, u"pop.example.com", ""},
        {TAccountField::Server, u"", "Required"},
        {TAccountField::Server, u"   ", "Required"},
        {TAccountField::Account, u"ada", ""},
        {TAccountField::Account, u"", "Required"},
        {TAccountField::Password, u" ", ""}, // a blank may be a password
        {TAccountField::Password, u"", "Required"},
        {TAccountField::Port, u"", ""}, // the standard port
        {TAccountField::Port, u"1", ""},
        {TAccountField::Port, u"995", ""},
        {TAccountField::Port, u"65535", ""},
        {TAccountField::Port, u"00110", ""},
        {TAccountField::Port, u"0", "1 to 65535"},
        {TAccountField::Port, u"65536", "1 to 65535"},
        {TAccountField::Port, u"000110", "1 to 65535"},
        {TAccountField::Port, u"abc", "1 to 65535"},
        {TAccountField::Port, u"99999999999", "1 to 65535"},
        {TAccountField::Port, u" 110", "1 to 65535"},
        {TAccountField::Port, u"-1", "1 to 65535"},
        {TAccountField::Port, u"+1", "1 to 65535"},
        {TAccountField::Port, u"\u0661", "1 to 65535"}, // a digit of another script
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf16(c.Text);
        EXPECT_EQ(AccountFieldHint(c.Field, text), QString::fromUtf8(c.Hint)) << text;
    }
    EXPECT_TRUE(AccountFieldsComplete("pop.example.com", "", "ada", "x"));
    EXPECT_FALSE(AccountFieldsComplete("pop.example.com", "0", "ada", "x"));
}

TEST(AccountFields, ThePortFollowsTheSecurityOnlyFromAStandardPort) {
    const struct {
        int Security; // 0 None, 1 SSL/TLS, 2 STARTTLS
        const char* Before;
        const char* After;
    } cases[] = {
        {1, "110", "995"}, {1, "", ""},       {1, "2110", "2110"}, {0, "995", "110"},
        {2, "995", "110"}, {2, "110", "110"}, {0, "1995", "1995"}, {1, "995", "995"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PortForSecurity(c.Security, c.Before), c.After) << c.Security << c.Before;
}
