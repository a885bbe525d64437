#pragma once

#include <QString>
#include <QStringList>

namespace zelmora {

// The setting texts the camera control accepts for ISO, shutter speed, aperture
// and quality/size, with exact-match membership tests. Immutable once made.
class CValidValues {
public:
    CValidValues();

    bool ValidQualitySize(const QString& sPossibleValue) const;
    bool ValidISO(const QString& sPossibleValue) const;
    bool ValidTV(const QString& sPossibleValue) const;
    bool ValidAV(const QString& sPossibleValue) const;

    // The tables, for tests that compare them with the control's own texts.
    static const QStringList& isoTable();
    static const QStringList& tvTable();
    static const QStringList& avTable();
    static const QStringList& qualitySizeTable();
};

}  // namespace zelmora
