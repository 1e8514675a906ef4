#pragma once

#include <QByteArrayView>
#include <QString>

namespace engine {

class Displayer;

// Writes a buffer as a listing of ten bytes a line, in two groups of five: the offset of the
// line's first byte, the bytes in hexadecimal, then the same bytes as characters.
class Dumper {
public:
    Dumper() = default;
    virtual ~Dumper();

    // The displayer to write to (not owned); nothing is dumped without one.
    void Attach(Displayer* displayer) { displayer_ = displayer; }
    Displayer* GetDisplayer() const { return displayer_; }

    // A title line "\r\n<title> <length>  @ <offset>" first when `title` is not null.
    void Dump(const QString& title, QByteArrayView data, long offset);

private:
    Displayer* displayer_ = nullptr;
};

}  // namespace engine
