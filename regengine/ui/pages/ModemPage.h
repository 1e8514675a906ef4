#pragma once

#include "regengine/ui/pages/QmRegPage.h"

#include <QString>

namespace platform {
class Telephony;
}

namespace engine {

// The page of the registration methods' options (MODEMPAGE): it shows the panel of the
// chosen method, the location controls and the other methods' choices, and fills the
// modem list when the modem method is chosen.
class ModemPage : public QmRegPage {
public:
    ModemPage(QmStrStream& script, QmWind* parent, const Background& background = {});

    // The texts of the location caption "_CAL": while "LOCA" is 0, and otherwise.
    virtual void SetLocationTexts(const QString& whenOff, const QString& whenOn);
    // The page's refresh: method panels, location, the modem method's controls, the other
    // methods' choices.
    void ApplyMethodOptions();

    bool Show(bool show) override;
    int OnNotify(QmWind* source, int code, int value) override;

    // The telephony the modem list is read from (not owned); null: the machine's own.
    static void SetTelephony(platform::Telephony* telephony);

private:
    void ApplyOptions();
    void FillModemList();

    QString locationOff_;
    QString locationOn_;
    // The refresh sets ";RIP", whose notification may come back through a group.
    bool applying_ = false;
};

}  // namespace engine
