#include "support/LinkOperationsFixture.h"

#include <QFile>

QStringList args(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *a : list) out << QString::fromLatin1(a);
    return out;
}

QString lastBox(const ScriptedOperator &op) { return op.boxes.isEmpty() ? QString() : op.boxes.last().text; }

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
