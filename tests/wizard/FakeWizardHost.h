#pragma once
// A main window as the wizard sees it: the wizard's options in a map, and a log of every call the
// wizard makes, in order, as short lines ("get EditPOP3Server", "set CheckBoxEnableAgent=true",
// "stop hide=false", "speak anchor=page hide=false: <text>", ...). Speaking throws when the text
// equals FailOnSpeak, as the character component does on an error.
#include "agent/AgentControl.h"
#include "platform/help/HelpViewer.h"
#include "platform/registry/FileRegistry.h"
#include "wizard/CharacterBesideWizard.h"
#include "wizard/IWizardHost.h"

#include <QMap>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <stdexcept>

class EFakeAgentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TFakeWizardHost : public IWizardHost {
public:
    TFakeWizardHost()
        : Hive(std::make_unique<TFileRegistry>(Temp.path().toStdString() + "/registry.reg")) {
        Options = {
            {"CheckBoxEnableEmailCheck", true},
            {"RadioGroupInternetConnection", 0},
            {"EditPOP3Server", QString("pop.example.com")},
            {"ComboBoxPOP3Security", 0},
            {"EditPOP3Port", QString("110")},
            {"EditPOP3Account", QString("ada")},
            {"EditPOP3Password", QString("s3cret pass")},
            {"CheckBoxEnableAgent", true},
            {"CheckBoxSoundBeep", false},
            {"FileComboBoxAgent", QString("Genie.acs")},
            {"EditYourName", QString("Master")},
            {"RadioGroupSayTimeInterval", 2},
            {"CheckBoxStartWithWindows", false},
            {"ComboBoxMailProtocol", 0},
            {"EditIMAPFolder", QString("INBOX")},
            {"EditEmailAddress", QString()},
        };
    }

    QVariant GetOption(const QString& name) override {
        Log << "get " + name;
        return Options.value(name);
    }
    void SetOption(const QString& name, const QVariant& value) override {
        Log << "set " + name + "=" + value.toString();
        Options[name] = value;
    }
    bool AgentLoaded() override { return Loaded; }
    bool EnableAgentChecked() override { return AgentChecked; }
    void MyAgentSpeak(const QString& text, QWidget* anchor, bool hide) override {
        QString where = "none";
        if (anchor != nullptr)
            where = anchor->objectName();
        Log << QString("speak anchor=%1 hide=%2: %3").arg(where, Bool(hide), text);
        if (!FailOnSpeak.isEmpty() && text == FailOnSpeak)
            throw EFakeAgentError("The character could not speak.");
        if (Agent != nullptr)
            AgentSpeakBesideWizard(*Agent, CharacterId, text, anchor, hide);
    }
    void MyAgentStopAll(bool hide) override {
        Log << "stop hide=" + Bool(hide);
        if (Agent != nullptr)
            Agent->Characters().Item(CharacterId).StopAll();
    }
    void SayTime(const QString& yourName) override { Log << "saytime " + yourName; }
    bool DialUpAvailable() override {
        Log << "dialup test";
        return DialUp;
    }
    void SetRasAvailable(bool available) override { Log << "ras=" + Bool(available); }
    QPixmap LogoPixmap() override { return Logo; }
    // With a HelpFile, help really opens, owned by a stand-in for the main window.
    void OpenHelp(int context) override {
        Log << "help " + QString::number(context);
        if (HelpFile.isEmpty())
            return;
        if (!MainWindow)
            MainWindow = std::make_unique<QWidget>();
        platform::ShowHelpContext(HelpFile, context, MainWindow.get());
    }
    TRegistry& Registry() override { return *Hive; }

    // The lines of the log that start with Prefix.
    QStringList Lines(const QString& prefix) const {
        return Log.filter(QRegularExpression("^" + QRegularExpression::escape(prefix)));
    }

    QTemporaryDir Temp;
    std::unique_ptr<TFileRegistry> Hive;
    QMap<QString, QVariant> Options;
    QStringList Log;
    bool Loaded = true;
    bool AgentChecked = true;
    bool DialUp = true;
    QPixmap Logo;
    QString FailOnSpeak;
    QString HelpFile;
    // With an Agent, the character really speaks, as the main window has it speak.
    TAgentControl* Agent = nullptr;
    QString CharacterId;
    std::unique_ptr<QWidget> MainWindow;

private:
    static QString Bool(bool value) { return value ? "true" : "false"; }
};
