#include "regengine/print/PrintMeDoc.h"

namespace engine {

CPrintMeDoc::CPrintMeDoc(QObject* parent) : QObject(parent) {}

bool CPrintMeDoc::OnNewDocument()
{
    return true;
}

}  // namespace engine
