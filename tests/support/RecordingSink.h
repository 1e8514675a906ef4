#pragma once

// Message boxes recorded instead of shown, installed for the life of the object.

#include "platform/ui/Ui.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

namespace testsupport {

class RecordingSink final : public platform::MessageSink {
public:
    struct Box {
        QString text, caption;
        unsigned style = 0;
    };
    RecordingSink() { platform::setMessageSink(this); }
    ~RecordingSink() override { platform::setMessageSink(nullptr); }
    RecordingSink(const RecordingSink&) = delete;
    RecordingSink& operator=(const RecordingSink&) = delete;

    // Answered from `answers` in turn, then with `answer`, or the default button when 0.
    int messageBox(const QString& text, const QString& caption, unsigned style) override
    {
        boxes.push_back({text, caption, style});
        if (!answers.empty()) {
            const int next = answers.front();
            answers.pop_front();
            return next;
        }
        return answer != 0 ? answer : platform::defaultButton(style);
    }
    void beep(unsigned) override {}
    // The boxes as "<caption>: <text>", in order.
    QStringList shown() const
    {
        QStringList out;
        for (const Box& b : boxes)
            out << b.caption + QStringLiteral(": ") + b.text;
        return out;
    }

    std::vector<Box> boxes;
    std::deque<int> answers;
    int answer = 0;
};

}  // namespace testsupport
