#pragma once
// The component's own options window ("Character Options"): which voice
// speaks ("Voice: built-in" or "Voice: desktop speech service"), the built-in
// voice, speed, pitch, volume and the word balloon. The built-in voice's settings are disabled
// while the desktop speech service is chosen, which uses the desktop's own. It reads and stores
// the options through the two functions its owner (the control) gives it: OK and Apply store
// them, Cancel leaves them as they were. The options take effect from the next Speak. Window
// thread only.
#include "agent/AgentOptions.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QRadioButton;
class QSlider;
class QSpinBox;
class TAgentControl;

class TAgentPropertySheet : public QWidget {
    Q_OBJECT
public:
    using TRead = std::function<TAgentOptions()>;
    using TStore = std::function<void(const TAgentOptions&)>;

    TAgentPropertySheet(TRead read, TStore store);
    // The sheet of a control's options (defined with the control, which knows this sheet).
    explicit TAgentPropertySheet(TAgentControl& control);
    // Shows the current options.
    void Reload();
    // The options as the window shows them.
    TAgentOptions Edited() const;
    void Apply();

private:
    TRead FRead;
    TStore FStore;
    QRadioButton* FBuiltIn;
    QRadioButton* FDesktop;
    QWidget* FBuiltInVoice; // the settings below, which only the built-in voice uses
    QComboBox* FVoice;
    QSpinBox* FSpeed;
    QSpinBox* FPitch;
    QSlider* FVolume;
    QCheckBox* FBalloon;
};
