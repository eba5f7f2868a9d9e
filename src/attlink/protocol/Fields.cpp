#include "attlink/protocol/Fields.h"

#include "common/TextCodec.h"

namespace Fields {

QByteArray join(const QStringList &fields)
{
    QByteArray out;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i) out.append(Separator);
        QByteArray f = TextCodec::encode(fields[i]);
        f.replace(Separator, ' ');  // a separator inside a text would split it
        out.append(f);
    }
    return out;
}

QStringList split(const QByteArray &bytes)
{
    QStringList out;
    if (bytes.isEmpty()) return out;
    for (const QByteArray &part : bytes.split(Separator)) out << TextCodec::decode(part);
    return out;
}

}  // namespace Fields
