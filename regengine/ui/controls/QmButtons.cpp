#include "regengine/ui/controls/QmButtons.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/ui/controls/QmCaption.h"
#include "regengine/ui/controls/QmGroupWindow.h"
#include "regengine/ui/element/ScreenInfo.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QRadioButton>

namespace engine {

void ReadButtonLine(QmStrStream& script, ButtonLine& line, QmRect& rect, bool scale)
{
    line.code = FourCC(script);
    rect.ReadFromScript(script);
    if (scale)
        ScreenInfo::Instance().Scale(rect);
    script.readInt(line.id);
    script.readInt(line.command);
    script.readHex(line.flags);
}

QmPushButton::QmPushButton(QmStrStream& script, QmWind* parent, int kind)
    : QPushButton(ParentWindowOf(parent)), QmControl(parent), kind_(kind)
{
    SetWindow(this);
    ButtonLine line;
    QmRect rect;
    ReadButtonLine(script, line, rect, true);
    SetCode(line.code);
    SetText(ReadStringFromScript(script));
    Init(rect, line.id, line.command, line.flags);
}

QmPushButton::QmPushButton(const FourCC& code, const QmRect& rect, bool scale, int id, int command, quint32 flags,
                           QmWind* parent, int kind)
    : QPushButton(ParentWindowOf(parent)), QmControl(parent), kind_(kind)
{
    SetWindow(this);
    SetCode(code);
    QmRect placed = rect;
    if (scale)
        ScreenInfo::Instance().Scale(placed);
    Init(placed, id, command, flags);
}

QmPushButton::~QmPushButton() = default;

void QmPushButton::Init(const QmRect& rect, int id, int command, quint32 flags)
{
    SetRect(rect);
    SetControlId(id);
    SetCommand(command);
    AddFlags(flags);
    setAutoDefault(false);
    // Kinds above 3 are no tab items; the others are.
    setFocusPolicy(kind_ <= 3 ? Qt::StrongFocus : Qt::NoFocus);
    if (command == 0)
        setEnabled(false);
    // clicked comes once per press, from the mouse or from Space, never both.
    connect(this, &QAbstractButton::clicked, this, [this] { Pressed(); });
    setVisible((flags & QmButtonFlag::Hidden) == 0);
    SplitDisplayValue();
}

void QmPushButton::Pressed()
{
    if (GetCommand() != 0)
        Notify(GetCommand(), 0);
}

void QmPushButton::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && kind_ == 0 && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        if (!event->isAutoRepeat())
            click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

namespace {

// The window of a state button: a check box or radio button that hands clicks and Tab to
// its element.
template <typename Base>
class StateWindow final : public Base {
public:
    StateWindow(QWidget* parent, QmStateButton* owner) : Base(parent), owner_(owner)
    {
        Base::setFocusPolicy(Qt::StrongFocus);
        Base::setAutoExclusive(false);
    }

protected:
    // The whole rectangle takes the click, not only the mark and the text.
    bool hitButton(const QPoint& pos) const override { return Base::rect().contains(pos); }
    void nextCheckState() override
    {
        // A radio button is switched on by a click, never off; the group switches the others.
        const bool checked = std::is_same_v<Base, QRadioButton> ? true : !Base::isChecked();
        owner_->UserToggled(checked);
    }
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(e);
            const bool backward =
                key->key() == Qt::Key_Backtab || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
            if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && owner_->TabPressed(backward))
                return true;
        }
        return Base::event(e);
    }

private:
    QmStateButton* owner_;
};

}  // namespace

QmStateButton::QmStateButton(QmStrStream& script, QmWind* parent, int kind) : QmControl(parent), kind_(kind)
{
    QAbstractButton* window = nullptr;
    if (kind == RadioButton)
        window = new StateWindow<QRadioButton>(ParentWindowOf(parent), this);
    else
        window = new StateWindow<QCheckBox>(ParentWindowOf(parent), this);
    SetWindow(window);
    ButtonLine line;
    QmRect rect;
    ReadButtonLine(script, line, rect, true);
    SetCode(line.code);
    SetText(ReadStringFromScript(script));
    SetRect(rect);
    SetControlId(line.id);
    SetCommand(line.command);
    AddFlags(line.flags);
    // The page shows through, so the script's text colour reads on its background.
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->show();
    SplitDisplayValue();
}

QmStateButton::~QmStateButton()
{
    delete GetWindow();
}

void QmStateButton::UserToggled(bool checked)
{
    const int value = checked ? 1 : 0;
    const bool locked = Lock(true);
    QmControl::SetValue(value);
    Lock(locked);
    SyncMark();
    Notify(QmNotify::ValueChanged, value);
    PerformEvent(AttachEvent::ValueSet);
    // A group may have refused the change while it was told; the mark follows the value.
    SyncMark();
}

bool QmStateButton::TabPressed(bool backward)
{
    // Only the radio and check groups let the focus out of themselves; anywhere else the
    // window's own Tab order moves it on.
    QmWind* parent = GetParent();
    if (dynamic_cast<QmGroupWindow*>(parent) == nullptr && dynamic_cast<QmChkGroupWindow*>(parent) == nullptr)
        return false;
    Notify(backward ? QmNotify::LeaveGroupBackward : QmNotify::LeaveGroupForward, 0);
    return true;
}

void QmStateButton::SetTextNotify(const QString& text)
{
    SetValue(!text.isEmpty() && !text.startsWith(u'0') ? 1 : 0);
}

QString QmStateButton::GetValue() const
{
    if (Value() == 0)
        return {};
    return (GetFlags() & QmButtonFlag::TwoState) ? GetText() : QStringLiteral("1");
}

int QmStateButton::SetValue(int value)
{
    const int old = QmControl::SetValue(value);
    SyncMark();
    return old;
}

void QmStateButton::SyncMark()
{
    if (auto* button = qobject_cast<QAbstractButton*>(GetWindow())) {
        const QSignalBlocker block(button);
        button->setChecked(Value() != 0);
    }
}

void QmStateButton::SetAlignment(QChar horizontal, QChar)
{
    if (horizontal == u'R' && GetWindow() != nullptr)
        GetWindow()->setLayoutDirection(Qt::RightToLeft);
}

void QmStateButton::UpdateColors()
{
    if (ScreenInfo::Instance().ContrastMode()) {
        const QColor system = QApplication::palette().color(QPalette::WindowText);
        SetTextColor(qint16(system.red()), qint16(system.green()), qint16(system.blue()));
    } else {
        const quint32 font = GetFontColor();
        SetTextColor(qint16(font & 0xFF), qint16(font >> 8 & 0xFF), qint16(font >> 16 & 0xFF));
    }
    if (QWidget* window = GetWindow()) {
        QPalette p = window->palette();
        p.setColor(QPalette::WindowText, ColorFromRef(GetTextColor()));
        p.setColor(QPalette::ButtonText, ColorFromRef(GetTextColor()));
        window->setPalette(p);
    }
    QmControl::UpdateColors();
}

}  // namespace engine
