#include "launcher/update/ResUpdateDialog.h"

#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/QmStrStream.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace engine;

namespace launcher {

ResUpdateDialog::ResUpdateDialog(RegWind& window, FieldList fields, ResUpdateWorker::Config config, QWidget* parent)
    : QDialog(parent), window_(window), fields_(std::move(fields)),
      worker_(std::make_shared<ResUpdateWorker>(std::move(config)))
{
    setWindowTitle(QStringLiteral("Checking for Updates"));
    setModal(true);
    status_ = new QLabel(this);
    status_->setObjectName(QString::number(kStatusItem));
    status_->setMinimumWidth(320);
    status_->setWordWrap(true);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QString::number(kProgressItem));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("1"));
    ok_->hide();
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("2"));
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &ResUpdateDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addLayout(buttons);
}

ResUpdateDialog::~ResUpdateDialog()
{
    LetGo();
}

void ResUpdateDialog::LetGo()
{
    if (!worker_)
        return;
    worker_->Detach();
    worker_->StopEvent().Set();
    worker_.reset();
}

void ResUpdateDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (started_ || !worker_)
        return;
    started_ = true;
    worker_->Attach(this, [this](int message) { OnMessage(message); });
    worker_->Start();
}

void ResUpdateDialog::OnMessage(int message)
{
    switch (message) {
    case ResUpdateWorker::Status: OnStatus(); break;
    case ResUpdateWorker::Done: OnDone(); break;
    case ResUpdateWorker::ShowOk: OnShowOk(); break;
    default: break;
    }
}

void ResUpdateDialog::OnStatus()
{
    if (!worker_)
        return;
    status_->setText(worker_->StatusText());
    progress_->setValue(worker_->Progress());
}

void ResUpdateDialog::OnShowOk()
{
    ok_->show();
    cancel_->hide();
    OnStatus();
    if (worker_)
        worker_->StopEvent().Set();
}

void ResUpdateDialog::OnDone()
{
    if (!worker_)
        return;
    ApplyUpdate();
    ok_->show();
    ok_->setFocus();
    cancel_->hide();
    cancel_->setEnabled(true);
    worker_->SetStatus(14);
    OnStatus();
    worker_->DoneEvent().Set();
    worker_->Detach();
    worker_.reset();
}

void ResUpdateDialog::ApplyUpdate()
{
    if (worker_->Downloaded().isEmpty()) {
        worker_->DoneEvent().Set();
        return;
    }
    worker_->SetStatus(13, 5);
    OnStatus();
    cancel_->setEnabled(false);
    ScriptReader* reader = window_.GetScriptReader();
    if (reader == nullptr) {
        EngineTrace(QStringLiteral("ApplyUpdate: the window has no script reader"));
        return;
    }
    window_.ClearPages();
    QmStrStream script(worker_->Downloaded());
    reader->Run(&script);
    window_.ShowStartPage(0);
    worker_->SetStatus(13, 15);
}

void ResUpdateDialog::reject()
{
    if (worker_) {
        worker_->SetStatus(15);
        OnShowOk();
    }
    LetGo();
    QDialog::reject();
}

}  // namespace launcher
