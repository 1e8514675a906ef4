#pragma once

#include "client/Database.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/StoredRows.h"
#include "tests/support/TestEnvironment.h"

#include <QStringList>

#include <ostream>

#include <xmlrpc.h>

namespace modeltest {

// Closes the client's connection and opens brevant.dat again: what comes back is only
// what a save committed.
inline sqlite3* reopen()
{
    client::Database::Close();
    return client::Database::Instance();
}

using testsupport::rows;

inline int count(const QString& table)
{
    int error = 0;
    const client::Database::Rows r = client::Database::Query(QStringLiteral("SELECT COUNT(*) AS n FROM ") + table,
                                                             client::Database::Instance(), &error);
    return error != 0 || r.empty() ? -1 : client::GetField(r.front(), QStringLiteral("n")).toInt();
}

inline QString fixture(const QString& name)
{
    return testsupport::fixturePath(QStringLiteral("tova/") + name);
}

// A value as compact XML-RPC text, markup escaped, UTF-8 kept as it is. Takes the value.
inline QString toXml(XMLRPC_VALUE value)
{
    XMLRPC_REQUEST request = XMLRPC_RequestNew();
    XMLRPC_RequestSetMethodName(request, "m");
    XMLRPC_RequestSetRequestType(request, xmlrpc_request_call);
    STRUCT_XMLRPC_REQUEST_OUTPUT_OPTIONS options{};
    options.xml_elem_opts.verbosity = xml_elem_no_white_space;
    options.xml_elem_opts.escaping = xml_elem_markup_escaping;
    options.xml_elem_opts.encoding = "UTF-8";
    options.version = xmlrpc_version_1_0;
    XMLRPC_RequestSetOutputOptions(request, &options);
    // The request's data is its list of parameters; the value is the only one.
    XMLRPC_VALUE params = XMLRPC_CreateVector(nullptr, xmlrpc_vector_array);
    XMLRPC_AddValueToVector(params, value);
    XMLRPC_RequestSetData(request, params);
    int length = 0;
    char* xml = XMLRPC_REQUEST_ToXML(request, &length);
    QString text = QString::fromUtf8(xml, length);
    free(xml);
    XMLRPC_RequestFree(request, 1);
    // Only the parameter matters, not the call around it.
    const qsizetype from = text.indexOf(QStringLiteral("<param>"));
    const qsizetype to = text.lastIndexOf(QStringLiteral("</param>"));
    return from < 0 || to < 0 ? text : text.mid(from + 7, to - from - 7);
}

// Parses "<value>...</value>" text into a value, as a reply from the service would arrive.
inline XMLRPC_VALUE fromXml(const char* valueXml)
{
    const QByteArray call = QByteArray("<?xml version=\"1.0\"?><methodResponse><params><param>") + valueXml +
                            "</param></params></methodResponse>";
    STRUCT_XMLRPC_REQUEST_INPUT_OPTIONS options{};
    options.xml_elem_opts.encoding = "UTF-8";
    XMLRPC_REQUEST response = XMLRPC_REQUEST_FromXML(call.constData(), int(call.size()), &options);
    XMLRPC_VALUE value = XMLRPC_CopyValue(XMLRPC_RequestGetData(response));
    XMLRPC_RequestFree(response, 1);
    return value;
}

}  // namespace modeltest
