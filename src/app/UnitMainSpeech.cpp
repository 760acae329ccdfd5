// The speech host, the talking clock and the spoken time.
#include "app/MailPush.h"
#include "app/UnitMain.h"

#include "agent/AgentCharacter.h"
#include "agent/AgentControl.h"
#include "agent/CharacterFile.h"
#include "mail/CheckMsgThread.h"
#include "platform/MessageBox.h"
#include "platform/PlatformTexts.h"
#include "platform/RadioGroup.h"
#include "platform/TalvoroApplication.h"
#include "speech/MinuteTick.h"
#include "speech/OvcClock.h"
#include "speech/SayTimeText.h"
#include "speech/uAgentMessage.h"
#include "wizard/CharacterBesideWizard.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimeEdit>

#include <algorithm>
#include <vector>

namespace {

// Lines of a message box are separated by the system's line end.
const QString AgentNotInstalledText =
    platform::PlatformText("Microsoft Talking Agent not installed.") +
    QStringLiteral("\nTo enable Agent notifications, please reinstall this software.\n"
                   "Agent functions are disabled.");
const QString AgentNotLoadedText =
    platform::PlatformText(
        "Microsoft Talking Agent could not be loaded, please reinstall this software.") +
    QStringLiteral("\nAgent functions are disabled.");
const QString DefaultCharacter = QStringLiteral("Genie.acs");
constexpr int EnglishUnitedStates = 1033;
constexpr int RecentCharacterCount = 3;

// A character as the box lists it: its picture and its own name.
struct TCharacterEntry {
    QIcon Icon;
    QString Name;
};

TCharacterEntry CharacterEntry(const QString& folder, const QString& fileName) {
    const QString path = folder + "/" + fileName;
    return {QIcon(QPixmap::fromImage(TCharacterFile::Thumbnail(path, 32))),
            TCharacterFile::DisplayName(path)};
}

} // namespace

void TFormMain::StartSpeechHost() {
    AgentLoadedFlag = false;
    if (!IsAgentInstalled()) {
        if (gblnShowAgentNotInstalledMessage)
            platform::MessageDlg(AgentNotInstalledText, platform::TMsgDlgType::Information,
                                 platform::mbOK);
        SetAgentEnabled(false);
    } else {
        try {
            if (AgentControlPtr == nullptr) {
                AgentControlPtr = new TAgentControl(this);
                connect(AgentControlPtr, &TAgentControl::OnDblClick, this,
                        [this] { AgentDblClick(); });
                connect(AgentControlPtr, &TAgentControl::StatusText, this,
                        [this](const QString& text) { ShowStatus(text, false); });
            }
            CharacterFileName = DefaultCharacter;
            if (!FileComboBoxAgent->currentText().isEmpty())
                CharacterFileName = CharacterBoxFile();
            else
                FileComboBoxAgent->setEditText(DefaultCharacter);
            if (!QFileInfo::exists(CharacterDirectory + "/" + CharacterFileName)) {
                // The first entry the directory yields, in its own order.
                const QStringList found = QDir(CharacterDirectory)
                                              .entryList({QStringLiteral("*.acs")},
                                                         QDir::AllEntries | QDir::Hidden |
                                                             QDir::System | QDir::NoDotAndDotDot,
                                                         QDir::Unsorted);
                CharacterFileName = found.isEmpty() ? QString() : found.first();
            }
            if (CharacterFileName.isEmpty()) {
                AgentLoadedFlag = false;
                if (gblnShowAgentNotInstalledMessage)
                    platform::MessageDlg(AgentNotLoadedText, platform::TMsgDlgType::Error,
                                         platform::mbOK);
                SetAgentEnabled(false);
            } else {
                AgentControlPtr->Characters().Load(CharacterFileName, CharacterFileName);
                AgentControlPtr->SetConnected(true);
                TAgentCharacter& character = AgentControlPtr->Characters().Item(CharacterFileName);
                character.SetLanguageID(EnglishUnitedStates);
                AgentLoadedFlag = true;
                SetAgentEnabled(true);
            }
        } catch (const std::exception&) {
            AgentLoadedFlag = false;
            if (gblnShowAgentNotInstalledMessage)
                platform::MessageDlg(AgentNotLoadedText, platform::TMsgDlgType::Error,
                                     platform::mbOK);
            SetAgentEnabled(false);
        }
    }
    FillCharacterBox();
    SetCharacterBoxFile(CharacterFileName);
}

