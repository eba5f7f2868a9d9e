#pragma once

#include <QIcon>
#include <QList>
#include <QString>

// An icon drawn from an SVG resource at each of the given pixel sizes (no image plugin needed).
QIcon svgIcon(const QString &resource, const QList<int> &sizes);
