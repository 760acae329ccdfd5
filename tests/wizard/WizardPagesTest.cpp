#include "wizard/WizardPages.h"

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

TEST(WizardPages, TwelveOptionsInTheOrderTheyAreCopied) {
    QStringList names;
    for (const TWizardOption& option : WizardOptions())
        names << option.Name;
    EXPECT_EQ(names, QStringList({"CheckBoxEnableEmailCheck", "RadioGroupInternetConnection",
                                  "EditPOP3Server", "EditPOP3Port", "EditPOP3Account",
                                  "EditPOP3Password", "CheckBoxEnableAgent", "CheckBoxSoundBeep",
                                  "FileComboBoxAgent", "EditYourName", "RadioGroupSayTimeInterval",
                                  "CheckBoxStartWithWindows"}));
}
