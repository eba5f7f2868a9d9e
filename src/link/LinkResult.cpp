#include "link/LinkResult.h"

#include <cmath>

namespace LinkResult {

namespace {
LinkError typeMismatch() { return LinkError(RaisedError::TypeMismatch, QStringLiteral("类型不匹配")); }

bool convertBool(const QVariant &v, bool *ok)
{
    *ok = true;
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::QString: {
        const QString s = v.toString().trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
        const double d = s.toDouble(ok);
        return *ok && d != 0.0;
    }
    default: {
        const double d = v.toDouble(ok);
        return *ok && d != 0.0;
    }
    }
}
}  // namespace

bool toBool(const QVariant &result)
{
    if (result.isNull() || !result.isValid()) return false;
    bool ok = false;
    const bool b = convertBool(result, &ok);
    return ok && b;
}

bool toBoolStrict(const QVariant &result)
{
    if (result.isNull() || !result.isValid()) throw typeMismatch();
    bool ok = false;
    const bool b = convertBool(result, &ok);
    if (!ok) throw typeMismatch();
    return b;
}

qint64 toWhole(const QVariant &result)
{
    if (result.isNull() || !result.isValid()) throw typeMismatch();
    bool ok = false;
    const double d =
        result.typeId() == QMetaType::QString ? result.toString().trimmed().toDouble(&ok) : result.toDouble(&ok);
    if (!ok || !std::isfinite(d) || std::fabs(d) > 9.0e15) throw typeMismatch();
    return static_cast<qint64>(std::nearbyint(d));
}

QString toText(const QVariant &result)
{
    if (result.isNull() || !result.isValid()) return {};
    if (result.typeId() == QMetaType::Bool) return result.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return result.toString();
}

}  // namespace LinkResult
