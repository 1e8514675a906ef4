#include "regengine/ui/pages/ModemPage.h"

#include "regengine/core/QmStringList.h"
#include "regengine/transport/ComLineMgr.h"
#include "regengine/ui/controls/QmCombo.h"
#include "regengine/ui/controls/QmGroupWindow.h"
#include "regengine/ui/element/QmControl.h"

#include <QWidget>

namespace engine {

namespace {

platform::Telephony* g_telephony = nullptr;

struct MethodPanel {
    const char* method;
    const char* panel;
};
constexpr MethodPanel kPanels[] = {
    {";RPC", "-RMD"}, {";EMR", "-EMD"}, {";MDR", "-MMD"}, {";FMR", "-FMD"}, {";BRR", "-BMD"},
};
// Shown only while the other methods are offered; ";RPC" always stays.
constexpr const char* kOtherChoices[] = {";EMR", ";MDR", ";FMR", ";BRR", "-CIM", "-CM8", "-CFX", "-CML"};

constexpr int kMethodValueLimit = 64;

int ValueOf(QmWind* element)
{
    auto* control = dynamic_cast<QmControl*>(element);
    return control != nullptr ? control->Value() : element->GetInt();
}

void EnableElement(QmWind* element, bool enable)
{
    if (element != nullptr && element->GetWindow() != nullptr)
        element->GetWindow()->setEnabled(enable);
}

// Hidden and shown again: a group repaints its members after theirs changed.
void Repaint(QmWind* element)
{
    element->Show(false);
    element->Show(true);
}

}  // namespace

ModemPage::ModemPage(QmStrStream& script, QmWind* parent, const Background& background)
    : QmRegPage(script, parent, background)
{}

void ModemPage::SetTelephony(platform::Telephony* telephony)
{
    g_telephony = telephony;
}

void ModemPage::SetLocationTexts(const QString& whenOff, const QString& whenOn)
{
    locationOff_ = whenOff;
    locationOn_ = whenOn;
}

void ModemPage::ApplyMethodOptions()
{
    if (applying_)
        return;
    applying_ = true;
    ApplyOptions();
    applying_ = false;
}

void ModemPage::ApplyOptions()
{
    QmWind* methods = FindByCode(FourCC(";MTH"));
    if (methods != nullptr) {
        const QString chosen = methods->GetValue().left(kMethodValueLimit);
        for (const MethodPanel& entry : kPanels)
            ShowChild(FourCC(entry.panel), chosen == QLatin1String(entry.method));
    }

    QmWind* location = FindByCode(FourCC("LOCA"));
    QmWind* caption = FindByCode(FourCC("_CAL"));
    if (location != nullptr && caption != nullptr) {
        const bool on = ValueOf(location) != 0;
        caption->Show(on);
        caption->SetText(on ? locationOn_ : locationOff_);
        if (QmWind* clt = FindByCode(FourCC("-CLT")))
            clt->Show(on);
        if (!on) {
            if (QmWind* hid = FindByCode(FourCC("-HID")))
                Repaint(hid);
        }
    }

    if (methods != nullptr) {
        auto* group = dynamic_cast<QmGroupWindow*>(methods);
        QmWind* modemChoice = FindByCode(FourCC(";MDR"));
        const bool modem =
            group != nullptr && modemChoice != nullptr && static_cast<QmWind*>(group->GetSelected()) == modemChoice;
        ShowChild(FourCC("-HID"), modem);
        EnableElement(location, modem);
        EnableElement(FindByCode(FourCC("dlpr")), modem);
        EnableElement(caption, modem);
        EnableElement(FindByCode(FourCC("-CTD")), modem);
        if (modem)
            FillModemList();
    }

    QmWind* others = FindByCode(FourCC(";OTH"));
    if (others == nullptr)
        return;
    const bool show = ValueOf(others) != 0;
    if (!show) {
        if (auto* rip = dynamic_cast<QmControl*>(FindByCode(FourCC(";RIP"))))
            rip->SetValue(1);
    }
    for (const char* code : kOtherChoices)
        ShowChild(FourCC(code), show);
    if (methods != nullptr)
        Repaint(methods);
}

// Filled once: a list that holds items already is the user's, and reading the lines again
// would open every port.
void ModemPage::FillModemList()
{
    auto* list = dynamic_cast<QmCombo*>(FindByCode(FourCC("_MDM")));
    if (list == nullptr || list->count() > 0)
        return;
    ComLineMgr manager(g_telephony);
    const std::unique_ptr<QmStringList> modems = manager.GetModemList();
    if (modems == nullptr)
        return;
    // Each entry is "name^device index": the name shows, the index is the value.
    list->AddFlags(QmChoiceFlag::HiddenValues);
    list->Fill(*modems);
}

bool ModemPage::Show(bool show)
{
    if (show)
        ApplyMethodOptions();
    return QmRegPage::Show(show);
}

int ModemPage::OnNotify(QmWind* source, int code, int value)
{
    switch (code) {
    case QmNotify::ValueChanged:
        if (source != nullptr && source->GetCode() == FourCC(";OTH"))
            ApplyMethodOptions();
        return 1;
    case QmNotify::ItemChosen:
    case QmNotify::SelectionChanged: ApplyMethodOptions(); return 1;
    default: return QmRegPage::OnNotify(source, code, value);
    }
}

}  // namespace engine