// The character box lists the "*.acs" entries of the character folder,
// directories excluded, sorted by file name, each shown with its picture and
// its own name (the file name is the item's data); the most recent choices
// come first.
void TFormMain::FillCharacterBox() {
    const QString file = CharacterBoxFile();
    FileComboBoxAgent->blockSignals(true);
    FileComboBoxAgent->clear();
    QStringList names =
        QDir(CharacterDirectory)
            .entryList({QStringLiteral("*.acs")}, QDir::Files | QDir::Hidden | QDir::System,
                       QDir::Name | QDir::IgnoreCase);
    for (auto it = RecentCharacters.crbegin(); it != RecentCharacters.crend(); ++it) {
        if (names.removeAll(*it) > 0)
            names.prepend(*it);
    }
    std::vector<TCharacterEntry> entries;
    QStringList shown;
    for (const QString& name : std::as_const(names)) {
        entries.push_back(CharacterEntry(CharacterDirectory, name));
        shown << entries.back().Name;
    }
    // Two characters of one name are told apart by their files.
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString& name = entries[static_cast<size_t>(i)].Name;
        const QString text = shown.count(name) > 1 ? name + " (" + names[i] + ")" : name;
        FileComboBoxAgent->addItem(entries[static_cast<size_t>(i)].Icon, text, names[i]);
    }
    FileComboBoxAgent->blockSignals(false);
    SetCharacterBoxFile(file);
}

// What the user typed or chose names a character by its own name or by its file name.
QString TFormMain::CharacterBoxFile() const {
    const QString text = FileComboBoxAgent->currentText();
    const int current = FileComboBoxAgent->currentIndex();
    if (current >= 0 && FileComboBoxAgent->itemText(current) == text)
        return FileComboBoxAgent->itemData(current).toString();
    for (int i = 0; i < FileComboBoxAgent->count(); ++i) {
        if (FileComboBoxAgent->itemText(i).compare(text, Qt::CaseInsensitive) == 0)
            return FileComboBoxAgent->itemData(i).toString();
    }
    return text;
}

// Shows the character's own name when the box lists the file; the file name otherwise. Runs
// no switch.
void TFormMain::SetCharacterBoxFile(const QString& fileName) {
    const int index = FileComboBoxAgent->findData(fileName, Qt::UserRole, Qt::MatchFixedString);
    const QSignalBlocker blocker(FileComboBoxAgent);
    if (index >= 0)
        FileComboBoxAgent->setCurrentIndex(index);
    FileComboBoxAgent->setEditText(index >= 0 ? FileComboBoxAgent->itemText(index) : fileName);
}

void TFormMain::SetAgentEnabled(bool enabled) {
    CheckBoxEnableAgent->setEnabled(enabled);
    if (!enabled)
        CheckBoxEnableAgent->setChecked(false);
    ActionList.ActionSayTime->setEnabled(enabled);
    RadioGroupSayTimeInterval->setEnabled(enabled);
    CheckBoxHideAgentAfterSpeak->setEnabled(enabled);
    GroupBoxAgentOptions->setEnabled(enabled);
    ButtonAgentProperties->setEnabled(enabled);
    LabelMSAgentNotInstalled1->setVisible(!enabled);
    LabelMSAgentNotInstalled2->setVisible(!enabled);
    LabelYourName->setEnabled(enabled);
    LabelFileComboBoxAgent->setEnabled(enabled);
    gblnShowAgentNotInstalledMessage = enabled;
    // The "[Agent Not Installed]" markers take room.
    FitToContent();
}

void TFormMain::FileComboBoxAgentChange() {
    if (AgentLoadedFlag) {
        try {
            TAgentCharacter& character = AgentControlPtr->Characters().Item(CharacterFileName);
            if (character.Commands().Count() != 0)
                character.Commands().RemoveAll();
            if (character.Visible())
                character.Hide(true);
            AgentControlPtr->Characters().Unload(CharacterFileName);
        } catch (const std::exception&) {
        }
    }
    AgentLoadedFlag = false;
    try {
        if (AgentControlPtr == nullptr)
            AgentControlPtr = new TAgentControl(QCoreApplication::instance());
        CharacterFileName = CharacterBoxFile();
        AgentControlPtr->Characters().Load(CharacterFileName, CharacterFileName);
        AgentLoadedFlag = true;
        SetAgentEnabled(true);
        RecentCharacters.removeAll(CharacterFileName);
        RecentCharacters.prepend(CharacterFileName);
        while (RecentCharacters.size() > RecentCharacterCount)
            RecentCharacters.removeLast();
        // The box lists the most recent choices first, this one included.
        FillCharacterBox();
    } catch (const std::exception&) {
        AgentLoadedFlag = false;
        SetAgentEnabled(false);
        platform::MessageDlg(AgentNotLoadedText, platform::TMsgDlgType::Error, platform::mbOK);
    }
}

void TFormMain::ButtonAgentPropertiesClick() {
    if (AgentControlPtr != nullptr)
        AgentControlPtr->SetPropertySheetVisible(true);
}

