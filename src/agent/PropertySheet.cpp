#include "agent/PropertySheet.h"

#include "agent/SpeechEngine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

TAgentPropertySheet::TAgentPropertySheet(TRead read, TStore store)
    : QWidget(nullptr, Qt::Dialog), FRead(std::move(read)), FStore(std::move(store)) {
    setObjectName(QStringLiteral("AgentPropertySheet"));
    setWindowTitle(QStringLiteral("Character Options"));

    FBuiltIn = new QRadioButton(QStringLiteral("Voice: built-in"), this);
    FBuiltIn->setObjectName(QStringLiteral("RadioButtonBuiltInVoice"));
    FDesktop = new QRadioButton(QStringLiteral("Voice: desktop speech service"), this);
    FDesktop->setObjectName(QStringLiteral("RadioButtonDesktopVoice"));
    FDesktop->setToolTip(QStringLiteral(
        "Speak with the voice chosen for the desktop (speech-dispatcher), as screen readers do. "
        "The built-in voice speaks when the service is not available."));

    FVoice = new QComboBox(this);
    FVoice->setObjectName(QStringLiteral("ComboBoxVoice"));
    FVoice->addItem(QStringLiteral("The character's own voice"), QString());
    for (const QString& v : TSpeechEngine::Instance().Voices()) {
        const QString id = v.section('\t', 0, 0);
        FVoice->addItem(QStringLiteral("%1 (%2)").arg(v.section('\t', 1), id), id);
    }
    FSpeed = new QSpinBox(this);
    FSpeed->setObjectName(QStringLiteral("SpinBoxSpeed"));
    FSpeed->setRange(50, 200);
    FSpeed->setSuffix(QStringLiteral(" %"));
    FPitch = new QSpinBox(this);
    FPitch->setObjectName(QStringLiteral("SpinBoxPitch"));
    FPitch->setRange(-50, 50);
    FVolume = new QSlider(Qt::Horizontal, this);
    FVolume->setObjectName(QStringLiteral("SliderVolume"));
    FVolume->setRange(0, 100);
    FBalloon = new QCheckBox(QStringLiteral("Show the word balloon"), this);
    FBalloon->setObjectName(QStringLiteral("CheckBoxBalloon"));

    // The desktop service speaks with the voice, speed, pitch and volume chosen
    // for the desktop: these apply to the built-in voice only, and are
    // disabled, labels and all, while the service is chosen.
    FBuiltInVoice = new QWidget(this);
    FBuiltInVoice->setObjectName(QStringLiteral("BuiltInVoiceSettings"));
    auto* voiceForm = new QFormLayout(FBuiltInVoice);
    voiceForm->setContentsMargins(0, 0, 0, 0);
    voiceForm->addRow(QStringLiteral("Built-in voice"), FVoice);
    voiceForm->addRow(QStringLiteral("Speed"), FSpeed);
    voiceForm->addRow(QStringLiteral("Pitch"), FPitch);
    voiceForm->addRow(QStringLiteral("Volume"), FVolume);
    connect(FDesktop, &QRadioButton::toggled, FBuiltInVoice, &QWidget::setDisabled);

    auto* form = new QFormLayout;
    form->addRow(FBuiltIn);
    form->addRow(FDesktop);
    form->addRow(FBuiltInVoice);
    form->addRow(QString(), FBalloon);

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        Apply();
        hide();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::hide);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &TAgentPropertySheet::Apply);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    Reload();
}

void TAgentPropertySheet::Reload() {
    const TAgentOptions o = FRead();
    int index = FVoice->findData(o.Voice);
    if (index < 0) {
        // A voice from the file that this system lacks is still shown as chosen.
        FVoice->addItem(o.Voice, o.Voice);
        index = FVoice->count() - 1;
    }
    FVoice->setCurrentIndex(index);
    (o.Engine == TSpeechVoice::DesktopService ? FDesktop : FBuiltIn)->setChecked(true);
    FSpeed->setValue(o.Speed);
    FPitch->setValue(o.Pitch);
    FVolume->setValue(o.Volume);
    FBalloon->setChecked(o.Balloon);
}

TAgentOptions TAgentPropertySheet::Edited() const {
    TAgentOptions o;
    o.Engine = FDesktop->isChecked() ? TSpeechVoice::DesktopService : TSpeechVoice::BuiltIn;
    o.Voice = FVoice->currentData().toString();
    o.Speed = FSpeed->value();
    o.Pitch = FPitch->value();
    o.Volume = FVolume->value();
    o.Balloon = FBalloon->isChecked();
    return o;
}

void TAgentPropertySheet::Apply() {
    FStore(Edited());
}
