#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <vector>

// Rows of tests/reference/reference.txt (made by make_reference.py) whose
// first word is `kind`, split into words.
inline std::vector<QStringList> referenceRows(const QString& kind) {
    std::vector<QStringList> rows;
    QFile f(QStringLiteral(SKY_REFERENCE_FILE));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return rows;
    while (!f.atEnd()) {
        const QStringList words =
            QString::fromUtf8(f.readLine()).simplified().split(u' ', Qt::SkipEmptyParts);
        if (!words.isEmpty() && words[0] == kind) rows.push_back(words);
    }
    return rows;
}
