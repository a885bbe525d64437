#include "capture/ExposureCalculation.h"

#include <cmath>

#include "shell/Conv.h"

namespace zelmora::capture {

namespace {
const QString kEmpty = QStringLiteral("Please ensure all drop down boxes have a valid value!");

// The leading numeric characters of a text, "." as the decimal point.
double leadingNumber(const QString& text) {
    const QString t = text.trimmed();
    int end = 0;
    bool digits = false, point = false;
    if (end < t.size() && (t[end] == u'-' || t[end] == u'+')) ++end;
    for (; end < t.size(); ++end) {
        const QChar c = t[end];
        if (c.isDigit())
            digits = true;
        else if (c == u'.' && !point)
            point = true;
        else
            break;
    }
    if (!digits) return 0;
    return Conv::parseDouble(t.left(end));
}
}  // namespace

double ExposureCalculation::getParameter(const QString& entry) {
    const QString t = entry.trimmed();
    const int blank = t.indexOf(u' ');
    return leadingNumber(blank < 0 ? t : t.left(blank));
}

ExposureCalculation ExposureCalculation::calculate(const QString& brightness,
                                                   const QString& filmSpeed,
                                                   const QString& recipFail,
                                                   const QString& filterFactor,
                                                   const QString& fRatio) {
    ExposureCalculation r;
    for (const QString* t : {&brightness, &filmSpeed, &recipFail, &filterFactor, &fRatio})
        if (t->isEmpty()) {
            r.message = kEmpty;
            return r;
        }
    const double m = getParameter(brightness);
    const double s = leadingNumber(filmSpeed);
    const double p = getParameter(recipFail);
    const double ff = getParameter(filterFactor);
    const double n = leadingNumber(fRatio);
    // A zero speed, exponent or factor gives no exposure (division by zero or nothing to show).
    if (s <= 0 || p <= 0 || ff <= 0 || n <= 0) {
        r.message = kEmpty;
        return r;
    }
    double t = n * n * ff / (s * std::pow(2.512, 9.0 - m));
    t = std::pow(t + 1.0, 1.0 / p) - 1.0;
    t = Conv::roundHalfEven(t * 10000.0) / 10000.0;
    if (!std::isfinite(t) || t > 2e9) {
        r.message = kEmpty;
        return r;
    }
    r.seconds = t;
    if (t < 60) {
        r.label = Conv::numberText(t) + QStringLiteral(" Secs ");
        r.boxMinutes = 0;
        r.boxSeconds = t;
    } else {
        const double secs = std::fmod(Conv::roundHalfEven(t), 60.0);
        const double minutes = Conv::roundHalfEven((t - secs) / 60.0);
        if (minutes > 32767) {
            r.message = kEmpty;
            return r;
        }
        r.boxMinutes = Conv::toInt16(minutes);
        r.boxSeconds = secs;
        r.label = QString::number(r.boxMinutes) + QStringLiteral(" Min ") + Conv::numberText(secs) +
                  QStringLiteral(" Secs");
    }
    r.ok = true;
    return r;
}

const QStringList& ExposureCalculation::brightnessList() {
    static const QStringList l = [] {
        const std::pair<const char*, const char*> rows[] = {
            {"6.7", "Moon, thin crescent"},
            {"5.9", "Moon, wide crescent"},
            {"5.7", "Moon, dimly lit features on terminator"},
            {"5.2", "Moon, quarter phase"},
            {"5.0", "Moon, brightly lit features on terminator"},
            {"4.4", "Moon, gibbous"},
            {"3.4", "Moon, full"},
            {"13.5", "Moon, earthshine on unilluminated portion"},
            {"4.7", "Moon, eclipse, partial"},
            {"10.5", "Moon, eclipse, umbra and penumbra together"},
            {"12.2", "Moon, eclipse, total, relatively light"},
            {"14.8", "Moon, eclipse, total, relatively dark"},
            {"-10.8", "Sun, full disk or partial eclipse (use filter!)"},
            {"4.8", "Sun, total eclipse, prominences"},
            {"7.5", "Sun, total eclipse, inner corona (3\u00b0 field)"},
            {"9.0", "Sun, total eclipse, outer corona (10\u00b0 field)"},
            {"4.4", "Mercury (including 1m atmospheric extinction)"},
            {"1.5", "Venus"},
            {"4.0", "Mars"},
            {"5.3", "Jupiter"},
            {"6.7", "Saturn"},
            {"8.6", "Uranus"},
            {"9.3", "Neptune"},
            {"17.0", "Comets (typical; they vary widely)"},
            {"16.5", "Nebulae, bright (M42, M27, M57) (with suitable film)"},
            {"20.0", "Nebulae, faint (California, Horsehead) (w. suitable film)"},
            {"18.0", "Nebulae, faint, deliberate underexp. (w. suitable film)"},
            {"18.0", "Galaxies, bright cores"},
            {"21.0", "Galaxies, outer regions  (see online help)"},
            {"19.0", "Galaxies, outer regions, deliberate underexposure"},
            {"21.0", "Sky fog limit, very dark desert or mountain sky"},
            {"20.0", "Sky fog limit, dark country sky"},
            {"19.0", "Sky fog limit, country sky with some glow from town"},
            {"17.5", "Sky fog limit, town sky with 5th-magnitude stars visible"},
            {"16.0", "Sky fog limit, city sky with 4th-magnitude stars visible"},
        };
        QStringList out;
        for (const auto& [value, text] : rows)
            out << QString::fromLatin1(value) + QStringLiteral("      ") + QString::fromUtf8(text);
        return out;
    }();
    return l;
}

const QStringList& ExposureCalculation::filmSpeedList() {
    static const QStringList l = {"25",  "50",  "64",   "100",  "200", "400",
                                  "640", "800", "1000", "1600", "3200"};
    return l;
}

const QStringList& ExposureCalculation::recipFailList() {
    static const QStringList l = {"0.60   (Severe)",
                                  "0.70   (Older fast films, Kodak Tri-X Pan)",
                                  "0.80   (Older slow films, newer fast films)",
                                  "0.85   (Kodak T-Max 100, 400)",
                                  "0.90   (Newer slow films, hypered films)",
                                  "0.95   (Kodak Elite Chrome 100, 200, other exceptional films)",
                                  "1.00   (No reciprocity failure; CCD imaging)"};
    return l;
}

const QStringList& ExposureCalculation::filterFactorList() {
    static const QStringList l = [] {
        const std::pair<const char*, const char*> rows[] = {
            {"1.0", "No filter. If using a filter, type the factor or use menu -->"},
            {"1.4", "#3, #8 light yellow (\"minus violet\")"},
            {"4.0", "#11 (X1) yellow-green"},
            {"1.5", "#12 deep yellow, Technical Pan and color films"},
            {"2.0", "#12 deep yellow, most b&w films"},
            {"2.0", "#15 (G) deep yellow, Technical Pan and color films"},
            {"2.5", "#15 (G) deep yellow, most b&w films"},
            {"2.0", "#21 orange, Technical Pan and color films"},
            {"4.0", "#21 orange, most b&w films"},
            {"2.0", "#23A light red, Technical Pan and color films"},
            {"6.0", "#23A light red, most b&w films"},
            {"1.5", "#25 (A) red, emission nebulae on Technical Pan film only"},
            {"3.0", "#25 (A) red, Technical Pan and color films"},
            {"8.0", "#25 (A) red, most b&w films"},
            {"1.5", "#29 (F) deep red, emission nebulae on Technical Pan film"},
            {"8.0", "#29 (F) deep red, Technical Pan and color films"},
            {"20.0", "#29 (F) deep red, most b&w films"},
            {"4.0", "#38A medium blue"},
            {"12.0", "#44 blue-green, Technical Pan film"},
            {"8.0", "#44 blue-green, most b&w films"},
            {"8.0", "#47 (C5) blue, Technical Pan film"},
            {"6.0", "#47 (C5) blue, most b&w films"},
            {"12.0", "#58 (B) green, Technical Pan film"},
            {"8.0", "#58 (B) green, most b&w films"},
            {"5.0", "#66 deep violet"},
            {"4.0", "#80A,B bluish color balancing filter"},
            {"2.0", "#80C bluish color balancing filter"},
            {"1.5", "#82, 82A bluish color balancing filter"},
            {"1.5", "#85, 85B orange color balancing filter"},
            {"1.4", "Didymium (\"color enhancing\") filter"},
            {"1.3", "Lumicon minus-violet"},
            {"1.5", "Lumicon H-alpha, emission nebulae, Technical Pan film"},
            {"5.0", "Lumicon H-alpha, other objects, Technical Pan film"},
            {"12.0", "Lumicon H-alpha, most b&w films"},
            {"1.2", "Broadband nebula filter (on emission nebulae)"},
            {"4.0", "Broadband nebula filter (on other objects)"},
            {"2.0", "Neutral density 2x (0.3)"},
            {"4.0", "Neutral density 4x (0.6)"},
            {"10.0", "Neutral density 10x (1.0)"},
            {"1000000", "Sun filter, D6.0 (Solar-Skreen)"},
            {"100000", "Sun filter, D5.0 (Baader visual, Thousand Oaks Type 2)"},
            {"10000", "Sun filter, D4.0 (Thousand Oaks Type 3)"},
            {"6300", "Sun filter, D3.8 (Baader photographic)"},
        };
        QStringList out;
        for (const auto& [value, text] : rows) {
            // Blanks pad the factor to a column; the long solar factors keep one.
            const QString v = QString::fromLatin1(value);
            out << v + QString(std::max<qsizetype>(1, 8 - v.size()), u' ') +
                       QString::fromUtf8(text);
        }
        return out;
    }();
    return l;
}

const QStringList& ExposureCalculation::fRatioList() {
    static const QStringList l = {"1.4", "1.8", "2",   "2.8", "4",   "4.5", "5.6", "6.3",
                                  "8",   "10",  "11",  "16",  "22",  "32",  "45",  "64",
                                  "90",  "128", "160", "200", "250", "320", "400"};
    return l;
}

}  // namespace zelmora::capture
