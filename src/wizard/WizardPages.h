#pragma once
// What the setup wizard shows and does, page by page, as plain data and rules that need no
// window: the seven pages in their fixed order (name, header, paragraphs, help context, the
// spoken guide of the enter handler), the options it edits in the order they are copied both
// ways, and the page-to-page navigation.
//
// Speech texts carry the character's markup tags as written (the map tag makes the character
// say "Tal Voro" while the balloon shows "Talvoro"); nothing here escapes them.
#include <QString>
#include <QStringList>

#include <vector>

enum TWizardPage : int {
    WelcomePage = 0,
    EnableEmailPage = 1,
    AccountOptionsPage = 2,
    NotificationPage = 3,
    TimePage = 4,
    StartupPage = 5,
    FinishPage = 6,
    WizardPageCount = 7,
    NoWizardPage = -1,
};

struct TWizardPageInfo {
    QString Name;           // "Welcome", "EnableEmail", ...: the page's object name
    QString Header;         // the title of the page's header bar, trailing blank included
    QStringList Paragraphs; // the page's text, one entry per paragraph
    int HelpContext;        // the help topic of the page; 0 for "Finish", which has none
    QStringList Guide;      // what the page's enter handler has the character say, in turn
};

// The page at index 0..6; throws std::out_of_range for any other index.
const TWizardPageInfo& WizardPageInfo(int index);

// The page's index by its name; NoWizardPage for an unknown name.
int WizardPageIndex(const QString& name);

// The text of a page as one label shows it: paragraphs divided by an empty line.
QString WizardPageText(int index);

// The three sentences of the welcome, spoken at the first showing without an anchor and by
// the "Welcome" page's enter handler beside the page area.
QStringList WizardWelcomeTexts();

// Where the page container goes without the wizard's rules: the neighbouring index, or
// NoWizardPage before "Welcome" and after "Finish".
int DefaultNextPage(int current);
int DefaultPriorPage(int current);

// The wizard's own rules on top of the defaults. With e-mail checking off, "EnableEmail" leads
// straight to "Time" and "Time" back to "EnableEmail", past the account and notification
// pages. Every other page keeps its default.
int WizardNextPage(int current, bool emailCheckingEnabled);
int WizardPriorPage(int current, bool emailCheckingEnabled);

// How an option's value travels between the wizard and the main window.
enum class TWizardOptionKind {
    Checked,   // a check box's checked state, as a bool
    ItemIndex, // a radio group's or a fixed list's selected index, as an int (-1 none)
    Text,      // an edit's or the character box's text, as a QString
};

struct TWizardOption {
    QString Name; // the control's name, the same in the wizard and in the main window
    TWizardOptionKind Kind;
    int Page;
};

// The sixteen options in the order in which they are copied in and out: the twelve of the
// original wizard, with the connection security ("ComboBoxPOP3Security") just before the port,
// then the server type ("ComboBoxMailProtocol"), the IMAP folder ("EditIMAPFolder") and the
// e-mail address ("EditEmailAddress").
const std::vector<TWizardOption>& WizardOptions();
