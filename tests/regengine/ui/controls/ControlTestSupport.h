#pragma once

#include "regengine/core/QmStrStream.h"
#include "regengine/ui/element/FieldNameSource.h"
#include "regengine/ui/element/QmBasicWindow.h"
#include "regengine/ui/element/QmControl.h"

#include "platform/ui/Ui.h"

#include <QCheckBox>
#include <QKeyEvent>

#include <string>
#include <vector>

namespace controltest {

// Message boxes and beeps recorded instead of shown, for the life of the object.
class MessageRecorder final : public platform::MessageSink {
public:
    struct Box {
        QString text;
        QString caption;
        unsigned style;
    };
    MessageRecorder() { platform::setMessageSink(this); }
    ~MessageRecorder() override { platform::setMessageSink(nullptr); }
    int messageBox(const QString& text, const QString& caption, unsigned style) override
    {
        boxes.push_back({text, caption, style});
        return platform::defaultButton(style);
    }
    void beep(unsigned style) override { beeps.push_back(style); }

    std::vector<Box> boxes;
    std::vector<unsigned> beeps;
};

// A page stand-in: a shown top-level widget that records every notification reaching it
// and names fields from a fixed table, as the registration window does.
class RecordingPage : public engine::QmBasicWindow, public engine::FieldNameSource {
public:
    RecordingPage() : engine::QmBasicWindow(nullptr)
    {
        SetCode(engine::FourCC("PAGE"));
        resize(400, 300);
    }
    int OnNotify(engine::QmWind* source, int code, int value) override
    {
        log.push_back(engine::FieldCodeToString(source->GetCode()).toStdString() + ":" + std::to_string(code) + ":" +
                      std::to_string(value));
        return 0;
    }
    QString GetFieldDisplayName(const engine::FourCC& code) const override
    {
        return names.value(engine::FieldCodeToString(code));
    }
    std::vector<std::string> log;
    QHash<QString, QString> names;
};

// A check box as the state buttons behave: a click stores the new value and then notifies,
// SetValue notifies first and then stores; Tab and Shift+Tab ask the group to let the
// focus out.
class TestCheck : public QCheckBox, public engine::QmControl {
public:
    TestCheck(engine::QmWind* parent, const char* code, const char* text = "")
        : QCheckBox(QString::fromLatin1(text), ParentWindowOf(parent)), engine::QmControl(parent)
    {
        SetWindow(this);
        SetCode(engine::FourCC(code));
        setFocusPolicy(Qt::StrongFocus);
        show();
    }
    int SetValue(int value) override
    {
        const int old = engine::QmControl::SetValue(value);
        const QSignalBlocker block(this);
        setChecked(Value() != 0);
        return old;
    }
    QString GetValue() const override { return Value() != 0 ? text() : QString(); }
    // As a state button: "0" and the empty text uncheck, anything else checks.
    void SetTextNotify(const QString& text) override { SetValue(!text.isEmpty() && text != u"0" ? 1 : 0); }

protected:
    void nextCheckState() override
    {
        QCheckBox::nextCheckState();
        StoreThenNotify(isChecked() ? 1 : 0);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Backtab ||
            (event->key() == Qt::Key_Tab && (event->modifiers() & Qt::ShiftModifier)))
            Notify(engine::QmNotify::LeaveGroupBackward, 0);
        else if (event->key() == Qt::Key_Tab)
            Notify(engine::QmNotify::LeaveGroupForward, 0);
        else
            QCheckBox::keyPressEvent(event);
    }
    bool event(QEvent* e) override
    {
        // Tab reaches keyPressEvent, as it does for the engine's buttons.
        if (e->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(e);
            if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
                keyPressEvent(key);
                return true;
            }
        }
        return QCheckBox::event(e);
    }

private:
    void StoreThenNotify(int value)
    {
        // The user's change is stored before the group hears of it.
        const bool locked = Lock(true);
        engine::QmControl::SetValue(value);
        Lock(locked);
        Notify(engine::QmNotify::ValueChanged, value);
    }
};

inline engine::QmStrStream line(const char* text)
{
    return engine::QmStrStream(QString::fromLatin1(text));
}

}  // namespace controltest
