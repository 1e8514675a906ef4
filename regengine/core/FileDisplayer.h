#pragma once

#include "regengine/core/Displayer.h"

#include <QFile>

namespace engine {

// Writes texts to a file as UTF-16LE without a byte-order mark, flushed after every write,
// so a trace survives the program ending abruptly.
class FileDisplayer : public Displayer {
public:
    explicit FileDisplayer(const Clock* clock = nullptr) : Displayer(clock) {}
    ~FileDisplayer() override;

    // Closes a file held before, then creates or truncates `path`. False when it cannot.
    bool Open(const QString& path);
    bool IsOpen() const { return file_.isOpen(); }

    void Clear() override {}
    void Append(QStringView text) override;

private:
    QFile file_;
};

}  // namespace engine
