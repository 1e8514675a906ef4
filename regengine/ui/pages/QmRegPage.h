#pragma once

#include "regengine/ui/element/QmBasicDialog.h"
#include "regengine/ui/pages/QmErrorHandler.h"

#include "regengine/core/QmStringList.h"

#include <QImage>
#include <QString>

#include <optional>

namespace engine {

class QmStrStream;

// The interpreter's background state when a page is made: SETPAGEBACKGROUND's bitmap name
// and drawing mode, SETPAGECOLOR's colour (red in the low byte), and the program module the
// bitmap is looked up in.
struct QmPageBackground {
    QString bitmapName;
    quint32 mode = 0;
    std::optional<quint32> color;
    QString module = QStringLiteral("launcher");
};

// An ordinary registration page (PAGE): a title, a background bitmap or colour, the texts
// of its RULE lines and an error handler, on top of the page base.
class QmRegPage : public QmBasicDialog {
public:
    using Background = QmPageBackground;

    // The page line after its keyword: code, rectangle, an unused number and the title (the
    // rest of the line; a title beginning with '_' leaves the page without one).
    QmRegPage(QmStrStream& script, QmWind* parent, const Background& background = {});
    ~QmRegPage() override;

    // RULE: the text joins the page's directives.
    virtual void AddListText(const QString& text);
    virtual const QmStringList& GetTextList() const;
    // SETERRORHANDLER.
    virtual void SetErrorHandler(const FourCC& code, QChar letter);
    const QmErrorHandler& GetErrorHandler() const { return errorHandler_; }

    // A bitmap object exists once a background name was given, even when no resource of
    // that name exists (then it is empty and draws nothing).
    const QImage* GetBitmap() const { return bitmap_ ? &*bitmap_ : nullptr; }
    quint32 GetDrawMode() const { return drawMode_; }
    std::optional<quint32> GetPageColor() const { return color_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QmStringList textList_;
    QmErrorHandler errorHandler_;
    std::optional<QImage> bitmap_;
    quint32 drawMode_ = 0;
    std::optional<quint32> color_;
};

}  // namespace engine