// The wizard's guides and its Test button speak while the wizard is on the screen; the
// character then stands where it leaves the wizard readable.
void TFormMain::MyAgentSpeak(const QString& text, QWidget* anchor, bool hide) {
    if (AgentLoadedFlag && CheckBoxEnableAgent->isChecked())
        AgentSpeakBesideWizard(*AgentControlPtr, CharacterFileName, text, anchor, hide);
}

void TFormMain::MyAgentStopAll(bool hide) {
    if (!AgentLoadedFlag)
        return;
    try {
        TAgentCharacter& character = AgentControlPtr->Characters().Item(CharacterFileName);
        if (character.Commands().Count() != 0)
            character.Commands().RemoveAll();
        character.StopAll(QVariant());
        if (character.Visible() && hide)
            character.Hide(true);
    } catch (const std::exception&) {
    }
}

void TFormMain::AgentDblClick() {
    if (CheckInProgress && Worker)
        Worker->Terminate();
    MyAgentStopAll(CheckBoxHideAgentAfterSpeak->isChecked());
}

void TFormMain::SayTime() {
    SayTime(EditYourName->text());
}

void TFormMain::SayTime(const QString& yourName) {
    const QString text = SayTimeTextNow(yourName);
    if (AgentLoadedFlag)
        AgentSpeakBesideWizard(*AgentControlPtr, CharacterFileName, text, OvcClock,
                               CheckBoxHideAgentAfterSpeak->isChecked());
}

void TFormMain::OvcClockMinuteChange() {
    // One reading of the clock for the whole tick: the minute that decides and the time that
    // quiet hours are measured against are the same.
    const QTime now = QTime::currentTime();
    const MinuteTickDecision decision = MinuteTick(
        now.minute(), RadioGroupSayTimeInterval->ItemIndex(), CheckBoxEnableEmailCheck->isChecked(),
        CheckInterval->cleanText(), CheckInterval->value());
    // The desktop is asked about do-not-disturb only when the time is due to be spoken.
    const bool speak = decision.Speak && AgentLoadedFlag &&
                       SpeechAllowedAt(now, QuietHours(), TSpeechOccasion::OwnAccord);
    if (decision.Speak && AgentLoadedFlag && !speak)
        DebugLine(QStringLiteral("DEBUG: Quiet hours or do not disturb: the time is not spoken"),
                  false);
    // An error from the character ends the tick here: this minute neither
    // checks mail nor refreshes the state.
    if (speak) {
        try {
            SayTime();
        } catch (...) {
            platform::TTalvoroApplication::ReportException(std::current_exception());
            return;
        }
    }
    // While the push connection has reported everything since the last check, the scheduled
    // check would find nothing more: the tick only refreshes the state.
    const bool covered = decision.Action == TickAction::RunMailCheck && Push->SkipScheduledCheck();
    if (covered)
        DebugLine(QStringLiteral("DEBUG: Push: scheduled check skipped, the push connection "
                                 "reports new mail"),
                  false);
    if (decision.Action == TickAction::RunMailCheck && !covered)
        RunMailCheck();
    else
        CheckProgramState(true);
}

TQuietHours TFormMain::QuietHours() const {
    const QString format = QStringLiteral("HH:mm");
    return TQuietHours::FromSettings(
        CheckBoxQuietHours->isChecked() ? QStringLiteral("1") : QStringLiteral("0"),
        QuietHoursFrom->time().toString(format), QuietHoursTo->time().toString(format));
}

bool TFormMain::CheckMayBeHeard() {
    if (CheckAskedByUser())
        return true;
    if (Worker.isNull() || HeardDecidedFor != Worker) {
        HeardDecidedFor = Worker;
        CheckHeard = SpeechAllowedNow(QuietHours(), TSpeechOccasion::OwnAccord);
        if (!CheckHeard)
            DebugLine(
                QStringLiteral("DEBUG: Quiet hours or do not disturb: new mail is not spoken"),
                false);
    }
    return CheckHeard;
}

void TFormMain::AnnounceMail(const QString& text, bool hide) {
    if (CheckMayBeHeard()) {
        AgentSpeakAt(*AgentControlPtr, CharacterFileName, text, OvcClock, hide);
        return;
    }
    // Shown, not heard, and only where the user is already looking.
    TAgentCharacter& character = AgentControlPtr->Characters().Item(CharacterFileName);
    if (!character.Visible())
        return;
    character.Think(text);
    if (hide)
        character.Hide(false);
}

void TFormMain::CheckBoxClockFaceClick() {
    OvcClock->SetShowFace(CheckBoxClockFace->isChecked());
}

void TFormMain::CheckBoxDrawClockTickMarksClick() {
    OvcClock->SetDrawTickMarks(CheckBoxDrawClockTickMarks->isChecked());
}
