#include "regengine/ui/pages/MethodPage.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/ui/element/QmControl.h"

#include "platform/shell/Shell.h"

namespace engine {

namespace {

constexpr std::array<const char16_t*, 6> kMethodCodes = {u";MDR", u";EMR", u";BRR", u";FMR", u";WEB", u";RPC"};
// The chooser's values in the order the pages offer them: web, RPC, e-mail, modem, fax,
// printed form.
constexpr std::array<int, 6> kChooserToMethod = {4, 5, 1, 0, 3, 2};

constexpr int kMethodChanged = 822;
constexpr int kOpenWebRegistration = 823;
constexpr int kNextPage = 2001;
constexpr int kMethodCommand = 2005;
constexpr int kSiteBuffer = 1024;

}  // namespace

MethodPage::MethodPage(QmStrStream& script, QmWind* parent, const Background& background)
    : QmRegPage(script, parent, background)
{}

QString MethodPage::MethodCodeOf(int index)
{
    return index >= 0 && index < int(kMethodCodes.size()) ? QString::fromUtf16(kMethodCodes[size_t(index)]) : QString();
}

void MethodPage::AddWebSite(const QString& text)
{
    if (siteCount_ >= kMaxSites)
        return;
    sites_[size_t(siteCount_++)] = text.left(kSiteLimit);
}

int MethodPage::GetMethodCode(QString* code) const
{
    if (code != nullptr)
        *code = MethodCodeOf(methodIndex_);
    return methodIndex_;
}

void MethodPage::UpdateMethod(bool apply)
{
    auto* chooser = dynamic_cast<QmControl*>(FindByCode(FourCC("-RMT")));
    if (chooser == nullptr || !apply)
        return;
    const int value = chooser->Value();
    if (value >= 0 && value < int(kChooserToMethod.size()))
        methodIndex_ = kChooserToMethod[size_t(value)];
}

bool MethodPage::Show(bool show)
{
    return QmRegPage::Show(show);
}

int MethodPage::OnNotify(QmWind* source, int code, int value)
{
    switch (code) {
    case kMethodChanged:
        UpdateMethod(true);
        if (methodIndex_ == kWebMethod) {
            QmRegPage::OnNotify(this, kNextPage, 0);
            OpenSite();
        } else {
            QmRegPage::OnNotify(this, kMethodCommand, kMethodChanged);
        }
        return 1;
    case kOpenWebRegistration:
        QmRegPage::OnNotify(this, kNextPage, 0);
        OpenSite();
        return 1;
    case QmNotify::SelectionChanged: return 1;
    default: return QmRegPage::OnNotify(source, code, value);
    }
}

// The address goes to the desktop only as a web or mail address: a script or a field value
// must not be able to start a program or open a local file through it.
void MethodPage::OpenSite()
{
    QString site = sites_[size_t(selectedSite_)].left(kSiteBuffer);
    if (substitute_)
        site = substitute_(site);
    QString error;
    if (!platform::openWebOrMailAddress(site, &error))
        EngineTrace(QStringLiteral("Registration site not opened: ") + error);
}

}  // namespace engine
