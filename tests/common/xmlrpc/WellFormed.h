#pragma once

// Whether expat alone reads a document to its end: the reply tables check their rows
// with it, so a case meant to be well formed cannot be broken by a typo.

#include <QByteArray>

#include <expat.h>

namespace xmlrpctest {

inline bool expatAccepts(const QByteArray& xml)
{
    XML_Parser parser = XML_ParserCreate(nullptr);
    const bool ok = XML_Parse(parser, xml.constData(), int(xml.size()), 1) != XML_STATUS_ERROR;
    XML_ParserFree(parser);
    return ok;
}

}  // namespace xmlrpctest
