#pragma once

#include <QObject>

namespace engine {

// The printed form's document. It holds no data: the form's record lives in its view.
class CPrintMeDoc : public QObject {
    Q_OBJECT
public:
    explicit CPrintMeDoc(QObject* parent = nullptr);

    bool OnNewDocument();
    // The document's flag word; nothing sets it.
    quint32 GetFlags() const { return flags_; }

private:
    quint32 flags_ = 0;
};

}  // namespace engine
