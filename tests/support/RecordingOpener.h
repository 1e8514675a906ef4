#pragma once

// URLs handed to the desktop, recorded instead of opened, for the life of the object.

#include "platform/shell/Shell.h"

#include <QList>
#include <QStringList>
#include <QUrl>

namespace testsupport {

class RecordingOpener final : public platform::UrlOpener {
public:
    RecordingOpener() { platform::setUrlOpener(this); }
    ~RecordingOpener() override { platform::setUrlOpener(nullptr); }
    RecordingOpener(const RecordingOpener&) = delete;
    RecordingOpener& operator=(const RecordingOpener&) = delete;
    bool open(const QUrl& url, QString*) override
    {
        opened.append(url);
        return true;
    }
    // The URLs as text, in order.
    QStringList texts() const
    {
        QStringList out;
        for (const QUrl& url : opened)
            out << url.toString();
        return out;
    }
    QList<QUrl> opened;
};

}  // namespace testsupport
