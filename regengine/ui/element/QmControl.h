#pragma once

#include "regengine/ui/element/QmWind.h"

namespace engine {

// An input element: a numeric value, the command number it sends and another element it
// acts on. With the two-state flag its text is a switch: "1" or "T" at the start means 1,
// anything else 0, and a value of 0 reads as the empty text.
class QmControl : public QmWind {
public:
    QmControl() = default;
    explicit QmControl(QmWind* parent) : QmWind(parent) {}

    // The text's leading decimal number through SetValue; nullopt does nothing and gives 0.
    virtual int SetValueText(const std::optional<QString>& text);
    // Notifies 1001 with the new value while the old one is still held, then stores it.
    // Returns the old value.
    virtual int SetValue(int value);
    // The value in decimal into `out` when it is given; returns the value.
    virtual int GetValueText(QString* out) const;
    virtual void SetTarget(QmWind* target);
    // Returns the old command.
    virtual int SetCommand(int command);
    virtual int GetCommand() const;

    void SetTextNotify(const QString& text) override;
    QString GetValue() const override;
    void GetValueAndStored(QString& value, std::optional<QString>* stored) const override;

    int Value() const { return value_; }
    QmWind* GetTarget() const { return target_; }

private:
    bool ReadsAsEmpty() const { return (GetFlags() & QmFlag::TwoState) && value_ == 0; }

    QmWind* target_ = nullptr;
    int command_ = 0;
    int value_ = 0;
};

}  // namespace engine
