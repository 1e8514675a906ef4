// Any bytes as the launcher's command line, one argument a line (UTF-8). The product code
// is the installation's: no argument may set a PROD field, however its code is written,
// and every field that is set is repeated in the pass-through text, which a reminder start
// reads back into the same fields and serial-number location.
#include "launcher/app/QmCommandLineInfo.h"

#include "regengine/core/FieldList.h"
#include "regengine/ui/dialogs/ReminderKeeper.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace engine;
using namespace launcher;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList arguments;
    for (const QByteArray& line : bytes.split('\n'))
        arguments << QString::fromUtf8(line);
    FieldList fields;
    QmCommandLineInfo info(&fields);
    info.ParseCommandLine(arguments);
    for (const auto& field : fields) {
        if (field->GetCode() == FourCC("PROD")) {
            std::fprintf(stderr, "the command line set the product code\n");
            std::abort();
        }
        if (!info.GetPassThrough().contains(u'/' + FieldCodeToString(field->GetCode()) + u'=')) {
            std::fprintf(stderr, "a field set is missing from the pass-through text\n");
            std::abort();
        }
    }
    if (info.GetMode() < -1 || info.GetMode() > 2)
        std::abort();

    // Codes holding blanks or quotes cannot be told apart from the text around them.
    for (const auto& field : fields) {
        for (const QChar c : FieldCodeToString(field->GetCode()))
            if (c == u' ' || c == u'\t' || c == u'"' || c == u'\\' || c == u'\0')
                return 0;
    }
    FieldList again;
    QmCommandLineInfo reminded(&again);
    reminded.ParseCommandLine(SplitArgumentsText(info.GetPassThrough()));
    bool same = reminded.GetSerialNumberLocation() == info.GetSerialNumberLocation();
    for (const auto& field : fields)
        same = same && again.GetField(field->GetCode()) == field->GetValue();
    if (!same) {
        std::fprintf(stderr, "the pass-through text does not read back as it was given\n");
        std::abort();
    }
    return 0;
}
