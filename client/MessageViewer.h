#pragma once

#include <QDialog>

// The message window: a fixed top-level window that shows one message at a time.
class CMessageViewer : public QDialog {
    Q_OBJECT
public:
    explicit CMessageViewer(QWidget* parent = nullptr);

    // Another start of the program asked for this window.
    void BringToFront();
};
