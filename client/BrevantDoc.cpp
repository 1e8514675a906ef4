#include "client/BrevantDoc.h"

#include "client/Settings.h"

CBrevantDoc::CBrevantDoc(QObject* parent) : QObject(parent) {}

bool CBrevantDoc::OnNewDocument()
{
    return true;
}

void CBrevantDoc::OnCloseDocument()
{
    Settings::Instance().Save();
}
