#include "client/ui/HelpTab.h"

#include "client/Trace.h"
#include "platform/shell/Shell.h"
#include "ui_HelpTab.h"

namespace client {

namespace {

void OpenPage(const QUrl& url)
{
    QString error;
    if (!platform::openUrl(url, &error))
        qCInfo(lcClient).noquote() << error;
}

// The pages live on the maker's web site, whose host the build configures.
QUrl supportPage(const QString& page)
{
    return QUrl(QStringLiteral("https://" OVEX_SUPPORT_HOST "/ovex/?PAGE=") + page);
}

}  // namespace

CHelpTab::CHelpTab(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::CHelpTab>())
{
    ui_->setupUi(this);
    connect(ui_->launchFaq, &QPushButton::clicked, this, [] { OpenPage(FaqUrl()); });
    connect(ui_->launchPrivacy, &QPushButton::clicked, this, [] { OpenPage(PrivacyUrl()); });
}

CHelpTab::~CHelpTab() = default;

QUrl CHelpTab::FaqUrl()
{
    return supportPage(QStringLiteral("faq"));
}

QUrl CHelpTab::PrivacyUrl()
{
    return supportPage(QStringLiteral("privacy"));
}

}  // namespace client
